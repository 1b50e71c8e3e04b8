#include "media_files/noted_poster_worker.h"

#include "store/library_db.h"

namespace zorvan {

std::unique_ptr<PosterWorker> posterWorkerNotingIn(const std::string& dbPath) {
    return std::make_unique<PosterWorker>(
        [dbPath](const std::string& video, const std::string& why) {
            std::string error;
            if (const std::unique_ptr<LibraryDb> db = LibraryDb::open(dbPath, error))
                db->posterNotes().note(video, why, error);
        },
        [dbPath](const std::string& video) -> std::optional<std::string> {
            std::string error;
            const std::unique_ptr<LibraryDb> db = LibraryDb::open(dbPath, error);
            return db ? db->posterNotes().current(video) : std::nullopt;
        });
}

}  // namespace zorvan
