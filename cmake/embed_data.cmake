# Writes a C++ source that holds a file's bytes (after optional leading
# bytes) as program data, with one function that returns them.
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DFUNCTION=name [-DPREFIX_HEX=5a53...] -P embed_data.cmake
file(READ "${INPUT}" hex HEX)
set(hex "${PREFIX_HEX}${hex}")
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
get_filename_component(from "${INPUT}" NAME)
file(WRITE "${OUTPUT}.new" "// Made by cmake/embed_data.cmake from ${from}; do not edit.
#include <cstddef>
#include <cstdint>
#include <span>

namespace zorvan {

std::span<const std::uint8_t> ${FUNCTION}() {
    static const std::uint8_t bytes[${size}] = {
    ${bytes}
    };
    return {bytes, ${size}};
}

}  // namespace zorvan
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
