#pragma once

#include <optional>
#include <string>

namespace zorvan {

class Database;

// Why a video got no poster, kept so a file that cannot be decoded is not
// tried again at every listing and still says why after a restart. A note
// holds for the file as it was (size and time of change): a file replaced
// since is tried afresh. A note goes with its file's library row
// (FileStore::forget).
class PosterNotes {
public:
    explicit PosterNotes(Database& db) : db_(db) {}

    // Notes the video at `path` as it is on the disk now. False with `error`
    // when the file is gone or the database could not be written.
    bool note(const std::string& path, const std::string& why, std::string& error);
    // The note for the video as it is now; nothing when there is none or
    // the file changed since.
    std::optional<std::string> current(const std::string& path);

private:
    Database& db_;
};

}  // namespace zorvan
