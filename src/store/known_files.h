#pragma once

#include "download_policy/work_file.h"
#include "store/library_db.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace zorvan {

// Who a work is: its address's key, and its performer, sequence and song
// where its listing named them.
struct WorkIdentity {
    std::string key;
    std::string performer;
    int sequence = 0;
    std::string songName;
};

// What is on the disk for a work.
enum class FilePresence {
    Absent,     // nothing under its name, and no file of its own anywhere
    Known,      // the library records a file of this very work in that folder, and it is there
    OtherWork,  // the file under its name holds another work (the library says which)
    Unknown,    // a file is under its name that the library does not know: known by name only
};

// Which work each file holds, as the library recorded it when downloads
// ended: two performers' songs of the same name are two works, and only
// files the library does not know are judged by their name.
class KnownFiles {
public:
    KnownFiles() = default;
    explicit KnownFiles(std::vector<WorkFile> files);

    // `path`: where the work would be saved (UTF-8). `where`, when given,
    // receives the path of the work's own file (Known).
    FilePresence presenceOf(const WorkIdentity& work, const std::string& path, std::string* where = nullptr) const;

private:
    const WorkFile* latestAt(const std::string& path) const;

    std::vector<WorkFile> files_;                      // their paths made absolute
    std::map<std::string, std::size_t> byPath_;        // the latest record of each path
    std::map<std::string, std::size_t> byKey_;
    std::map<std::tuple<std::string, int, std::string>, std::size_t> byWork_;
};

// Whether two records name the same work: the same key, or the same
// performer, sequence and song.
bool sameWork(const WorkIdentity& work, const WorkFile& file);

// Whether a work's file is in `folder`: under the name `naming` gives it
// (its own, as the library knows, or one of that name the library does not
// know), or saved under the other naming and known to the library as this
// work's (a folder kept while the naming changed).
bool workFileThere(const KnownFiles& known, const WorkIdentity& work, const std::string& folder, FileNaming naming);
// The work's own file as the library knows it in `folder` (under either
// naming, and under an older song name of the same work); empty when the
// library knows none there.
std::string ownFileOf(const KnownFiles& known, const WorkIdentity& work, const std::string& folder, FileNaming naming);

// The library's files at `dbPath`, read once; none when there is no
// library yet (nothing is made) or it cannot be read (`error` says why).
KnownFiles readKnownFiles(const std::string& dbPath, std::string& error);

// A path as the library keeps it: absolute and without "." or "..".
std::string libraryPath(const std::string& path);

}  // namespace zorvan
