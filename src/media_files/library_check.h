#pragma once

#include "store/file_store.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zorvan {

// A file of the library (or one beside them the library does not know),
// read again through and judged against the digest taken when it was saved.
struct CheckedFile {
    enum class State {
        Ok,          // its bytes give the digest taken when it was saved
        Damaged,     // they give another
        Missing,     // the library knows it, the disk no longer has it
        Unverified,  // the library knows it but kept no digest (saved before digests were): taken now
        Unknown,     // a video in the folders checked that the library does not know
    };
    std::string path;
    State state = State::Ok;
    std::int64_t libraryId = 0;  // its row; 0 for an unknown file
    WorkFile file;               // the work it holds, as the library says
    std::int64_t size = -1;      // on the disk now; -1 when missing
    std::string sha256;          // what its bytes give now; empty when missing
    std::string expected;        // the digest taken when it was saved; empty when none
};

const char* stateName(CheckedFile::State state);

// What to check: the library's files of these performers, and of these
// paths (a file, or every file under a folder; their unknown videos too);
// everything the library holds when both are empty. `folders`: where else
// to look for videos the library does not know. `within`: only the library's
// files under this folder count (a server's library is its download folder).
struct CheckScope {
    std::vector<std::string> performers;
    std::vector<std::string> paths;
    std::vector<std::string> folders;
    std::string within{};
};

struct CheckProgress {
    int files = 0, filesTotal = 0;
    std::int64_t bytes = 0, bytesTotal = 0;
    int damaged = 0, missing = 0;
};

// Reads every file in scope through, one after another, and notes in the
// library at `dbPath` when each was checked and whether it was damaged (a
// file without a digest gets one now). `told` hears of the progress now and
// then and of each file once judged (with it). Stops early when `stop` is
// set. Nothing, with `error`, when the library cannot be read.
std::vector<CheckedFile> checkLibrary(const std::string& dbPath, const CheckScope& scope,
                                      const std::function<void(const CheckProgress&, const CheckedFile*)>& told,
                                      const std::atomic<bool>* stop, std::string& error);

}  // namespace zorvan
