#pragma once

#include "store/database.h"
#include "store/digest_store.h"
#include "store/file_store.h"
#include "store/follow_store.h"
#include "store/poster_notes.h"
#include "store/queue_store.h"

#include <memory>
#include <string>

namespace zorvan {

// The program's library: one database with a store for each thing it
// keeps (the saved queue, the performers followed, the files downloads
// left). Opened by whoever needs it, on one thread at a time.
class LibraryDb {
public:
    // Opens (or makes) the library at `path`; nothing, with `error`, when
    // it cannot be used.
    static std::unique_ptr<LibraryDb> open(const std::string& path, std::string& error);

    QueueStore& queue(QueueOwner owner = QueueOwner::Window) {
        return owner == QueueOwner::Server ? serverQueue_ : queue_;
    }
    FollowStore& follows() { return follows_; }
    FileStore& files() { return files_; }
    PosterNotes& posterNotes() { return posterNotes_; }
    DigestStore& digests() { return digests_; }

private:
    explicit LibraryDb(std::unique_ptr<Database> db)
        : db_(std::move(db)),
          queue_(*db_, QueueOwner::Window),
          serverQueue_(*db_, QueueOwner::Server),
          follows_(*db_),
          files_(*db_),
          posterNotes_(*db_),
          digests_(*db_) {}

    std::unique_ptr<Database> db_;
    QueueStore queue_;
    QueueStore serverQueue_;
    FollowStore follows_;
    FileStore files_;
    PosterNotes posterNotes_;
    DigestStore digests_;
};

// Where the library lives: $XDG_DATA_HOME/zorvan/library.db, else
// ~/.local/share/zorvan/library.db.
std::string libraryDbPath();

}  // namespace zorvan
