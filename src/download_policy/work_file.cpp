#include "download_policy/work_file.h"

#include "text/json_text.h"

#include <unordered_set>

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

namespace {

// The file name without ".mp4", told apart by " (repeat)" when repeat > 1:
// the name is cut further so that the mark and the renaming rule's "(99)"
// still fit.
std::string repeatedStem(const std::string& stem, int repeat) {
    if (repeat <= 1) return stem;
    const std::string mark = " (" + std::to_string(repeat) + ")";
    return cutUtf8(stem, maxSongFileNameBytes - mark.size()) + mark;
}

}  // namespace

std::string workFilePath(const std::string& folder, const std::string& songName, FileNaming naming,
                         const std::string& performer, int sequence, int repeat) {
    if (naming == FileNaming::SongName || performer.empty())
        return folder + "/" + repeatedStem(songFileName(songName), repeat) + ".mp4";
    const std::string name = sequence > 0 ? std::to_string(sequence) + " " + songName : songName;
    return folder + "/" + songFileName(performer) + "/" + repeatedStem(songFileName(name), sequence > 0 ? 1 : repeat) +
           ".mp4";
}

std::vector<int> workRepeats(const std::vector<std::string>& songNames) {
    std::vector<std::string> plain;
    plain.reserve(songNames.size());
    for (const std::string& name : songNames) plain.push_back(songFileName(name));
    // A repeat's name must not be another work's plain name either.
    const std::unordered_set<std::string> taken(plain.begin(), plain.end());
    std::unordered_set<std::string> given;
    std::vector<int> repeats(songNames.size(), 1);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (given.insert(plain[i]).second) continue;
        for (int n = 2;; ++n) {
            const std::string marked = repeatedStem(plain[i], n);
            if (taken.count(marked) != 0 || !given.insert(marked).second) continue;
            repeats[i] = n;
            break;
        }
    }
    return repeats;
}

std::string repeatedTitle(const std::string& songName, int repeat) {
    return repeat <= 1 ? songName : songName + " (" + std::to_string(repeat) + ")";
}

std::string engineAddress(const std::string& listedAddress) { return jsonTextUtf8(listedAddress); }

std::string workKey(const std::string& listedAddress) {
    const std::string address = engineAddress(listedAddress);
    const auto scheme = address.find("://");
    const auto slash = address.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return slash == std::string::npos ? address : address.substr(slash);
}

}  // namespace zorvan
