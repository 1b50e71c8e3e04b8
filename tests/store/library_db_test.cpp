// The library database: the saved queue read back in order, across a
// reopening, and files that are not Zorvan's never written.
#include "store/library_db.h"
#include "support/download_runner.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

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
        const std::vector<SavedWork> works = {{"光年之外", "http://h/3.mp4", "/v/光年之外.mp4", "", 20651048, 1000},
                                              {"稻香", "http://h/6.mp4", "/v/稻香.mp4", "无法连接服务器", -1, 0}};
        ASSERT_TRUE(db->saveQueue(works, error)) << error;
        ASSERT_TRUE(db->saveQueue(works, error)) << "saving again replaces, it does not add";
    }
    auto again = LibraryDb::open(path, error);
    ASSERT_TRUE(again) << error;
    const std::vector<SavedWork> back = again->loadQueue(error);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].title, "光年之外");
    EXPECT_EQ(back[0].total, 20651048);
    EXPECT_EQ(back[0].done, 1000);
    EXPECT_EQ(back[1].failure, "无法连接服务器");
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

}  // namespace
}  // namespace zorvan
