# The API's path patterns as its OpenAPI description lists them (a test
# keeps that list equal to the routes the server takes), written as a C++
# header for code that checks the router without the server around it.
function(zorvan_api_route_patterns openapi header)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${openapi})
  file(READ ${openapi} text)
  string(REGEX MATCHALL "\"/api/[^\"]*\"[ \t\r\n]*:" keys "${text}")
  set(lines "")
  foreach(key IN LISTS keys)
    string(REGEX REPLACE "[ \t\r\n]*:$" "" key "${key}")
    string(APPEND lines "    ${key},\n")
  endforeach()
  file(WRITE ${header} "// Made by the build from src/server/api/openapi.json.\n#pragma once\n\n"
       "inline const char* const apiRoutePatterns[] = {\n${lines}};\n")
endfunction()
