#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvan {

class Database;

// A work's file as a download left it.
struct WorkFile {
    std::string key;       // the work's key (workKey of its address)
    std::string path;      // UTF-8; empty when only an archive line told of it
    std::int64_t size = -1;
    bool complete = false;
    // The work as its performer's listing names it, when known: a work
    // whose address moved is still the same work.
    std::string performer{};
    int sequence = 0;
    std::string songName{};
    std::string workId{};   // the work's own id on the service, when its listing gave one
    std::string address{};  // where it was fetched from (to fetch it again); empty when not known
};

// A file of the library as its row keeps it: the row's number, which names
// it to clients, and when it was recorded (seconds since the epoch).
struct LibraryEntry {
    std::int64_t id = 0;
    WorkFile file;
    std::int64_t recorded = 0;
};

// The files downloads left, one row per file (by path; a file known only
// from an archive line has a row per key). One work may have several
// files; a file is never rewritten as another's. A complete file ends a
// work's being new for a followed performer.
class FileStore {
public:
    explicit FileStore(Database& db) : db_(db) {}

    // The file of a work: its path's row says which work it holds now. Rows
    // of the same work whose files are gone, and its archive line, give way
    // to it. False with `error` when the database could not be written.
    bool record(const WorkFile& file, std::int64_t now, std::string& error);
    // The same for several, in one transaction (one write to the disk).
    bool record(const std::vector<WorkFile>& files, std::int64_t now, std::string& error);
    // Every file recorded, oldest first.
    std::vector<WorkFile> all(std::string& error);
    // The complete files with a path, newest first.
    std::vector<LibraryEntry> entries(std::string& error);
    // One of them by its number; nothing when there is no such file.
    std::optional<LibraryEntry> entry(std::int64_t id, std::string& error);
    // Forgets a file's row (its file was deleted): its work is no longer
    // in the library. False when there was no such row or on an error.
    bool forget(std::int64_t id, std::string& error);
    // The text archive of a folder, taken in once: its lines become
    // complete files (keys only). False with `error` when the database
    // could not be written; an archive taken in before is left alone.
    bool importArchive(const std::string& archivePath, const std::vector<std::string>& keys, std::int64_t now,
                       std::string& error);

private:
    void forgetLostFilesOf(const WorkFile& file);
    Database& db_;
};

}  // namespace zorvan
