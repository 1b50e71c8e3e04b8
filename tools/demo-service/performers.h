#pragma once

#include <optional>
#include <string>
#include <vector>

namespace demo {

// One work as the service lists it.
struct Work {
    std::string songName;   // UTF-8
    std::string addTime;
    int clip = 0;           // which media clip it plays
    int generation = 0;     // how often its address moved (the address's "?v=")
};

// A performer of the demo catalogue, with the way its addresses are written.
struct Performer {
    std::string id;
    std::vector<Work> works;
    bool escapedSlashes = false;  // "http:\/\/host\/..." as many JSON encoders write it
    bool asciiJson = false;       // names with "\uXXXX" for every character beyond ASCII, as many encoders write them
    bool ids = true;              // each work's record gives its own "id"
};

inline constexpr int worksPerPage = 20;

// The demo's performers live for the whole run; a work may be added while
// clients read them, so every access goes through these calls.

// The works-list page p (1-based) of a performer in the service's JSON
// shape; a page beyond the last has no works but the same page count.
// Nothing for an unknown performer.
std::optional<std::string> worksPage(const std::string& id, int page, const std::string& host);

// The clip that work n (1-based) of a performer plays at the address of
// `generation`; nothing when there is no such work, or (`expired` set)
// when its address has moved since.
std::optional<int> clipOfWork(const std::string& id, int n, int generation, bool* expired = nullptr);

// Moves work n's address, as a service does whose links expire: the old
// one answers 410 from now on. False when there is no such work.
bool moveWork(const std::string& id, int n);

// Publishes one more work at the end of a performer's list, as a performer
// does between two visits of a client; its number, or nothing for an
// unknown performer.
std::optional<int> addWork(const std::string& id);

}  // namespace demo
