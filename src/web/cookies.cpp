#include "web/cookies.h"

#include "text/find_text.h"
#include "text/split_text.h"
#include "text/trim_spaces.h"

#include <algorithm>

namespace zorvan {

std::string cookieName(const std::string& item) {
    const int equals = findText(item, "=");
    return trimSpaces(equals == -1 ? item : item.substr(0, static_cast<std::size_t>(equals - 1)));
}

std::string mergeCookies(std::string& cookies, std::string& newCookies) {
    cookies = removeSpaces(cookies);
    newCookies = removeSpaces(newCookies);
    const std::vector<std::string> old = splitText(cookies, ";");
    std::vector<std::string> merged = splitText(newCookies, ";");
    for (const std::string& item : old) {
        const std::string name = cookieName(item);
        const bool named = std::any_of(merged.begin(), merged.end(),
                                       [&](const std::string& m) { return cookieName(m) == name; });
        if (!named) merged.push_back(item);
    }
    static constexpr std::string_view deletion = "=deleted";
    std::string text;
    for (const std::string& item : merged) {
        const bool deleted = item.size() >= deletion.size() &&
                             item.compare(item.size() - deletion.size(), deletion.size(), deletion) == 0;
        if (!deleted) text += item + "; ";
    }
    if (!text.empty()) text.resize(text.size() - 2);
    cookies = text;
    return text;
}

}  // namespace zorvan
