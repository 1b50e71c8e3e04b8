#include "player/player_address.h"

#include "text/ascii_case.h"
#include "text/percent_coding.h"

namespace zorvan {

std::string previewAddress(const std::string& serviceAddress, const std::string& listedAddress) {
    return serviceAddress + playerMoviePath + "?url=" + listedAddress;
}

std::string movieSource(const std::string& address) {
    const std::string marker = std::string(playerMoviePath) + "?url=";
    const auto at = address.find(marker);
    if (at == std::string::npos) return address;
    std::string source = percentDecode(std::string_view(address).substr(at + marker.size()));
    for (std::size_t slash; (slash = source.find("\\/")) != std::string::npos;) source.erase(slash, 1);
    return source;
}

PlayerEngine engineFor(const std::string& address) {
    const std::string scheme = asciiLower(address.substr(0, address.find(':')));
    std::string extension = address.substr(address.rfind('.') == std::string::npos ? address.size() : address.rfind('.') + 1);
    extension = asciiLower(extension.substr(0, extension.find('?')));
    const bool flash = scheme == "rtmp" || extension == "flv" || extension == "f4v" || extension == "mp4" ||
                       extension == "hlv";
    return flash ? PlayerEngine::FlashMovie : PlayerEngine::MediaPlayer;
}

}  // namespace zorvan
