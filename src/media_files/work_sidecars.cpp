#include "media_files/work_sidecars.h"

#include "media_files/atomic_file.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zorvan {

namespace {

std::string withoutExtension(const std::string& path) {
    const std::filesystem::path p(path);
    return (p.parent_path() / p.stem()).string();
}

// Text as XML 1.0 character data: markup escaped, and the control
// characters XML does not allow left out.
std::string xmlText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string timeText(std::int64_t seconds, const char* format) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

}  // namespace

std::string posterPathOf(const std::string& videoPath) { return withoutExtension(videoPath) + "-poster.jpg"; }

std::string nfoPathOf(const std::string& videoPath) { return withoutExtension(videoPath) + ".nfo"; }

std::string folderPosterOf(const std::string& videoPath) {
    return (std::filesystem::path(videoPath).parent_path() / "folder.jpg").string();
}

std::string nfoText(const WorkMedia& work) {
    const std::int64_t seen = work.firstSeen > 0 ? work.firstSeen : static_cast<std::int64_t>(std::time(nullptr));
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        << "<musicvideo>\n"
        << "  <title>" << xmlText(work.songName) << "</title>\n"
        << "  <artist>" << xmlText(work.performer) << "</artist>\n"
        << "  <track>" << work.sequence << "</track>\n"
        << "  <premiered>" << timeText(seen, "%Y-%m-%d") << "</premiered>\n"
        << "  <year>" << timeText(seen, "%Y") << "</year>\n"
        << "  <dateadded>" << timeText(seen, "%Y-%m-%d %H:%M:%S") << "</dateadded>\n"
        << "  <studio>" << xmlText(work.service) << "</studio>\n"
        << "  <thumb aspect=\"poster\">"
        << xmlText(std::filesystem::path(posterPathOf(work.videoPath)).filename().string()) << "</thumb>\n"
        << "</musicvideo>\n";
    return xml.str();
}

bool writeNfo(const WorkMedia& work, std::string& error) {
    return writeFileAtomically(nfoPathOf(work.videoPath), nfoText(work), error);
}

void giveFolderItsPoster(const std::string& videoPath) {
    const std::string folderPoster = folderPosterOf(videoPath);
    std::error_code ignored;
    if (std::filesystem::exists(folderPoster, ignored)) return;
    std::ifstream in(posterPathOf(videoPath), std::ios::binary);
    if (!in) return;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string error;
    writeFileAtomically(folderPoster, bytes.str(), error);  // a folder without its picture still plays
}

void removeSidecars(const std::string& videoPath) {
    std::error_code ignored;
    std::filesystem::remove(posterPathOf(videoPath), ignored);
    std::filesystem::remove(nfoPathOf(videoPath), ignored);
}

}  // namespace zorvan
