#include "download_policy/work_file.h"

namespace zorvan {

namespace {

// The UTF-8 text cut to at most `bytes`, never inside a character.
std::string cutUtf8(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// How many bytes the UTF-8 character at `at` takes; 0 when none starts
// there (a stray continuation byte, a cut sequence, a lead byte UTF-8
// never uses).
std::size_t utf8CharLength(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    if (lead < 0x80) length = 1;
    else if (lead >= 0xC2 && lead < 0xE0) length = 2;
    else if (lead >= 0xE0 && lead < 0xF0) length = 3;
    else if (lead >= 0xF0 && lead < 0xF5) length = 4;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
    return length;
}

}  // namespace

std::string songFileName(const std::string& songName) {
    std::string onDisk;
    onDisk.reserve(songName.size());
    for (std::size_t at = 0; at < songName.size();) {
        const std::size_t length = utf8CharLength(songName, at);
        if (length == 0) {
            onDisk += '?';  // no character: what follows is judged on its own
            ++at;
            continue;
        }
        const auto byte = static_cast<unsigned char>(songName[at]);
        const bool unsafe = length == 1 && (byte == '/' || byte == '\\' || byte < 0x20 || byte == 0x7F);
        onDisk.append(unsafe ? std::string("_") : songName.substr(at, length));
        at += length;
    }
    if (onDisk.empty() || onDisk.front() == '.') onDisk.insert(0, 1, '_');
    return cutUtf8(onDisk, maxSongFileNameBytes);
}

std::string workFilePath(const std::string& folder, const std::string& songName) {
    return folder + "/" + songFileName(songName) + ".mp4";
}

std::string workFilePath(const std::string& folder, const std::string& songName, FileNaming naming,
                         const std::string& performer, int sequence) {
    if (naming == FileNaming::SongName || performer.empty()) return workFilePath(folder, songName);
    const std::string name = sequence > 0 ? std::to_string(sequence) + " " + songName : songName;
    return folder + "/" + songFileName(performer) + "/" + songFileName(name) + ".mp4";
}

std::string engineAddress(const std::string& listedAddress) {
    std::string address;
    for (std::size_t i = 0; i < listedAddress.size(); ++i) {
        if (listedAddress[i] == '\\' && i + 1 < listedAddress.size() && listedAddress[i + 1] == '/') continue;
        address += listedAddress[i];
    }
    return address;
}

std::string workKey(const std::string& listedAddress) {
    const std::string address = engineAddress(listedAddress);
    const auto scheme = address.find("://");
    const auto slash = address.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return slash == std::string::npos ? address : address.substr(slash);
}

}  // namespace zorvan
