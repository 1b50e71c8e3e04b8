#include "download_policy/work_file.h"

#include "text/find_text.h"

namespace zorvan {

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
    return name;
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
