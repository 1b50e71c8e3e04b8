#include "store/poster_notes.h"

#include "store/database.h"
#include "store/statement.h"

#include "store/file_stamp.h"

#include <ctime>

namespace zorvan {

using store::Statement;

bool PosterNotes::note(const std::string& path, const std::string& why, std::string& error) {
    const std::optional<FileStamp> stamp = stampOf(path);
    if (!stamp) {
        error = path + " is gone";
        return false;
    }
    Statement s(db_.handle(),
                "INSERT INTO poster_notes (path, size, modified, note, noted) VALUES (?1, ?2, ?3, ?4, ?5)"
                " ON CONFLICT (path) DO UPDATE SET size = ?2, modified = ?3, note = ?4, noted = ?5");
    if (s.ready() && s.bind(1, path).bind(2, stamp->size).bind(3, stamp->modifiedNs).bind(4, why)
                         .bind(5, std::int64_t{std::time(nullptr)}).done())
        return true;
    error = db_.lastError();
    return false;
}

std::optional<std::string> PosterNotes::current(const std::string& path) {
    Statement s(db_.handle(), "SELECT size, modified, note FROM poster_notes WHERE path = ?");
    if (!s.ready() || !s.bind(1, path).row()) return std::nullopt;
    const std::optional<FileStamp> stamp = stampOf(path);
    if (!stamp || stamp->size != s.int64(0) || stamp->modifiedNs != s.int64(1)) return std::nullopt;
    return s.text(2);
}

}  // namespace zorvan
