#include "media_files/library_check.h"

#include "store/file_sha256.h"
#include "store/known_files.h"
#include "store/library_db.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>

namespace zorvan {

namespace {

using Clock = std::chrono::steady_clock;

bool under(const std::string& path, const std::string& folder) {
    if (path == folder) return true;
    const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
    return path.rfind(prefix, 0) == 0;
}

bool isVideo(const std::filesystem::path& p) {
    std::string extension = p.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    return extension == ".mp4" || extension == ".flv" || extension == ".mkv" || extension == ".webm" ||
           extension == ".mov" || extension == ".m4v";
}

// The videos under `folder` (every depth); none when it is no folder.
std::vector<std::string> videosUnder(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code failed;
    std::filesystem::recursive_directory_iterator it(folder, std::filesystem::directory_options::skip_permission_denied,
                                                     failed);
    for (; !failed && it != std::filesystem::recursive_directory_iterator(); it.increment(failed))
        if (it->is_regular_file(failed) && isVideo(it->path())) found.push_back(libraryPath(it->path().string()));
    return found;
}

}  // namespace

const char* stateName(CheckedFile::State state) {
    switch (state) {
        case CheckedFile::State::Ok: return "ok";
        case CheckedFile::State::Damaged: return "damaged";
        case CheckedFile::State::Missing: return "missing";
        case CheckedFile::State::Unverified: return "unverified";
        case CheckedFile::State::Unknown: return "unknown";
    }
    return "ok";
}

namespace {

// The library's files the scope names, each with the digest kept of it;
// `known` learns every path the library knows.
std::vector<CheckedFile> filesInScope(const std::vector<LibraryEntry>& entries,
                                      const std::map<std::string, FileDigest>& digests, const CheckScope& scope,
                                      const std::vector<std::string>& paths, std::set<std::string>& known) {
    const bool everything = scope.performers.empty() && scope.paths.empty();
    const std::string within = scope.within.empty() ? std::string() : libraryPath(scope.within);
    const auto inScope = [&](const LibraryEntry& e, const std::string& path) {
        if (!within.empty() && !under(path, within)) return false;
        if (everything) return true;
        if (std::find(scope.performers.begin(), scope.performers.end(), e.file.performer) != scope.performers.end())
            return true;
        return std::any_of(paths.begin(), paths.end(), [&](const std::string& p) { return under(e.file.path, p); });
    };
    std::vector<CheckedFile> files;
    for (const LibraryEntry& e : entries) {
        const std::string path = libraryPath(e.file.path);
        known.insert(path);
        if (!inScope(e, path)) continue;
        CheckedFile f;
        f.path = path;
        f.libraryId = e.id;
        f.file = e.file;
        if (const auto d = digests.find(path); d != digests.end()) f.expected = d->second.sha256;
        if (const auto stamp = stampOf(path)) f.size = stamp->size;
        files.push_back(std::move(f));
    }
    return files;
}

// Videos in the scope's folders and paths that the library does not know.
std::set<std::string> unknownVideos(const CheckScope& scope, const std::vector<std::string>& paths,
                                    const std::set<std::string>& known) {
    std::vector<std::string> folders = scope.folders;
    for (const std::string& p : paths)
        if (std::filesystem::is_directory(p)) folders.push_back(p);
    std::set<std::string> unknown;
    for (const std::string& folder : folders)
        for (std::string& video : videosUnder(folder))
            if (known.count(video) == 0) unknown.insert(std::move(video));
    for (const std::string& p : paths)
        if (known.count(p) == 0 && std::filesystem::is_regular_file(p)) unknown.insert(p);
    return unknown;
}

// A file read through judged by what it gave (`sha`, nothing when it could
// not be read) and what the library kept, and the verdict kept.
void judge(CheckedFile& f, const std::optional<FileStamp>& before, const std::optional<std::string>& sha, LibraryDb& db,
           CheckProgress& progress, std::int64_t now) {
    std::string ignored;
    if (!sha && !before) {
        f.state = CheckedFile::State::Missing;
        f.size = -1;
        ++progress.missing;
    } else if (!sha) {
        f.state = CheckedFile::State::Damaged;  // there, but it cannot be read through
        ++progress.damaged;
        db.digests().noteChecked(f.path, true, *before, now, ignored);
    } else if (f.sha256 = *sha; f.expected.empty()) {
        f.state = CheckedFile::State::Unverified;
        db.digests().record({f.path, *before, *sha, now}, ignored);
    } else {
        f.state = *sha == f.expected ? CheckedFile::State::Ok : CheckedFile::State::Damaged;
        if (f.state == CheckedFile::State::Damaged) ++progress.damaged;
        db.digests().noteChecked(f.path, f.state == CheckedFile::State::Damaged, *before, now, ignored);
    }
}

}  // namespace

std::vector<CheckedFile> checkLibrary(const std::string& dbPath, const CheckScope& scope,
                                      const std::function<void(const CheckProgress&, const CheckedFile*)>& told,
                                      const std::atomic<bool>* stop, std::string& error) {
    const std::unique_ptr<LibraryDb> db = LibraryDb::open(dbPath, error);
    if (!db) return {};
    const std::vector<LibraryEntry> entries = db->files().entries(error);
    std::map<std::string, FileDigest> digests;
    for (FileDigest& d : db->digests().all(error)) digests.emplace(libraryPath(d.path), std::move(d));
    if (!error.empty()) return {};
    std::vector<std::string> paths;
    for (const std::string& p : scope.paths) paths.push_back(libraryPath(p));
    std::set<std::string> known;
    std::vector<CheckedFile> files = filesInScope(entries, digests, scope, paths, known);
    const std::set<std::string> unknown = unknownVideos(scope, paths, known);

    CheckProgress progress;
    progress.filesTotal = static_cast<int>(files.size());
    for (const CheckedFile& f : files) progress.bytesTotal += std::max<std::int64_t>(f.size, 0);
    auto lastTold = Clock::now();
    const auto tell = [&](const CheckedFile* f) {
        if (told) told(progress, f);
        lastTold = Clock::now();
    };
    const auto stopped = [stop] { return stop && stop->load(); };
    tell(nullptr);
    const std::int64_t now = std::time(nullptr);
    for (CheckedFile& f : files) {
        if (stopped()) break;
        const std::optional<FileStamp> before = stampOf(f.path);
        const std::int64_t bytesBefore = progress.bytes;
        const auto read = [&](std::int64_t bytes) {
            progress.bytes = bytesBefore + bytes;
            if (Clock::now() - lastTold >= std::chrono::milliseconds(200)) tell(nullptr);
        };
        const std::optional<std::string> sha = before ? fileSha256(f.path, read, stop) : std::nullopt;
        if (stopped()) break;
        progress.bytes = bytesBefore + std::max<std::int64_t>(f.size, 0);
        judge(f, before, sha, *db, progress, now);
        ++progress.files;
        tell(&f);
    }
    if (stopped()) return files;
    for (const std::string& path : unknown) {
        CheckedFile f;
        f.path = path;
        f.state = CheckedFile::State::Unknown;
        if (const auto stamp = stampOf(path)) f.size = stamp->size;
        tell(&f);
        files.push_back(std::move(f));
    }
    return files;
}

}  // namespace zorvan
