#include "download_policy/work_file.h"

#include "text/code_page.h"
#include "text/find_text.h"

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
    std::string name;
    for (std::size_t i = 0; i < songName.size(); ++i) {
        const char c = songName[i];
        if (isLeadByte(c) && i + 1 < songName.size()) {
            name += c;
            name += songName[++i];  // a second byte is part of its character
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        name += (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) ? '_' : c;
    }
    if (name.empty() || name.front() == '.') name.insert(0, 1, '_');
    const std::string onDisk = gbkToUtf8(name);
    return onDisk.size() <= maxSongFileNameBytes ? name : utf8ToGbk(cutUtf8(onDisk, maxSongFileNameBytes));
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

}  // namespace zorvan
