#include "store/digest_store.h"

#include "store/database.h"
#include "store/statement.h"

namespace zorvan {

using store::Statement;

namespace {

constexpr const char* digestColumns = "SELECT path, size, modified, sha256, taken, checked, damaged FROM digests";

FileDigest digestOf(const Statement& s) {
    return {s.text(0), {s.int64(1), s.int64(2)}, s.text(3), s.int64(4), s.int64(5), s.integer(6) != 0};
}

}  // namespace

bool DigestStore::record(const FileDigest& d, std::string& error) {
    Statement s(db_.handle(),
                "INSERT INTO digests (path, size, modified, sha256, taken, checked, damaged)"
                " VALUES (?1, ?2, ?3, ?4, ?5, 0, 0) ON CONFLICT (path) DO UPDATE SET size = ?2, modified = ?3,"
                " sha256 = ?4, taken = ?5, checked = 0, damaged = 0");
    if (s.ready() && s.bind(1, d.path).bind(2, d.stamp.size).bind(3, d.stamp.modifiedNs).bind(4, d.sha256)
                         .bind(5, d.taken).done())
        return true;
    error = db_.lastError();
    return false;
}

bool DigestStore::record(const std::vector<FileDigest>& digests, std::string& error) {
    if (digests.empty()) return true;
    if (!db_.run("BEGIN IMMEDIATE", error)) return false;
    for (const FileDigest& d : digests) {
        if (!record(d, error)) {
            db_.rollback();
            return false;
        }
    }
    return db_.run("COMMIT", error);
}

std::optional<FileDigest> DigestStore::of(const std::string& path) {
    Statement s(db_.handle(), (std::string(digestColumns) + " WHERE path = ?").c_str());
    if (!s.ready() || !s.bind(1, path).row()) return std::nullopt;
    return digestOf(s);
}

std::vector<FileDigest> DigestStore::all(std::string& error) {
    std::vector<FileDigest> digests;
    Statement s(db_.handle(), digestColumns);
    if (!s.ready()) {
        error = db_.lastError();
        return digests;
    }
    while (s.row()) digests.push_back(digestOf(s));
    return digests;
}

bool DigestStore::noteChecked(const std::string& path, bool damaged, const FileStamp& stamp, std::int64_t now,
                              std::string& error) {
    Statement s(db_.handle(),
                damaged ? "UPDATE digests SET checked = ?2, damaged = 1 WHERE path = ?1"
                        : "UPDATE digests SET checked = ?2, damaged = 0, size = ?3, modified = ?4 WHERE path = ?1");
    if (s.ready() && s.bind(1, path).bind(2, now).bind(3, stamp.size).bind(4, stamp.modifiedNs).done()) return true;
    error = db_.lastError();
    return false;
}

bool DigestStore::forget(const std::string& path, std::string& error) {
    Statement s(db_.handle(), "DELETE FROM digests WHERE path = ?");
    if (s.ready() && s.bind(1, path).done()) return true;
    error = db_.lastError();
    return false;
}

}  // namespace zorvan
