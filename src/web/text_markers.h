#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorvan {

// The bytes between the first start marker (searched from `from`, absent:
// the start) and the next end marker after it; empty when either is
// missing. Not trimmed. Letter case is ignored unless caseSensitive is set.
// In both markers "#引号" stands for a double quote, so callers can write
// markers that hold quotes.
std::string textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                        std::optional<int> from = {}, std::optional<bool> caseSensitive = {});

// The value part of a header line: everything after its first ":",
// trimmed; empty when there is no colon.
std::string textAfterColon(std::string_view line);

}  // namespace zorvan
