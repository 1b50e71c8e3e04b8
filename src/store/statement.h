#pragma once

// What the stores share to talk to SQLite; not for use outside the store.
#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace zorvan::store {

// One prepared statement, finalized however it ends. Binds count from 1.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &handle_, nullptr); }
    ~Statement() { sqlite3_finalize(handle_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ready() const { return handle_ != nullptr; }
    Statement& bind(int at, const std::string& value) {
        sqlite3_bind_text(handle_, at, value.c_str(), -1, SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int at, std::int64_t value) {
        sqlite3_bind_int64(handle_, at, value);
        return *this;
    }
    Statement& bind(int at, int value) {
        sqlite3_bind_int(handle_, at, value);
        return *this;
    }
    Statement& bind(int at, bool value) { return bind(at, value ? 1 : 0); }
    // Ready for the next binds and run (bindings are replaced one by one).
    void reset() { sqlite3_reset(handle_); }
    // Runs a statement without results: true when it ran to its end.
    bool done() { return handle_ && sqlite3_step(handle_) == SQLITE_DONE; }
    // Steps to the next row: false at the end or on an error.
    bool row() { return handle_ && sqlite3_step(handle_) == SQLITE_ROW; }

    std::string text(int column) const {
        const unsigned char* value = sqlite3_column_text(handle_, column);
        return value ? reinterpret_cast<const char*>(value) : "";
    }
    std::int64_t int64(int column) const { return sqlite3_column_int64(handle_, column); }
    int integer(int column) const { return sqlite3_column_int(handle_, column); }

private:
    sqlite3_stmt* handle_ = nullptr;
};

}  // namespace zorvan::store
