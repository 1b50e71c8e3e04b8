#include "catalogue/code_page.h"

#include <iconv.h>

#include <cerrno>

namespace zorvan {

namespace {

std::string convert(const char* to, const char* from, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            const std::size_t used = out.size() - dstLeft;
            out.resize(out.size() * 2);
            dst = out.data() + used;
            dstLeft = out.size() - used;
        } else {
            // An invalid or truncated sequence: drop one byte and go on.
            ++src;
            --srcLeft;
        }
    }
    out.resize(out.size() - dstLeft);
    iconv_close(cd);
    return out;
}

}  // namespace

std::string utf8ToCodePage(std::string_view utf8) { return convert("GB18030", "UTF-8", utf8); }

std::string codePageToUtf8(std::string_view text) { return convert("UTF-8", "GB18030", text); }

}  // namespace zorvan
