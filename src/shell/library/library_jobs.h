#pragma once

#include "shell/gui_thread.h"

#include <functional>
#include <string>
#include <utility>

namespace zorvan {

class LibraryDb;

// Hands `job` to the library's thread, where it runs with the library open
// (nothing, and `openError` saying why, when it cannot be opened). Jobs run
// one after another, in the order handed over.
void onLibraryThread(std::function<void(LibraryDb* db, const std::string& openError)> job);
// Ends the library's thread once the jobs handed over are done (the
// program's end).
void releaseLibraryJobs();

// Work on the library database for the window, off the GUI thread: the
// window's thread never opens the database nor waits for its lock. `job`
// runs on the library's thread (`db` may be null: `error` then says why);
// `then` on the GUI thread with what it returned and the error it left.
template <class Result, class Job, class Then>
void onLibrary(Job job, Then then) {
    onLibraryThread([job = std::move(job), then = std::move(then)](LibraryDb* db, const std::string& openError) mutable {
        std::string error = openError;
        Result result = job(db, error);
        postToGui([then = std::move(then), result = std::move(result), error]() mutable {
            then(std::move(result), error);
        });
    });
}

}  // namespace zorvan
