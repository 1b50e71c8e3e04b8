#pragma once

#include <string>
#include <vector>

namespace demo {

// One work as the service lists it.
struct Work {
    std::string songName;   // UTF-8
    std::string addTime;
    int clip = 0;           // which media clip it plays
};

// A performer of the demo catalogue, with the way its addresses are written.
struct Performer {
    std::string id;
    std::vector<Work> works;
    bool escapedSlashes = false;  // "http:\/\/host\/..." as many JSON encoders write it
};

inline constexpr int worksPerPage = 20;

// The demo's performers: the default id first.
const std::vector<Performer>& performers();
const Performer* findPerformer(const std::string& id);

// The works-list page p (1-based) of a performer in the service's JSON
// shape; a page beyond the last has no works but the same page count.
std::string worksPage(const Performer& performer, int page, const std::string& host);

}  // namespace demo
