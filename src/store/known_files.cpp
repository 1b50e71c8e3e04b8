#include "store/known_files.h"

#include "download_policy/work_file.h"

#include <sys/stat.h>

#include <filesystem>

namespace zorvan {

namespace {

bool isFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The file at the record's path is still the one recorded: a file cut
// short or replaced since is judged afresh.
bool stillAsRecorded(const WorkFile& file) {
    struct stat info {};
    return ::stat(file.path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           (file.size < 0 || info.st_size == file.size);
}

}  // namespace

std::string libraryPath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code failed;
    const std::filesystem::path absolute = std::filesystem::absolute(path, failed);
    return failed ? path : absolute.lexically_normal().string();
}

bool sameWork(const WorkIdentity& work, const WorkFile& file) {
    if (!work.key.empty() && work.key == file.key) return true;
    return !work.performer.empty() && work.performer == file.performer && work.sequence == file.sequence &&
           work.songName == file.songName;
}

KnownFiles::KnownFiles(std::vector<WorkFile> files) : files_(std::move(files)) {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        WorkFile& f = files_[i];
        f.path = libraryPath(f.path);
        if (!f.path.empty()) byPath_[f.path] = i;  // later records win
        if (!f.key.empty()) byKey_[f.key] = i;
        if (!f.performer.empty()) byWork_[{f.performer, f.sequence, f.songName}] = i;
    }
}

const WorkFile* KnownFiles::latestAt(const std::string& path) const {
    const auto it = byPath_.find(path);
    return it == byPath_.end() ? nullptr : &files_[it->second];
}

FilePresence KnownFiles::presenceOf(const WorkIdentity& work, const std::string& path, std::string* where) const {
    const std::string here = libraryPath(path);
    const std::filesystem::path folder = std::filesystem::path(here).parent_path();
    // The work's own file in the same folder, under any name, while that
    // path still holds it (and not a later download of another work).
    for (const WorkFile* own : {byKey_.count(work.key) ? &files_[byKey_.at(work.key)] : nullptr,
                                byWork_.count({work.performer, work.sequence, work.songName})
                                    ? &files_[byWork_.at({work.performer, work.sequence, work.songName})]
                                    : nullptr}) {
        if (!own || !own->complete || own->path.empty() || !sameWork(work, *latestAt(own->path))) continue;
        if (std::filesystem::path(own->path).parent_path() != folder) continue;
        if (!stillAsRecorded(*own)) continue;
        if (where) *where = own->path;
        return FilePresence::Known;
    }
    if (!isFile(here)) return FilePresence::Absent;
    const WorkFile* holder = latestAt(here);
    if (!holder || !stillAsRecorded(*holder)) {
        // Known by key alone (an archive taken in) is known all the same.
        const auto it = byKey_.find(work.key);
        if (it != byKey_.end() && files_[it->second].complete && files_[it->second].path.empty()) {
            if (where) *where = here;
            return FilePresence::Known;
        }
        return FilePresence::Unknown;
    }
    if (!sameWork(work, *holder)) return FilePresence::OtherWork;
    if (where) *where = here;
    return FilePresence::Known;
}

KnownFiles readKnownFiles(const std::string& dbPath, std::string& error) {
    std::error_code ignored;
    if (!std::filesystem::exists(dbPath, ignored)) return {};
    const std::unique_ptr<LibraryDb> db = LibraryDb::open(dbPath, error);
    if (!db) return {};
    return KnownFiles(db->files().all(error));
}

bool workFileThere(const KnownFiles& known, const WorkIdentity& work, const std::string& folder, FileNaming naming) {
    const FilePresence named =
        known.presenceOf(work, workFilePath(folder, work.songName, naming, work.performer, work.sequence));
    if (named == FilePresence::Known || named == FilePresence::Unknown) return true;
    const FileNaming other = naming == FileNaming::SongName ? FileNaming::PerformerFolder : FileNaming::SongName;
    return known.presenceOf(work, workFilePath(folder, work.songName, other, work.performer, work.sequence)) ==
           FilePresence::Known;
}

std::string ownFileOf(const KnownFiles& known, const WorkIdentity& work, const std::string& folder, FileNaming naming) {
    const FileNaming other = naming == FileNaming::SongName ? FileNaming::PerformerFolder : FileNaming::SongName;
    for (const FileNaming tried : {naming, other}) {
        std::string where;
        if (known.presenceOf(work, workFilePath(folder, work.songName, tried, work.performer, work.sequence), &where) ==
            FilePresence::Known)
            return where;
    }
    return {};
}

}  // namespace zorvan
