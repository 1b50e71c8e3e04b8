#include "media_files/work_sidecars.h"

#include "media_files/atomic_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <sys/stat.h>
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
    // Without a date of its own, the day its file was written: the same
    // text at every run, so an unchanged work's .nfo is left as it is.
    std::int64_t seen = work.firstSeen;
    struct stat video {};
    if (seen <= 0 && ::stat(work.videoPath.c_str(), &video) == 0) seen = video.st_mtime;
    if (seen <= 0) seen = static_cast<std::int64_t>(std::time(nullptr));
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
    const std::string text = nfoText(work);
    std::ifstream there(nfoPathOf(work.videoPath), std::ios::binary);
    std::ostringstream was;
    if (there) was << there.rdbuf();
    if (there && was.str() == text) return true;
    return writeFileAtomically(nfoPathOf(work.videoPath), text, error);
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
    std::filesystem::remove(cachedPosterPathOf(videoPath), ignored);
}

std::string cachedPosterPathOf(const std::string& videoPath) {
    std::error_code ignored;
    const std::string whole = std::filesystem::absolute(videoPath, ignored).lexically_normal().string();
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a: short, stable names
    for (const char c : whole) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.jpg", static_cast<unsigned long long>(hash));
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const std::string base = cache && *cache == '/' ? std::string(cache) : std::string(home ? home : ".") + "/.cache";
    return base + "/zorvan/posters/" + name;
}

std::string posterFor(const std::string& videoPath) {
    std::error_code ignored;
    for (const std::string& path : {posterPathOf(videoPath), cachedPosterPathOf(videoPath)})
        if (std::filesystem::exists(path, ignored)) return path;
    return {};
}

}  // namespace zorvan
