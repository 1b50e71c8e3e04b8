#pragma once

#include "server/service/server_downloads.h"
#include "store/follow_store.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace zorvan {

class LibraryDb;

// The home server's following: performers followed in the library, checked
// on a thread of its own every so often (the settings say how often) and
// when a client asks; new works queued when a client asks. Every method may
// be called from any thread.
class FollowService {
public:
    explicit FollowService(ServerDownloads& downloads);
    ~FollowService();
    FollowService(const FollowService&) = delete;
    FollowService& operator=(const FollowService&) = delete;

    void start();
    void stop();

    // False with `error` when the library could not be read or written.
    bool follow(const std::string& performer, std::string& error);
    // False with an empty `error` when the performer was not followed.
    bool unfollow(const std::string& performer, std::string& error);
    std::vector<FollowedPerformer> following(std::string& error);
    std::vector<SeenWork> newWorks(const std::string& performer, std::string& error);
    // Checks a performer (empty: every one followed) soon, on the checker's
    // thread; events tell what it found.
    void checkSoon(const std::string& performer);
    // Queues the new works of a performer (empty: of every one followed);
    // how many were queued, -1 with `error` when the library failed.
    int downloadNew(const std::string& performer, std::string& error);

private:
    void run(std::stop_token stop);
    void check(LibraryDb& db, const std::string& performer);
    std::vector<std::string> takeAsked(std::chrono::steady_clock::time_point& nextRound, std::stop_token& stop);

    ServerDownloads& downloads_;
    std::mutex lock_;
    std::condition_variable_any asked_;
    std::set<std::string> askedFor_;  // performers to check; "" stands for all
    std::jthread checker_;
};

}  // namespace zorvan
