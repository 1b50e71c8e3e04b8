#include "catalogue/works_page.h"

#include "text/find_text.h"
#include "text/trim_spaces.h"

namespace zorvan {

namespace {

const std::string_view nameStart = "\"songname\":\"";
const std::string_view nameEnd = "\",\"addtime\":\"";
const std::string_view addressStart = "resurl\":\"";
const std::string_view addressEnd = "\",\"lumono";
const std::string_view idMarker = "\"id\":";

struct Found {
    int start = 0;  // 1-based position of the start marker
    std::string value;
};

// Every value between the markers, empty ones included, each next start
// marker searched from the end marker just used (letter case ignored).
std::vector<Found> valuesBetween(std::string_view text, std::string_view start, std::string_view end) {
    std::vector<Found> found;
    for (int position = 1;;) {
        const int s = findText(text, start, position, true);
        if (s < 1) break;
        const int valueStart = s + static_cast<int>(start.size());
        const int e = findText(text, end, valueStart, true);
        if (e < valueStart) break;
        found.push_back({s, trimSpaces(text.substr(static_cast<std::size_t>(valueStart - 1),
                                                   static_cast<std::size_t>(e - valueStart)))});
        position = e;
    }
    return found;
}

// The record around a name marker starts at the last "{" before it.
std::size_t recordStart(std::string_view text, int nameAt, std::size_t floor) {
    const std::size_t brace = text.rfind('{', static_cast<std::size_t>(nameAt - 1));
    return brace == std::string_view::npos || brace < floor ? floor : brace;
}

// The value of the one "id" field in [from, to): digits, letters, "-" and
// "_", quoted or not; empty when there is none or more than one.
std::string idBetween(std::string_view text, std::size_t from, std::size_t to) {
    const std::string_view span = text.substr(from, to - from);
    const std::size_t at = span.find(idMarker);
    if (at == std::string_view::npos || span.find(idMarker, at + 1) != std::string_view::npos) return {};
    std::size_t i = at + idMarker.size();
    while (i < span.size() && span[i] == ' ') ++i;
    const bool quoted = i < span.size() && span[i] == '"';
    if (quoted) ++i;
    std::string id;
    for (; i < span.size() && id.size() < 64; ++i) {
        const char c = span[i];
        const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
                           c == '_';
        if (!plain) break;
        id += c;
    }
    if (quoted && (i >= span.size() || span[i] != '"')) return {};
    return id;
}

}  // namespace

std::vector<PageWork> worksInPages(std::string_view text) {
    const std::vector<Found> names = valuesBetween(text, nameStart, nameEnd);
    const std::vector<Found> addresses = valuesBetween(text, addressStart, addressEnd);
    std::vector<PageWork> works(names.size());
    std::size_t previousStart = 0;
    for (std::size_t k = 0; k < names.size(); ++k) {
        PageWork& work = works[k];
        work.name = names[k].value;
        if (k < addresses.size()) {
            work.hasAddress = true;
            work.address = addresses[k].value;
        }
        const std::size_t from = recordStart(text, names[k].start, previousStart);
        const std::size_t to = k + 1 < names.size() ? recordStart(text, names[k + 1].start, from) : text.size();
        work.id = idBetween(text, from, to);
        previousStart = from;
    }
    return works;
}

}  // namespace zorvan
