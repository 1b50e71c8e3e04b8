#pragma once

#include "download/http_exchange.h"
#include "download/part_record.h"
#include "download/splice_pipe.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zorvan {

struct Segment;
struct Task;

// One worker thread of a task: it moves bytes. The first connection asks
// first and has the task's file set up from the answer (TaskFile); every
// connection then fetches its segment (and any further one it can take)
// into the file, retrying from the segment's current position when the
// network fails.
class Connection {
public:
    // `segment` is firstConnection for the first connection, which owns
    // none yet, and awaitingPlan for one opened while the first request is
    // under way, which takes one once they are planned.
    static constexpr int firstConnection = -1;
    static constexpr int awaitingPlan = -2;
    Connection(Task& task, int number, int segment, int plannedExtra);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void start();  // throws std::system_error when no thread can be made
    void join();
    void requestStop() { run_ = 0; }
    int number() const { return number_; }

private:
    enum EndCode { endedNormally = 8, endedWithError = 9 };
    // What the transfer does after one step.
    enum class Step { Continue, Done, Failed };
    // How opening a stream for the connection's segment ended.
    enum class Opened { Yes, Failed, SegmentLost };

    void main();
    bool shouldStop() const;
    int runFirst();

    // Taking up bytes already on the disk (connection_resume.cpp).
    enum class Held { Same, Differ, Again };
    void findHeldBytes();
    void findPartToContinue(const std::string& path);
    void findFinalFile(const std::string& path);
    Held checkHeldBytes(std::string& body);
    Held compareWindow(Socket& socket, std::string& body, ByteRange window);
    Held probeHeldBytes(ByteRange window);
    Held heldBytesDiffer();
    bool adoptFinalFile();
    int takeUpHeldBytes(std::string body);
    int runFurther();
    bool waitForPlan();
    void noteLongRoundTrip();
    void considerStartingFurther();
    int transferWholeBody(std::string body);

    // The transfer of the connection's segments, one step at a time.
    int transfer(std::string body, int segmentEvent);
    void beginSegment(int segmentEvent);
    Step advance();
    Step receive(const Segment& segment);
    bool canSplice();
    Step receiveIntoFile(const Segment& segment);
    Step afterReceiving(int code);
    Step finishSegment();
    int claimContinuation(std::int64_t end);
    Step recoverStream(int code);
    Step reopenStream();

    // The stream: opening (with its retries), carrying on, closing.
    Opened openStream(std::string& body);
    bool pauseBeforeRetry();
    void closeStream();
    int splitWhenWorthIt();
    void switchTo(int segment);

    // The buffer: bytes in, bytes stored.
    std::int64_t streamPosition() const { return bufferStart_ + static_cast<std::int64_t>(buffered_); }
    // Whether the open answer still has body bytes to give.
    bool streamHasMore() const { return streamOpen_ && streamPosition() != streamEnd_; }
    // Whether every byte of the open answer's body has been received.
    bool streamConsumed() const {
        return streamOpen_ && streamEnd_ >= 0 && streamPosition() + static_cast<std::int64_t>(carry_.size()) == streamEnd_;
    }
    bool takeBytes(std::string_view bytes);
    bool store();
    bool storeFromPipe(std::size_t count);
    bool failWrite();

    bool allocateBuffer();
    void reportReceived();
    void end(int code);

    Task& task_;
    const int number_;
    int segment_;
    const int plannedExtra_;
    const bool first_;
    const int attempt_;  // of the task, when the connection was made
    std::atomic<int> run_{1};  // 1 running, 0 asked to stop, -1 finished
    int retriesLeft_;
    HttpExchange exchange_;
    bool streamOpen_ = false;  // the socket still delivers the bytes after streamPosition()
    std::int64_t streamEnd_ = -1;  // where the open answer's body ends; -1: with the stream
    std::string carry_;        // bytes received beyond the segment the stream was in
    std::vector<char> buffer_;
    std::size_t buffered_ = 0;
    std::int64_t bufferStart_ = 0;  // file position of buffer_[0]
    std::int64_t unreported_ = 0;  // received bytes not yet announced with event 16
    std::int64_t receivedSinceRetry_ = 0;  // announced since the last pause before a retry
    SplicePipe pipe_;
    bool pipeRefused_ = false;  // the system gave no pipe worth having: the buffer it is
    std::chrono::steady_clock::time_point lastReport_{};
    // First connection of a work that splits only when it pays: the further
    // connections held back, and since when and from how many bytes its own
    // rate is measured.
    int heldBack_ = 0;
    std::chrono::steady_clock::time_point heldSince_{};
    std::int64_t heldFromBytes_ = 0;
    std::thread thread_;
};

}  // namespace zorvan
