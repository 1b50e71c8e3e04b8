#include "download_policy/work_file.h"

#include "text/code_page.h"

namespace zorvan {

namespace {

// The UTF-8 text cut to at most `bytes`, never inside a character.
std::string cutUtf8(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

}  // namespace

std::string songFileName(const std::string& songName) {
    // Judged in UTF-8, the form the name takes on disk, where a "/" is
    // always a separator: a byte pair that is no code page 936 character
    // becomes "?" there, and the byte after its first could be a "/".
    std::string withoutZeros = songName;
    for (char& c : withoutZeros)
        if (c == '\0') c = '_';
    std::string onDisk = gbkToUtf8(withoutZeros);
    for (char& c : onDisk) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) c = '_';
    }
    if (onDisk.empty() || onDisk.front() == '.') onDisk.insert(0, 1, '_');
    return utf8ToGbk(cutUtf8(onDisk, maxSongFileNameBytes));
}

std::string workFilePath(const std::string& folder, const std::string& songName) {
    return folder + "/" + songFileName(songName) + ".mp4";
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
