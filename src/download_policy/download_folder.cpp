#include "download_policy/download_folder.h"

#include "place/app_id.h"
#include "place/program_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace zorvan {

namespace {

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/tmp";
}

// XDG_VIDEOS_DIR="$HOME/Videos" as written by xdg-user-dirs: a path that
// is absolute or starts with $HOME; nothing for anything else.
std::string videosFromUserDirs(const std::string& home) {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::string config = configHome && *configHome == '/' ? configHome : home + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    const std::string key = "XDG_VIDEOS_DIR=\"";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        // "$HOME/" alone means no videos folder of its own.
        if (value.empty() || value.front() != '/' || value == home || value == home + "/") return {};
        return value;
    }
    return {};
}

// An installed copy: its menu entry lies in the share folder beside its
// bin folder (/usr, ~/.local). Its folder is no place for videos even when
// the user may write there.
bool isInstalledCopy(const std::string& programFolder) {
    const std::string entry = programFolder + "/../share/applications/" + appId + ".desktop";
    return ::access(entry.c_str(), F_OK) == 0;
}

}  // namespace

std::string userVideosFolder() {
    if (const char* videos = std::getenv("XDG_VIDEOS_DIR"); videos && *videos == '/') return videos;
    const std::string home = homeFolder();
    const std::string fromUserDirs = videosFromUserDirs(home);
    return fromUserDirs.empty() ? home + "/Videos" : fromUserDirs;
}

std::string downloadFolderFor(const std::string& programFolder) {
    if (!isInstalledCopy(programFolder) && ::access(programFolder.c_str(), W_OK) == 0) return programFolder + "/video";
    return userVideosFolder() + "/Zorvan";
}

namespace {
std::string& chosenFolder() {
    static std::string folder;
    return folder;
}
}  // namespace

std::string downloadFolder() {
    if (!chosenFolder().empty()) return chosenFolder();
    static const std::string folder = [] {
        if (const char* chosen = std::getenv("ZORVAN_DOWNLOAD_DIR"); chosen && *chosen == '/') return std::string(chosen);
        return downloadFolderFor(programDirectory());
    }();
    return folder;
}

void chooseDownloadFolder(const std::string& folder) {
    chosenFolder() = !folder.empty() && folder.front() == '/' ? folder : std::string();
}

}  // namespace zorvan
