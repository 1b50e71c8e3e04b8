#include "store/library_db.h"

#include <cstdlib>

namespace zorvan {

std::unique_ptr<LibraryDb> LibraryDb::open(const std::string& path, std::string& error) {
    std::unique_ptr<Database> db = Database::open(path, error);
    if (!db) return nullptr;
    return std::unique_ptr<LibraryDb>(new LibraryDb(std::move(db)));
}

std::string libraryDbPath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string folder;
    if (data && data[0] == '/') folder = data;
    else if (const char* home = std::getenv("HOME"); home && home[0]) folder = std::string(home) + "/.local/share";
    else folder = ".";
    return folder + "/zorvan/library.db";
}

}  // namespace zorvan
