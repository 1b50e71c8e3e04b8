#pragma once

#include <string>

namespace zorvan {

// Where a service serves its player movie; the movie takes the media
// address in its query key "url".
inline constexpr const char* playerMoviePath = "/res/play/player.swf";

// The preview address of a listed work: the service's web host, the player
// movie's path and "?url=" followed by the media address exactly as listed.
std::string previewAddress(const std::string& serviceAddress, const std::string& listedAddress);

// What the built-in player movie plays for an address given to LoadMovie:
// for ".../res/play/player.swf?url=X" the address X, percent-decoded and
// with the "\/" of JSON read as "/" ("" for the bare prefix: an empty
// player); any other address as it is.
std::string movieSource(const std::string& address);

// The local player's two engines, chosen by address: the Flash movie
// engine for the scheme "rtmp" or the extensions flv, f4v, mp4 and hlv (the
// text after the last ".", without a query), the media player engine for
// everything else.
enum class PlayerEngine { FlashMovie, MediaPlayer };
PlayerEngine engineFor(const std::string& address);

}  // namespace zorvan
