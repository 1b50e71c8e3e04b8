#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvan {

class Database;

// A performer the user follows.
struct FollowedPerformer {
    std::string id;
    std::int64_t added = 0;        // seconds since the epoch
    std::int64_t lastChecked = 0;  // 0: never
    std::string lastError;         // why the last check failed; empty: it did not
    int works = 0;                 // works seen and not gone
    int newWorks = 0;              // of them, those listed after the first check and not yet in a file
};

// A work as a performer's listing showed it.
struct SeenWork {
    int sequence = 0;
    std::string songName;  // UTF-8
    std::string address;
    std::string key;       // the work's address without scheme, host and port (workKey)
    std::string workId{};  // its own id on the service, when the listing gave one
    int repeat = 1;        // its repeat number in the listing (workRepeats)
};

// Who a seen work is: its own id on the service, else its address's key.
std::string seenIdentity(const SeenWork& work);

// The performers followed and the works seen of them. A work is new when
// it was listed after the performer's first good check and has no
// complete file in the library yet.
class FollowStore {
public:
    explicit FollowStore(Database& db) : db_(db) {}

    // False with `error` when the database could not be written.
    bool follow(const std::string& performer, std::int64_t now, std::string& error);
    // False when the performer was not followed (or on an error, with `error`).
    bool unfollow(const std::string& performer, std::string& error);
    std::vector<FollowedPerformer> following(std::string& error);
    // A check of a performer: its listing (when it succeeded, `failure`
    // empty) recorded as seen at `now`; works no longer listed are marked
    // gone (never forgotten). Returns how many works were seen for the
    // first time, -1 when the database could not be written.
    int recordCheck(const std::string& performer, const std::vector<SeenWork>& listed, const std::string& failure,
                    std::int64_t now, std::string& error);
    // How many of `listed` a check would see for the first time, without
    // recording anything (a dry run); -1 with `error` when it cannot be read.
    int unseenCount(const std::string& performer, const std::vector<SeenWork>& listed, std::string& error);
    // The performer's new works, in their listed order.
    std::vector<SeenWork> newWorks(const std::string& performer, std::string& error);

private:
    bool markSeen(const std::string& performer, const std::vector<SeenWork>& listed, bool fresh, std::int64_t now);
    int knownWorks(const std::string& performer);
    Database& db_;
};

}  // namespace zorvan
