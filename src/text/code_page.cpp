#include "text/code_page.h"

#include <iconv.h>

#include <cerrno>

namespace zorvan {

namespace {

std::string_view upToZero(std::string_view text) {
    const auto zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

std::string convert(const char* to, const char* from, std::string_view in) {
    in = upToZero(in);
    if (in.empty()) return {};
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out(in.size() * 2 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t used = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + used;
        std::size_t dstLeft = out.size() - used;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else {
            // Invalid or cut-off input: one "?" for the byte, then go on.
            if (out.size() - used < 1) out.resize(out.size() * 2);
            out[used++] = '?';
            ++src;
            --srcLeft;
        }
    }
    out.resize(used);
    iconv_close(cd);
    return std::string(upToZero(out));
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8) { return convert("GB18030", "UTF-8", utf8); }

std::string gbkToUtf8(std::string_view text) { return convert("UTF-8", "GB18030", text); }

}  // namespace zorvan
