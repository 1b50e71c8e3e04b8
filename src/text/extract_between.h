#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zorvan {

// Collects, in source order, every text between a start marker and the
// next end marker (letter case ignored), trimmed of spaces, into `items`
// (emptied first). Each next start marker is searched from the end marker
// just used. Stops at the first item that is empty after trimming, keeping
// what it found before. Returns the number of items.
int extractBetween(std::string_view source, std::string_view startMarker, std::string_view endMarker,
                   std::vector<std::string>& items);

}  // namespace zorvan
