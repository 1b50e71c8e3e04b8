# The server's web page at configure time: its texts for lupdate, its English
# catalogue out of translations/zorvan_en.ts, and its files built into the
# program. A change to any of them configures again (they are small).

# Writes only when the text differs, so nothing builds again for nothing.
function(zorvan_write_if_changed file text)
  if(EXISTS ${file})
    file(READ ${file} old)
    if("${old}" STREQUAL "${text}")
      return()
    endif()
  endif()
  file(WRITE ${file} "${text}")
endfunction()

# The Chinese texts the page's scripts pass to tr('…'), in file order, once each.
function(zorvan_page_texts page_dir out_var)
  file(GLOB scripts ${page_dir}/js/*.js)
  list(SORT scripts)
  set(texts "")
  foreach(script IN LISTS scripts)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script})
    file(READ ${script} code)
    # Brackets would hold CMake's lists together; the texts have none.
    string(REPLACE "[" " " code "${code}")
    string(REPLACE "]" " " code "${code}")
    string(REGEX MATCHALL "[^A-Za-z0-9_.$]tr\\('[^']*'" calls "${code}")
    foreach(call IN LISTS calls)
      string(REGEX REPLACE "^.tr\\('([^']*)'$" "\\1" text "${call}")
      list(APPEND texts "${text}")
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES texts)
  set(${out_var} "${texts}" PARENT_SCOPE)
endfunction()

# A C++ file that names each page text in the context "page", for lupdate:
# it keeps them in the .ts and the translation test checks them.
function(zorvan_page_texts_for_lupdate page_dir out_file)
  zorvan_page_texts(${page_dir} texts)
  set(body "// Made by the build from the page's scripts, for lupdate only.\nstatic const char* const pageTexts[] = {\n")
  foreach(text IN LISTS texts)
    string(APPEND body "    QT_TRANSLATE_NOOP(\"page\", \"${text}\"),\n")
  endforeach()
  string(APPEND body "};\n")
  zorvan_write_if_changed(${out_file} "${body}")
endfunction()

function(zorvan_xml_text xml out_var)
  string(REPLACE "&lt;" "<" xml "${xml}")
  string(REPLACE "&gt;" ">" xml "${xml}")
  string(REPLACE "&quot;" "\"" xml "${xml}")
  string(REPLACE "&apos;" "'" xml "${xml}")
  string(REPLACE "&amp;" "&" xml "${xml}")
  set(${out_var} "${xml}" PARENT_SCOPE)
endfunction()

function(zorvan_json_text text out_var)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "\n" "\\n" text "${text}")
  set(${out_var} "\"${text}\"" PARENT_SCOPE)
endfunction()

# catalogue.js: the English of every finished entry of the context "page".
function(zorvan_page_catalogue ts_file out_file)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ts_file})
  file(READ ${ts_file} ts)
  string(REGEX MATCH "<name>page</name>.*" page "${ts}")
  string(FIND "${page}" "</context>" end)
  string(SUBSTRING "${page}" 0 ${end} page)
  # A ";" would cut an entry in two as CMake splits the list: kept aside meanwhile.
  string(REPLACE ";" "@SEMICOLON@" page "${page}")
  string(REGEX MATCHALL "<source>[^<]*</source>[ \r\n\t]*<translation>[^<]*</translation>" entries "${page}")
  set(pairs "")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^<source>([^<]*)</source>.*$" "\\1" source "${entry}")
    string(REGEX REPLACE "^.*<translation>([^<]*)</translation>$" "\\1" english "${entry}")
    string(REPLACE "@SEMICOLON@" ";" source "${source}")
    string(REPLACE "@SEMICOLON@" ";" english "${english}")
    zorvan_xml_text("${source}" source)
    zorvan_xml_text("${english}" english)
    zorvan_json_text("${source}" source)
    zorvan_json_text("${english}" english)
    string(APPEND pairs "  ${source}: ${english},\n")
  endforeach()
  zorvan_write_if_changed(${out_file}
       "// Made by the build from translations/zorvan_en.ts (context \"page\").\nexport default {\n${pairs}};\n")
endfunction()

function(zorvan_content_type name out_var)
  set(type "application/octet-stream")
  if(name MATCHES "\\.html$")
    set(type "text/html; charset=utf-8")
  elseif(name MATCHES "\\.css$")
    set(type "text/css; charset=utf-8")
  elseif(name MATCHES "\\.js$")
    set(type "text/javascript; charset=utf-8")
  endif()
  set(${out_var} "${type}" PARENT_SCOPE)
endfunction()

# page_files.cpp: each file as {name, content type, bytes}. `extra` names
# generated files as NAME=PATH.
function(zorvan_embed_page page_dir out_file)
  file(GLOB_RECURSE found RELATIVE ${page_dir} ${page_dir}/*.html ${page_dir}/*.css ${page_dir}/*.js)
  list(SORT found)
  set(entries "")
  foreach(name IN LISTS found ARGN)
    if(name MATCHES "=")
      string(REGEX REPLACE "=.*$" "" shown "${name}")
      string(REGEX REPLACE "^[^=]*=" "" path "${name}")
    else()
      set(shown "${name}")
      set(path "${page_dir}/${name}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
    file(READ ${path} content)
    zorvan_content_type("${shown}" type)
    string(APPEND entries "    {\"${shown}\", \"${type}\", R\"zorvan_page(${content})zorvan_page\"},\n")
  endforeach()
  zorvan_write_if_changed(${out_file}
       "// Made by the build from src/server/page: the page goes out with the program.\n\
#include \"server/page/page_files.h\"\n\nnamespace zorvan {\n\n\
const std::vector<PageSource>& pageSources() {\n\
    static const std::vector<PageSource> sources = {\n${entries}    };\n\
    return sources;\n}\n\n}  // namespace zorvan\n")
endfunction()
