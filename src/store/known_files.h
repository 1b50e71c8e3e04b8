#pragma once

#include "download_policy/work_file.h"
#include "store/library_db.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zorvan {

// Who a work is: its address's key, and its performer with its own id on
// the service where its listing gave one. Its sequence, song name and
// repeat number say only where it is saved (workFilePath), never who it is.
struct WorkIdentity {
    std::string key;
    std::string performer;
    int sequence = 0;
    std::string songName;
    std::string workId{};
    int repeat = 1;
};

// What is on the disk for a work.
enum class FilePresence {
    Absent,     // nothing under its name, and no file of its own anywhere
    Known,      // the library records a file of this very work in that folder, and it is as saved (see FileProof)
    Damaged,    // the library records a file of this work there, but its bytes are no longer those saved
    OtherWork,  // the file under its name holds another work (the library says which)
    Unknown,    // a file is under its name that the library does not know: known by name only
};

// How a Known file is known to be the one saved.
enum class FileProof {
    None,       // not Known
    AsSaved,    // its size and time of change are those its digest was taken with
    Digest,     // touched since, but its bytes read again give the digest taken when it was saved
    NotVerified,  // saved before digests were kept: its size is as recorded, its bytes are not proven
};

// Which work each file holds, as the library recorded it when downloads
// ended: two performers' songs of the same name are two works, and only
// files the library does not know are judged by their name. A file the
// library knows is this work's only while it is as saved.
class KnownFiles {
public:
    KnownFiles() = default;
    // `readThrough`: a file touched since it was saved (same size, another
    // time) is read again to prove it; false, where no file may be read
    // (the window's thread, an HTTP answer), it is taken as "not verified".
    KnownFiles(std::vector<WorkFile> files, std::vector<FileDigest> digests, bool readThrough = true);

    // `path`: where the work would be saved (UTF-8). `where`, when given,
    // receives the path of the work's own file (Known, Damaged); `proof`
    // how a Known file was proven. May read a file through (a touched file
    // with a digest).
    FilePresence presenceOf(const WorkIdentity& work, const std::string& path, std::string* where = nullptr,
                            FileProof* proof = nullptr) const;

private:
    const WorkFile* latestAt(const std::string& path) const;
    std::vector<const WorkFile*> ownFiles(const WorkIdentity& work) const;

    std::vector<WorkFile> files_;                      // their paths made absolute
    std::map<std::string, std::size_t> byPath_;        // the latest record of each path
    std::multimap<std::string, std::size_t> byKey_;
    std::multimap<std::pair<std::string, std::string>, std::size_t> byWork_;  // performer and own id
    std::map<std::string, FileDigest> digests_;        // by path
    bool readThrough_ = true;
};

// Whether a record names the work: the same key, or the same performer and
// own id.
bool sameWork(const WorkIdentity& work, const WorkFile& file);

// Whether a work's file is in `folder`: under the name `naming` gives it
// (its own, as the library knows, or one of that name the library does not
// know), or saved under the other naming and known to the library as this
// work's (a folder kept while the naming changed). A damaged file is not.
bool workFileThere(const KnownFiles& known, const WorkIdentity& work, const std::string& folder, FileNaming naming);
// The work's own file as the library knows it in `folder` (under either
// naming, and under an older song name of the same work); empty when the
// library knows none there.
std::string ownFileOf(const KnownFiles& known, const WorkIdentity& work, const std::string& folder, FileNaming naming);

// The library's files and digests at `dbPath`, read once; none when there
// is no library yet (nothing is made) or it cannot be read (`error` says
// why).
KnownFiles readKnownFiles(const std::string& dbPath, std::string& error, bool readThrough = true);
// The same from a library already open.
KnownFiles readKnownFiles(LibraryDb& db, std::string& error, bool readThrough = true);

// A path as the library keeps it: absolute and without "." or "..".
std::string libraryPath(const std::string& path);

// What a file's reading says against its digest: as saved (the stamp, or
// the bytes read again), cut short, damaged (other bytes, or more of
// them), gone, or nothing to judge by (no digest).
enum class DigestVerdict { AsSaved, ReadAgainSame, CutShort, Damaged, Missing, NoDigest };
// `readThrough` false: a touched file is not read (NoDigest: nothing proven).
DigestVerdict judgeByDigest(const std::string& path, const FileDigest* digest, bool readThrough = true);

}  // namespace zorvan
