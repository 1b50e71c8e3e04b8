#include "text/split_text.h"

#include "text/find_text.h"

namespace zorvan {

std::vector<std::string> splitText(std::string_view text, std::string_view delimiter) {
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    if (delimiter.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    int from = 1;
    const int length = static_cast<int>(text.size());
    while (from <= length) {
        const int at = findText(text, delimiter, from);
        if (at < 0) {
            pieces.emplace_back(text.substr(from - 1));
            return pieces;
        }
        pieces.emplace_back(text.substr(from - 1, at - from));
        from = at + static_cast<int>(delimiter.size());
    }
    return pieces;  // the text ended with the delimiter: no empty last piece
}

}  // namespace zorvan
