#include "shell/library/library_snapshot.h"

#include "shell/gui_thread.h"
#include "shell/program_end.h"
#include "store/library_db.h"

#include <QCoreApplication>
#include <QPointer>

#include <filesystem>
#include <thread>

namespace zorvan {

namespace {

QPointer<LibrarySnapshot> snapshot;

// The library's files whose last reading through found other bytes than
// those saved; none without a library.
std::set<std::string> damagedIn(LibraryDb& db) {
    std::set<std::string> damaged;
    std::string error;
    for (const FileDigest& digest : db.digests().all(error))
        if (digest.damagedAsItIs()) damaged.insert(libraryPath(digest.path));
    return damaged;
}

}  // namespace

// One reading: its thread, joined when the snapshot goes.
struct LibrarySnapshot::Reading {
    std::jthread thread;
};

LibrarySnapshot::LibrarySnapshot() { refresh(); }

LibrarySnapshot::~LibrarySnapshot() {
    if (reading_ && reading_->thread.joinable()) reading_->thread.join();
}

void LibrarySnapshot::refresh() {
    if (reading_) {
        again_ = true;
        return;
    }
    auto reading = std::make_shared<Reading>();
    reading_ = reading;
    readingFrom_ = change_;
    reading->thread = std::jthread([self = QPointer<LibrarySnapshot>(this), path = libraryDbPath()] {
        KnownFiles known;
        std::set<std::string> damaged;
        std::error_code ignored;
        // Without a library, files are known by their names and none is damaged.
        if (std::filesystem::exists(path, ignored)) {
            std::string error;
            if (const std::unique_ptr<LibraryDb> db = LibraryDb::open(path, error)) {
                known = readKnownFiles(*db, error, false);
                damaged = damagedIn(*db);
            }
        }
        postToGui([self, known = std::move(known), damaged = std::move(damaged)]() mutable {
            if (self) self->taken(std::move(known), std::move(damaged));
        });
    });
}

void LibrarySnapshot::taken(KnownFiles known, std::set<std::string> damaged) {
    known_ = std::move(known);
    damaged_ = std::move(damaged);
    // The reading's thread has ended its work: it is let go here, not waited for.
    if (reading_ && reading_->thread.joinable()) reading_->thread.detach();
    reading_.reset();
    if (readingFrom_ == change_) stale_ = false;
    emit changed();
    if (std::exchange(again_, false)) refresh();
    if (!stale_) {
        std::vector<std::function<void()>> ready;
        ready.swap(waiting_);
        for (auto& then : ready) then();
    }
}

void LibrarySnapshot::markStale() {
    stale_ = true;
    ++change_;
    refresh();
}

void LibrarySnapshot::whenFresh(std::function<void()> then) {
    if (!stale_) {
        then();
        return;
    }
    waiting_.push_back(std::move(then));
}

LibrarySnapshot& librarySnapshot() {
    if (!snapshot) {
        snapshot = new LibrarySnapshot;
        snapshot->setParent(QCoreApplication::instance());
        registerCleanup([] { delete snapshot.data(); });
    }
    return *snapshot;
}

}  // namespace zorvan
