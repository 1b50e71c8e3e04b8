#include "store/known_files.h"

#include "download_policy/work_file.h"
#include "store/file_sha256.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace zorvan {

namespace {

bool isFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The file at the record's path is still the one recorded by its size: a
// file cut short or replaced since is judged afresh.
bool sizeAsRecorded(const WorkFile& file) {
    const std::optional<FileStamp> stamp = stampOf(file.path);
    return stamp && (file.size < 0 || stamp->size == file.size);
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
    return !work.performer.empty() && !work.workId.empty() && work.performer == file.performer &&
           work.workId == file.workId;
}

DigestVerdict judgeByDigest(const std::string& path, const FileDigest* digest, bool readThrough) {
    const std::optional<FileStamp> stamp = stampOf(path);
    if (!stamp) return DigestVerdict::Missing;
    if (!digest) return DigestVerdict::NoDigest;
    // A reading through found it damaged (its stamp may be unchanged: a
    // disk that rots does not touch it), and it was not written since.
    if (digest->damagedAsItIs()) return DigestVerdict::Damaged;
    if (*stamp == digest->stamp) return DigestVerdict::AsSaved;
    // Cut short (a copy that stopped, a disk that filled): its start may
    // still be the work's, which a download can complete.
    if (stamp->size < digest->stamp.size) return DigestVerdict::CutShort;
    // A longer file cannot hold the bytes saved.
    if (stamp->size != digest->stamp.size) return DigestVerdict::Damaged;
    if (!readThrough) return DigestVerdict::NoDigest;
    const std::optional<std::string> now = fileSha256(path);
    if (!now) return DigestVerdict::Missing;
    return *now == digest->sha256 ? DigestVerdict::ReadAgainSame : DigestVerdict::Damaged;
}

KnownFiles::KnownFiles(std::vector<WorkFile> files, std::vector<FileDigest> digests, bool readThrough)
    : files_(std::move(files)), readThrough_(readThrough) {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        WorkFile& f = files_[i];
        f.path = libraryPath(f.path);
        if (!f.path.empty()) byPath_[f.path] = i;  // later records win
        if (!f.key.empty()) byKey_.emplace(f.key, i);
        if (!f.performer.empty() && !f.workId.empty()) byWork_.emplace(std::make_pair(f.performer, f.workId), i);
    }
    for (FileDigest& d : digests) {
        std::string path = libraryPath(d.path);
        digests_.emplace(std::move(path), std::move(d));
    }
}

const WorkFile* KnownFiles::latestAt(const std::string& path) const {
    const auto it = byPath_.find(path);
    return it == byPath_.end() ? nullptr : &files_[it->second];
}

// The work's complete files whose paths still hold it, newest first.
std::vector<const WorkFile*> KnownFiles::ownFiles(const WorkIdentity& work) const {
    std::vector<std::size_t> rows;
    for (auto [it, end] = byKey_.equal_range(work.key); it != end; ++it) rows.push_back(it->second);
    if (!work.performer.empty() && !work.workId.empty())
        for (auto [it, end] = byWork_.equal_range({work.performer, work.workId}); it != end; ++it)
            rows.push_back(it->second);
    std::sort(rows.begin(), rows.end(), std::greater<>());
    std::vector<const WorkFile*> own;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0 && rows[i] == rows[i - 1]) continue;
        const WorkFile& f = files_[rows[i]];
        if (!f.complete || f.path.empty() || !sameWork(work, *latestAt(f.path))) continue;
        own.push_back(&f);
    }
    return own;
}

FilePresence KnownFiles::presenceOf(const WorkIdentity& work, const std::string& path, std::string* where,
                                    FileProof* proof) const {
    if (proof) *proof = FileProof::None;
    const std::string here = libraryPath(path);
    const std::filesystem::path folder = std::filesystem::path(here).parent_path();
    // The work's own file in the same folder, under any name (its own name
    // first), while it is as saved; one that is not is damaged, never
    // "already there".
    std::vector<const WorkFile*> owned = ownFiles(work);
    std::stable_partition(owned.begin(), owned.end(), [&](const WorkFile* f) { return f->path == here; });
    for (const WorkFile* own : owned) {
        if (std::filesystem::path(own->path).parent_path() != folder) continue;
        const auto digest = digests_.find(own->path);
        const DigestVerdict verdict =
            judgeByDigest(own->path, digest == digests_.end() ? nullptr : &digest->second, readThrough_);
        if (verdict == DigestVerdict::Missing || verdict == DigestVerdict::CutShort) continue;  // judged afresh
        if (verdict == DigestVerdict::NoDigest && !sizeAsRecorded(*own)) continue;
        if (where) *where = own->path;
        if (verdict == DigestVerdict::Damaged) return FilePresence::Damaged;
        if (proof)
            *proof = verdict == DigestVerdict::AsSaved         ? FileProof::AsSaved
                     : verdict == DigestVerdict::ReadAgainSame ? FileProof::Digest
                                                               : FileProof::NotVerified;
        return FilePresence::Known;
    }
    if (!isFile(here)) return FilePresence::Absent;
    const WorkFile* holder = latestAt(here);
    if (!holder || !sizeAsRecorded(*holder)) {
        // Known by key alone (an archive taken in) is known all the same,
        // though its bytes were never proven.
        for (auto [it, end] = byKey_.equal_range(work.key); it != end; ++it) {
            if (files_[it->second].complete && files_[it->second].path.empty()) {
                if (where) *where = here;
                if (proof) *proof = FileProof::NotVerified;
                return FilePresence::Known;
            }
        }
        return FilePresence::Unknown;
    }
    // This work's file that did not pass above is judged by its bytes.
    return sameWork(work, *holder) ? FilePresence::Unknown : FilePresence::OtherWork;
}

KnownFiles readKnownFiles(LibraryDb& db, std::string& error, bool readThrough) {
    std::vector<WorkFile> files = db.files().all(error);
    std::vector<FileDigest> digests = db.digests().all(error);
    return KnownFiles(std::move(files), std::move(digests), readThrough);
}

KnownFiles readKnownFiles(const std::string& dbPath, std::string& error, bool readThrough) {
    std::error_code ignored;
    if (!std::filesystem::exists(dbPath, ignored)) return {};
    const std::unique_ptr<LibraryDb> db = LibraryDb::open(dbPath, error);
    if (!db) return {};
    return readKnownFiles(*db, error, readThrough);
}

bool workFileThere(const KnownFiles& known, const WorkIdentity& work, const std::string& folder, FileNaming naming) {
    const FilePresence named = known.presenceOf(
        work, workFilePath(folder, work.songName, naming, work.performer, work.sequence, work.repeat));
    if (named == FilePresence::Known || named == FilePresence::Unknown) return true;
    const FileNaming other = naming == FileNaming::SongName ? FileNaming::PerformerFolder : FileNaming::SongName;
    return known.presenceOf(work, workFilePath(folder, work.songName, other, work.performer, work.sequence,
                                               work.repeat)) == FilePresence::Known;
}

std::string ownFileOf(const KnownFiles& known, const WorkIdentity& work, const std::string& folder, FileNaming naming) {
    const FileNaming other = naming == FileNaming::SongName ? FileNaming::PerformerFolder : FileNaming::SongName;
    for (const FileNaming tried : {naming, other}) {
        std::string where;
        if (known.presenceOf(work,
                             workFilePath(folder, work.songName, tried, work.performer, work.sequence, work.repeat),
                             &where) == FilePresence::Known)
            return where;
    }
    return {};
}

}  // namespace zorvan
