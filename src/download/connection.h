#pragma once

#include "download/http_exchange.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace zorvan {

struct Task;

// One worker thread of a task: the first connection learns the size, plans
// the segments and creates the file; every connection then fetches its
// segment (and any further one it can take) into the file, retrying from
// the segment's current position when the network fails.
class Connection {
public:
    // `segment` is -1 for the first connection, which owns none yet.
    Connection(Task& task, int number, int segment, int plannedExtra, std::int64_t speedShare);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void start();  // throws std::system_error when no thread can be made
    void join();
    void requestStop() { run_ = 0; }
    int number() const { return number_; }
    bool finished() const { return run_.load() == -1; }

private:
    enum EndCode { endedNormally = 8, endedWithError = 9 };

    void main();
    bool shouldStop() const;
    int runFirst();
    int runFurther();
    int transfer(std::string pending, bool firstSegment);
    bool takeBytes(const std::string& bytes, std::int64_t segmentEnd);
    bool flush();
    bool pauseBeforeRetry();
    bool reopenAt(std::int64_t position, std::string& body);
    int splitWhenWorthIt();
    OpenResult timed(const std::function<OpenResult()>& request);
    void reportReceived();
    void sleepRestOfSecond(std::chrono::steady_clock::time_point stepStart);
    void end(int code);

    Task& task_;
    const int number_;
    int segment_;
    const int plannedExtra_;
    const std::int64_t speedShare_;
    const bool first_;
    std::atomic<int> run_{1};  // 1 running, 0 asked to stop, -1 finished
    int retriesLeft_;
    HttpExchange exchange_;
    bool streamOpen_ = false;  // the socket still delivers the bytes after bufferStart_ + buffered_
    std::string carry_;        // bytes received beyond the segment the stream was in
    std::vector<char> buffer_;
    std::size_t buffered_ = 0;
    std::int64_t bufferStart_ = 0;  // file position of buffer_[0]
    std::int64_t unreported_ = 0;  // received bytes not yet announced with event 16
    std::chrono::steady_clock::time_point lastReport_{};
    std::thread thread_;
};

}  // namespace zorvan
