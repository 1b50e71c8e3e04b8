#pragma once

#include <string>

namespace zorvan {

// The file-name part made from a song name (code page 936): path separators
// ("/" and "\") and control characters become "_", so the file always lands
// in the download folder; everything else, Chinese included, stays.
std::string songFileName(const std::string& songName);

// A media address as the engine needs it: the "\/" that JSON encoders write
// for "/" undone. The works list keeps the address as found.
std::string engineAddress(const std::string& listedAddress);

}  // namespace zorvan
