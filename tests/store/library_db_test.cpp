// The library database: the saved queue read back in order, across a
// reopening, and files that are not Zorvan's never written.
#include "store/file_sha256.h"
#include "store/known_files.h"
#include "store/library_db.h"
#include "store/store_writer.h"
#include "support/download_runner.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

namespace zorvan {
namespace {

using namespace test;

TEST(LibraryDbTest, KeepsTheQueueAcrossOpeningsAndLeavesOtherFilesAlone) {
    const std::string folder = freshFolder("library-db");
    const std::string path = folder + "/zorvan/library.db";
    std::string error;
    {
        auto db = LibraryDb::open(path, error);
        ASSERT_TRUE(db) << error;
        // Rows are written as works change, in any order; the queue reads
        // back in its positions' order.
        QueueChanges changes;
        changes.written = {{"稻香", "http://h/6.mp4", "/v/稻香.mp4", "无法连接服务器", -1, 0, "", "", 0, "", 9},
                           {"晴天", "http://h/5.mp4", "/v/晴天.mp4", "", -1, 0, "", "", 0, "", 4},
                           {"光年之外", "http://h/3.mp4", "/v/光年之外.mp4", "", 20651048, 10, "", "", 0, "", 2}};
        ASSERT_TRUE(db->queue().apply(changes, error)) << error;
        ASSERT_TRUE(db->queue().apply(changes, error)) << "writing a row again replaces it, it does not add";
        changes.written = {{"光年之外", "http://h/3.mp4", "/v/光年之外.mp4", "", 20651048, 1000, "", "", 0, "", 2}};
        changes.removed = {4};
        ASSERT_TRUE(db->queue().apply(changes, error)) << error;
    }
    auto again = LibraryDb::open(path, error);
    ASSERT_TRUE(again) << error;
    const std::vector<SavedWork> back = again->queue().load(error);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].title, "光年之外");
    EXPECT_EQ(back[0].total, 20651048);
    EXPECT_EQ(back[0].done, 1000);
    EXPECT_EQ(back[0].position, 2);
    EXPECT_EQ(back[1].failure, "无法连接服务器");
    EXPECT_EQ(back[1].position, 9);
    again.reset();

    // Not a database at all, and another program's database: refused, untouched.
    const std::string text = folder + "/notes.db";
    std::ofstream(text) << "my notes, not a database\n";
    EXPECT_FALSE(LibraryDb::open(text, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readFile(text), "my notes, not a database\n");

    const std::string foreign = folder + "/other.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE queue (x); INSERT INTO queue VALUES (42);", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const std::string before = readFile(foreign);
    EXPECT_FALSE(LibraryDb::open(foreign, error));
    EXPECT_NE(error.find("another program"), std::string::npos) << error;
    EXPECT_TRUE(readFile(foreign) == before);
}

TEST(LibraryDbTest, AnOlderLibraryGainsFollowingAndFilesAndChecksCountNewAndGoneWorks) {
    const std::string path = freshFolder("library-db-v1") + "/library.db";
    // A library as the first schema wrote it, with a saved queue.
    sqlite3* old = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &old), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(old,
                           "CREATE TABLE queue (position INTEGER PRIMARY KEY, title TEXT NOT NULL, address TEXT NOT NULL,"
                           " path TEXT NOT NULL, failure TEXT NOT NULL DEFAULT '', total INTEGER NOT NULL DEFAULT -1,"
                           " done INTEGER NOT NULL DEFAULT 0);"
                           "INSERT INTO queue (position, title, address, path) VALUES (0, '晴天', 'http://h/5.mp4', '/v/晴天.mp4');"
                           "PRAGMA application_id = 1515345486; PRAGMA user_version = 1;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(old);
    std::string error;
    auto db = LibraryDb::open(path, error);
    ASSERT_TRUE(db) << error;
    ASSERT_EQ(db->queue().load(error).size(), 1u) << "the queue survives the migration";

    EXPECT_TRUE(db->follows().follow("100001", 1000, error));
    EXPECT_TRUE(db->follows().follow("100001", 2000, error)) << "following twice is following";
    EXPECT_TRUE(db->follows().follow("100003", 1500, error));
    const std::vector<SeenWork> three = {{1, "小幸运", "http://h/1.mp4", "/1.mp4"}, {2, "起风了", "http://h/2.mp4", "/2.mp4"},
                                         {3, "光年之外", "http://h/3.mp4", "/3.mp4"}};
    EXPECT_EQ(db->follows().recordCheck("100001", three, "", 3000, error), 3);
    EXPECT_EQ(db->follows().recordCheck("100001", three, "", 3000, error), 0) << "a second check in the same second";
    EXPECT_TRUE(db->follows().newWorks("100001", error).empty()) << "what the first check finds is where following began";
    std::vector<SeenWork> moved = {three[0], three[2], {4, "平凡之路", "http://h/4.mp4", "/4.mp4", "w4"},
                                   {5, "晴天", "http://h/5.mp4", "/5.mp4"}};
    // 晴天 was fetched by an older get-all: its archive line is taken in once.
    EXPECT_TRUE(db->files().importArchive("/v/zorvan-archive.txt", {"/5.mp4"}, 3500, error)) << error;
    EXPECT_TRUE(db->files().importArchive("/v/zorvan-archive.txt", {"/4.mp4"}, 3600, error)) << "a second time is a no-op";
    EXPECT_EQ(db->follows().recordCheck("100001", moved, "", 4000, error), 2);
    std::vector<SeenWork> fresh = db->follows().newWorks("100001", error);
    ASSERT_EQ(fresh.size(), 1u) << error;
    EXPECT_EQ(fresh[0].songName, "平凡之路");
    EXPECT_EQ(db->follows().following(error)[0].newWorks, 1);
    EXPECT_TRUE(db->files().record({"/4.mp4", "/v/平凡之路.mp4", 1000, false}, 4100, error));
    EXPECT_EQ(db->follows().newWorks("100001", error).size(), 1u) << "a part file does not end its being new";
    // Its address moved before the download ended: the same work all the
    // same, by the id the service gives it.
    EXPECT_TRUE(db->files().record({"/4.mp4?v=1", "/v/平凡之路.mp4", 2000, true, "100001", 4, "平凡之路", "w5"}, 4150, error));
    EXPECT_EQ(db->follows().newWorks("100001", error).size(), 1u) << "another work's id is another work";
    EXPECT_TRUE(db->files().record({"/4.mp4?v=1", "/v/平凡之路.mp4", 2000, true, "100001", 4, "平凡之路", "w4"}, 4200, error));
    EXPECT_TRUE(db->follows().newWorks("100001", error).empty());
    // A failed check keeps what was seen: nothing is gone for it.
    EXPECT_EQ(db->follows().recordCheck("100001", {}, "cannot list the works", 5000, error), 0);
    std::vector<FollowedPerformer> list = db->follows().following(error);
    ASSERT_EQ(list.size(), 2u) << error;
    EXPECT_EQ(list[0].id, "100001");
    EXPECT_EQ(list[0].added, 1000);
    EXPECT_EQ(list[0].works, 4) << "起风了 is gone, 平凡之路 and 晴天 came";
    EXPECT_EQ(list[0].newWorks, 0);
    EXPECT_EQ(list[0].lastChecked, 5000);
    EXPECT_EQ(list[0].lastError, "cannot list the works");
    EXPECT_TRUE(db->follows().unfollow("100003", error));
    EXPECT_FALSE(db->follows().unfollow("100003", error));
    EXPECT_EQ(db->follows().following(error).size(), 1u);
}

TEST(LibraryDbTest, TheWindowAndTheCommandLineWriteAtOnceWithoutLosingEither) {
    const std::string path = freshFolder("library-db-two") + "/library.db";
    std::string error;
    // A new library opened by several at the same moment (the window's
    // threads, the server): each sees it made once, none fails on a table
    // another has just made.
    for (int round = 0; round < 5; ++round) {
        std::filesystem::remove(path);
        std::atomic<int> refused{0};
        std::vector<std::thread> openers;
        for (int i = 0; i < 4; ++i)
            openers.emplace_back([&] {
                std::string why;
                if (!LibraryDb::open(path, why)) {
                    ++refused;
                    ADD_FAILURE() << why;
                }
            });
        for (std::thread& opener : openers) opener.join();
        ASSERT_EQ(refused.load(), 0) << "round " << round;
    }
    ASSERT_TRUE(LibraryDb::open(path, error)) << error;
    // Two connections, as two programs hold them: one saves the queue over
    // and over, the other records checks of a followed performer.
    std::atomic<int> failures{0};
    std::thread window([&] {
        std::string why;
        auto db = LibraryDb::open(path, why);
        if (!db) return void(++failures);
        for (int i = 0; i < 200; ++i) {
            QueueChanges changes;
            changes.written = {SavedWork{"稻香", "http://h/6.mp4", "/v/稻香.mp4", "", -1, i, "", "", 0, "", i % 7}};
            if (!db->queue().apply(changes, why)) ++failures;
        }
    });
    std::thread cli([&] {
        std::string why;
        auto db = LibraryDb::open(path, why);
        if (!db || !db->follows().follow("100001", 1, why)) return void(++failures);
        std::vector<SeenWork> works;
        for (int i = 1; i <= 200; ++i) {
            works.push_back({i, "作品 " + std::to_string(i), "http://h/" + std::to_string(i) + ".mp4", std::to_string(i)});
            if (db->follows().recordCheck("100001", works, "", i, why) != 1) ++failures;
        }
    });
    window.join();
    cli.join();
    EXPECT_EQ(failures.load(), 0);
    auto db = LibraryDb::open(path, error);
    ASSERT_TRUE(db) << error;
    const std::vector<SavedWork> queue = db->queue().load(error);
    ASSERT_EQ(queue.size(), 7u);
    EXPECT_EQ(queue[199 % 7].done, 199) << "each row as last written";
    ASSERT_EQ(db->follows().following(error).size(), 1u);
    EXPECT_EQ(db->follows().following(error)[0].works, 200);
}

// Two performers singing the same song are two works: the library says
// which work each file holds, and only files it does not know are judged
// by their names.
TEST(KnownFilesTest, AFileIsItsWorksAsTheLibraryRecordedItAndOnlyUnknownFilesGoByName) {
    const std::string folder = freshFolder("known-files");
    std::string error;
    auto db = LibraryDb::open(folder + "/library.db", error);
    ASSERT_TRUE(db) << error;
    const auto save = [&](const std::string& name, const std::string& content) {
        std::ofstream(folder + "/" + name, std::ios::binary) << content;
        return folder + "/" + name;
    };
    const WorkIdentity first{"/media/100001/1.mp4", "100001", 1, "小幸运"};
    const WorkIdentity other{"/media/100002/1.mp4", "100002", 1, "小幸运"};
    const WorkIdentity third{"/media/100001/3.mp4", "100001", 3, "光年之外"};
    const std::string song = save("小幸运.mp4", "first's bytes");
    ASSERT_TRUE(db->files().record({first.key, song, 13, true, "100001", 1, "小幸运"}, 1, error)) << error;
    const auto known = [&] { return readKnownFiles(*db, error); };

    std::string where;
    EXPECT_EQ(known().presenceOf(first, song, &where), FilePresence::Known);
    EXPECT_EQ(where, song);
    EXPECT_EQ(known().presenceOf(other, song), FilePresence::OtherWork) << "another performer's same-named song";
    EXPECT_EQ(known().presenceOf({first.key, "", 0, ""}, song), FilePresence::Known) << "by its address alone";
    EXPECT_EQ(known().presenceOf(third, folder + "/光年之外.mp4"), FilePresence::Absent);
    save("光年之外.mp4", "someone's file");
    EXPECT_EQ(known().presenceOf(third, folder + "/光年之外.mp4"), FilePresence::Unknown) << "judged by its name";

    // The other performer's song saved beside it is known as its own.
    const std::string beside = save("小幸运(1).mp4", "other's bytes");
    ASSERT_TRUE(db->files().record({other.key, beside, 13, true, "100002", 1, "小幸运"}, 2, error)) << error;
    EXPECT_EQ(known().presenceOf(other, song, &where), FilePresence::Known);
    EXPECT_EQ(where, beside);
    EXPECT_EQ(known().presenceOf(other, "/elsewhere/小幸运.mp4"), FilePresence::Absent)
        << "a file in another folder is not there";

    // A file cut short since, or replaced by another work's download, is
    // no longer what the library recorded.
    std::filesystem::resize_file(song, 5);
    EXPECT_EQ(known().presenceOf(first, song), FilePresence::Unknown);
    save("小幸运.mp4", "third's bytes");
    ASSERT_TRUE(db->files().record({third.key, song, 13, true, "100001", 3, "光年之外"}, 3, error)) << error;
    EXPECT_EQ(known().presenceOf(first, song), FilePresence::OtherWork);

    // An archive taken in names works by their address only.
    ASSERT_TRUE(db->files().importArchive(folder + "/zorvan-archive.txt", {"/media/100001/9.mp4"}, 4, error)) << error;
    save("夜曲.mp4", "x");
    EXPECT_EQ(known().presenceOf({"/media/100001/9.mp4", "100001", 9, "夜曲"}, folder + "/夜曲.mp4"), FilePresence::Known);

    // No library yet: none is made, and every file goes by its name.
    EXPECT_EQ(readKnownFiles(folder + "/none/library.db", error).presenceOf(first, song), FilePresence::Unknown);
    EXPECT_FALSE(std::filesystem::exists(folder + "/none"));
}

// A file is its own row: one address saved twice is two files, neither
// rewriting the other. A work's own file is "already there" only while it
// is as saved: by its stamp, else by its bytes read again; other bytes make
// it damaged, never skipped.
TEST(LibraryDbTest, AFileIsItsOwnRowAndIsAlreadyThereOnlyWhileItsBytesAreAsSaved) {
    const std::string folder = freshFolder("known-digests");
    std::string error;
    auto db = LibraryDb::open(folder + "/library.db", error);
    ASSERT_TRUE(db) << error;
    const auto save = [&](const std::string& name, const std::string& content) {
        std::ofstream(folder + "/" + name, std::ios::binary | std::ios::trunc) << content;
        return folder + "/" + name;
    };
    const std::string content(100000, 'v');
    const std::string song = save("小幸运.mp4", content);
    const WorkIdentity work{"/media/100001/1.mp4", "100001", 1, "小幸运", "1"};
    ASSERT_TRUE(db->files().record({work.key, song, 100000, true, "100001", 1, "小幸运", "1", "http://h/media/100001/1.mp4"},
                                   1, error));
    ASSERT_TRUE(db->digests().record({song, *stampOf(song), *fileSha256(song), 1}, error)) << error;
    const auto presence = [&](FileProof* proof = nullptr) {
        std::string where;
        return readKnownFiles(*db, error).presenceOf(work, song, &where, proof);
    };
    FileProof proof = FileProof::None;
    EXPECT_EQ(presence(&proof), FilePresence::Known);
    EXPECT_EQ(proof, FileProof::AsSaved);
    // Touched, same bytes: read again, still as saved.
    std::filesystem::last_write_time(song, std::filesystem::last_write_time(song) + std::chrono::seconds(5));
    EXPECT_EQ(presence(&proof), FilePresence::Known);
    EXPECT_EQ(proof, FileProof::Digest);
    // Sixteen bytes changed in place, same size: damaged.
    save("小幸运.mp4", content.substr(0, 50000) + std::string(16, 'X') + content.substr(50016));
    EXPECT_EQ(presence(), FilePresence::Damaged);
    // Cut short: judged afresh (the engine may complete it), never skipped.
    std::filesystem::resize_file(song, 5000);
    EXPECT_EQ(presence(), FilePresence::Unknown);
    // Another work's id is another work, even by the same name and place.
    save("小幸运.mp4", content);
    EXPECT_EQ(readKnownFiles(*db, error).presenceOf({"/media/100001/1.mp4?v=9", "100001", 1, "小幸运", "other"}, song),
              FilePresence::OtherWork);
    EXPECT_EQ(readKnownFiles(*db, error).presenceOf({"/media/100001/1.mp4?v=9", "100001", 1, "小幸运", "1"}, song),
              FilePresence::Known)
        << "its own id knows it at a moved address";

    // The same address saved again under another name (a script's request).
    const std::string copy = save("by address.mp4", content);
    ASSERT_TRUE(db->files().record({work.key, copy, 100000, true, "", 0, "by address"}, 2, error));
    const std::vector<LibraryEntry> entries = db->files().entries(error);
    ASSERT_EQ(entries.size(), 2u) << "each file listed once";
    EXPECT_EQ(entries[1].file.path, song);
    EXPECT_EQ(entries[1].file.songName, "小幸运") << "never rewritten by another file of its address";
    EXPECT_EQ(entries[1].file.address, "http://h/media/100001/1.mp4");

    // Forgetting a file forgets its digest too.
    ASSERT_TRUE(db->files().forget(entries[1].id, error));
    EXPECT_FALSE(db->digests().of(song).has_value());
}

// A library of the schema before files had rows of their own: of two rows
// of one path the later stands, rows keep their numbers, and works seen
// keep being known.
TEST(LibraryDbTest, ALibraryOfTheEarlierSchemaKeepsItsFilesNumbersAndWorksSeen) {
    const std::string path = freshFolder("library-db-v5") + "/library.db";
    std::string error;
    ASSERT_TRUE(LibraryDb::open(path, error)) << error;
    sqlite3* old = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &old), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(old,
                           "DROP TABLE files; DROP TABLE digests; DROP TABLE works_seen; DROP TABLE queue_ids;"
                           "ALTER TABLE queue DROP COLUMN saved_path; ALTER TABLE server_queue DROP COLUMN saved_path;"
                           "ALTER TABLE queue DROP COLUMN finished_at; ALTER TABLE server_queue DROP COLUMN finished_at;"
                           "ALTER TABLE queue DROP COLUMN item_id; ALTER TABLE server_queue DROP COLUMN item_id;"
                           "ALTER TABLE queue DROP COLUMN work_id; ALTER TABLE server_queue DROP COLUMN work_id;"
                           "CREATE TABLE files (key TEXT PRIMARY KEY, path TEXT NOT NULL DEFAULT '',"
                           " size INTEGER NOT NULL DEFAULT -1, complete INTEGER NOT NULL DEFAULT 0, recorded INTEGER NOT NULL,"
                           " performer TEXT NOT NULL DEFAULT '', sequence INTEGER NOT NULL DEFAULT 0, song TEXT NOT NULL DEFAULT '');"
                           "CREATE TABLE works_seen (performer TEXT NOT NULL, sequence INTEGER NOT NULL, song TEXT NOT NULL,"
                           " address TEXT NOT NULL, first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL,"
                           " gone INTEGER NOT NULL DEFAULT 0, fresh INTEGER NOT NULL DEFAULT 0, key TEXT NOT NULL DEFAULT '',"
                           " PRIMARY KEY (performer, song, sequence));"
                           "INSERT INTO files (rowid, key, path, size, complete, recorded) VALUES"
                           " (7, '/a', '/v/a.mp4', 10, 1, 100), (9, '/b', '/v/a.mp4', 20, 1, 200), (12, '/c', '', -1, 1, 50);"
                           "INSERT INTO works_seen (performer, sequence, song, address, first_seen, last_seen, key) VALUES"
                           " ('1', 1, 'x', 'http://h/a', 1, 1, '/a');"
                           "PRAGMA user_version = 5;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(old);
    sqlite3_close(old);
    auto db = LibraryDb::open(path, error);
    ASSERT_TRUE(db) << error;
    const std::vector<WorkFile> files = db->files().all(error);
    ASSERT_EQ(files.size(), 2u) << error;
    EXPECT_EQ(files[1].key, "/b") << "the later record of the path stands";
    ASSERT_EQ(db->files().entries(error).size(), 1u);
    EXPECT_EQ(db->files().entries(error)[0].id, 9) << "its number is kept";
    // Seen before ids: taken over by its address when the service gives one.
    EXPECT_EQ(db->follows().recordCheck("1", {{1, "x", "http://h/a", "/a", "w1"}, {2, "y", "http://h/b", "/b2", "w2"}},
                                        "", 10, error),
              1)
        << error;
}

// A list that grows at its top moves every work's place: works seen are
// known by who they are, so none of them turns new.
TEST(LibraryDbTest, WorksSeenAreKnownByWhoTheyAreNotByTheirPlace) {
    std::string error;
    auto db = LibraryDb::open(freshFolder("works-seen") + "/library.db", error);
    ASSERT_TRUE(db) << error;
    ASSERT_TRUE(db->follows().follow("1", 1, error));
    const std::vector<SeenWork> first = {{1, "晴天", "http://h/a", "/a", "a"}, {2, "晴天", "http://h/b", "/b", "b", 2}};
    ASSERT_EQ(db->follows().recordCheck("1", first, "", 10, error), 2);
    const std::vector<SeenWork> grown = {{1, "稻香", "http://h/c", "/c", "c"}, {2, "晴天", "http://h/a", "/a", "a"},
                                         {3, "晴天", "http://h/b", "/b", "b", 2}};
    EXPECT_EQ(db->follows().unseenCount("1", grown, error), 1);
    EXPECT_EQ(db->follows().recordCheck("1", grown, "", 20, error), 1);
    const std::vector<SeenWork> fresh = db->follows().newWorks("1", error);
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_EQ(fresh[0].songName, "稻香");
    EXPECT_EQ(db->follows().following(error)[0].works, 3);
}

TEST(LibraryDbTest, TheWriterKeepsEachRowsNewestVersionAndEveryFileAndWritesWhatWaitsBeforeItEnds) {
    const std::string path = freshFolder("store-writer") + "/library.db";
    std::string error;
    std::atomic<int> recorded{0}, problems{0};
    const auto row = [](const std::string& title, std::int64_t position, std::int64_t done) {
        return SavedWork{title, "http://h/" + title, "/v/" + title, "", 100, done, "", "", 0, "", position};
    };
    {
        StoreWriter writer(LibraryDb::open(path, error), [&](const std::string& problem, bool files) {
            if (!problem.empty()) ++problems;
            if (files) ++recorded;
        });
        for (int i = 1; i <= 50; ++i) {
            QueueChanges changes;
            for (int j = 0; j < i; ++j) changes.written.push_back(row("w" + std::to_string(j), j, i));
            writer.write(std::move(changes), {{"http://h/" + std::to_string(i), "/v/f" + std::to_string(i), 10, true}});
        }
        writer.flush();
        EXPECT_GE(recorded.load(), 1);
        // Left to the end, and merged while they wait: the newest version
        // of a row is written, a row removed is not.
        QueueChanges first, second;
        first.written = {row("first", 0, 1), row("gone", 60, 1)};
        second.written = {row("last", 0, 2)};
        for (int j = 1; j < 50; ++j) second.removed.push_back(j);
        second.removed.push_back(60);
        writer.write(std::move(first), {});
        writer.write(std::move(second), {});
    }
    EXPECT_EQ(problems.load(), 0);
    auto db = LibraryDb::open(path, error);
    ASSERT_TRUE(db) << error;
    const std::vector<SavedWork> queue = db->queue().load(error);
    ASSERT_EQ(queue.size(), 1u) << "what was left, written before the writer ended";
    EXPECT_EQ(queue[0].title, "last");
    EXPECT_EQ(queue[0].done, 2);
    EXPECT_EQ(db->files().all(error).size(), 50u) << "no file lost to the queue's changes";
}

// A video no poster can be made of is noted once: the note holds for the
// file as it is, a file replaced since is tried afresh, and the note goes
// with the file's row.
TEST(LibraryDbTest, APosterNoteHoldsUntilItsFileChangesAndGoesWithTheFile) {
    const std::string folder = freshFolder("poster-notes");
    const std::string dbPath = folder + "/library.db";
    const std::string video = folder + "/坏.mp4";
    std::ofstream(video) << "not a video";
    std::string error;
    auto db = LibraryDb::open(dbPath, error);
    ASSERT_TRUE(db) << error;
    EXPECT_FALSE(db->posterNotes().current(video));
    ASSERT_TRUE(db->posterNotes().note(video, "no video stream", error)) << error;
    EXPECT_EQ(db->posterNotes().current(video), std::optional<std::string>("no video stream"));
    EXPECT_FALSE(db->posterNotes().note(folder + "/gone.mp4", "x", error)) << "only a file that is there";

    std::ofstream(video, std::ios::app) << " any more";  // replaced: another size
    EXPECT_FALSE(db->posterNotes().current(video));
    ASSERT_TRUE(db->posterNotes().note(video, "still none", error)) << error;
    EXPECT_TRUE(db->posterNotes().current(video));

    ASSERT_TRUE(db->files().record(WorkFile{"k1", video, 20, true}, 1, error)) << error;
    const std::vector<LibraryEntry> entries = db->files().entries(error);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(db->files().forget(entries[0].id, error));
    EXPECT_FALSE(db->posterNotes().current(video)) << "deleted from the library";
}

}  // namespace
}  // namespace zorvan
