#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zorvan {

// One work as the works pages' text holds it (code page 936, trimmed, as
// found between the markers: escapes are the caller's to undo).
struct PageWork {
    std::string name;           // may be empty: the service gave none
    bool hasAddress = false;    // an address marker pair was found for it
    std::string address;        // may be empty
    std::string id;             // the work's own id on the service; empty when it gave none
};

// Every work in the pages' text (pages one after another), in order. Names
// and addresses are paired by position, as the works list always paired
// them, but an empty name or address no longer ends the list: the works
// after it are found as well. A work's id is the "id" field of its own
// record, taken only where exactly one stands between its record's start
// and the next record's, so that no other work's id is ever taken for it.
std::vector<PageWork> worksInPages(std::string_view text);

}  // namespace zorvan
