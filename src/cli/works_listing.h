#pragma once

#include <string>
#include <vector>

namespace zorvan::cli {

struct ListedWork {
    int sequence = 0;
    std::string songName;  // UTF-8
    std::string address;   // as the engine takes it
};

struct WorksListing {
    bool reached = false;     // the service answered at all
    bool understood = false;  // and in the works list's shape
    std::vector<ListedWork> works;
};

// Every work of a performer, through the program's own works retrieval
// (without the window's pacing). On a terminal the retrieval's progress
// shows on one line of standard error.
WorksListing listWorks(const std::string& serviceAddress, const std::string& performerId);

// What to tell the user when the listing cannot be used; empty when it can.
std::string listingFault(const WorksListing& listing, const std::string& serviceAddress);

}  // namespace zorvan::cli
