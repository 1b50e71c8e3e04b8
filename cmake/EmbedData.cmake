# zorvan_embed_data(<output.cpp> FUNCTION <name> INPUT <file> [PREFIX_HEX <hex>])
# Generates <output.cpp> at build time, again whenever the input changes.
function(zorvan_embed_data output)
  cmake_parse_arguments(ARG "" "FUNCTION;INPUT;PREFIX_HEX" "" ${ARGN})
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${ARG_INPUT} -DOUTPUT=${output} -DFUNCTION=${ARG_FUNCTION}
            -DPREFIX_HEX=${ARG_PREFIX_HEX} -P ${CMAKE_SOURCE_DIR}/cmake/embed_data.cmake
    DEPENDS ${ARG_INPUT} ${CMAKE_SOURCE_DIR}/cmake/embed_data.cmake
    COMMENT "Embedding ${ARG_INPUT}"
    VERBATIM)
endfunction()
