#pragma once

#include "catalogue/works_view.h"
#include "download_policy/work_file.h"

#include <functional>
#include <string>
#include <vector>

namespace zorvan {

// A work as a performer's listing gives it.
struct ListedWork {
    int sequence = 0;
    std::string songName;  // UTF-8
    std::string address;   // as the engine takes it
    std::string id{};      // the work's own id on the service; empty when its record gives none
};

// What a listing of a performer's works brought.
struct PerformerWorks {
    bool reached = false;        // the service answered at all
    bool understood = false;     // and in the works list's shape
    std::vector<ListedWork> works;
    std::string serviceMessage;  // what the service said instead of a list (UTF-8)
};

// Told of the listing's progress: page `at` of `of`, then work `at` of `of`.
using ListingProgress = std::function<void(WorksView::Step step, std::size_t at, std::size_t of)>;

// Every work of a performer through the program's own works retrieval,
// with its paging but without the window's pacing of the rows. Blocks; no
// window is touched.
PerformerWorks listPerformerWorks(const std::string& serviceAddress, const std::string& performerId,
                                  const ListingProgress& progress = {});

// A work's address as the service lists it now: the performer's work of
// that id when the service gives its works ids, else the one of that
// sequence number and song name; empty when it is not listed (or the
// service could not be reached).
std::string listedAddressOf(const std::string& serviceAddress, const std::string& performerId, const std::string& id,
                            int sequence, const std::string& songName);

// The repeat numbers of a listing's works (workRepeats).
std::vector<int> listedRepeats(const std::vector<ListedWork>& works);

}  // namespace zorvan
