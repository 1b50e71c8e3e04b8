#include "text/json_text.h"

#include "text/code_page.h"
#include "text/percent_coding.h"

namespace zorvan {

namespace {

// The four hexadecimal digits at `at`, or -1.
long hex4(std::string_view text, std::size_t at) {
    if (at + 4 > text.size()) return -1;
    long value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const int digit = hexDigitValue(text[at + i]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

void appendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char simpleEscape(char c) {
    switch (c) {
        case '"': return '"';
        case '\\': return '\\';
        case '/': return '/';
        case 'b': return '\b';
        case 'f': return '\f';
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        default: return 0;
    }
}

}  // namespace

std::string jsonTextUtf8(std::string_view text) {
    if (text.find('\\') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[i + 1];
        if (const char plain = simpleEscape(next)) {
            out += plain;
            ++i;
            continue;
        }
        const long unit = next == 'u' ? hex4(text, i + 2) : -1;
        if (unit < 0) {
            out += text[i];  // not an escape JSON knows: kept as written
            continue;
        }
        i += 5;
        unsigned long cp = static_cast<unsigned long>(unit);
        if (cp >= 0xD800 && cp < 0xDC00) {
            const long low = i + 2 < text.size() && text[i + 1] == '\\' && text[i + 2] == 'u' ? hex4(text, i + 3) : -1;
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<unsigned long>(low) - 0xDC00);
                i += 6;
            } else {
                cp = '?';
            }
        } else if ((cp >= 0xDC00 && cp < 0xE000) || cp == 0) {
            cp = '?';
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string jsonTextGbk(std::string_view text) {
    if (text.find('\\') == std::string_view::npos) return std::string(text);
    return utf8ToGbk(jsonTextUtf8(gbkToUtf8(text)));
}

}  // namespace zorvan
