#include "download/connection.h"

#include "download/error_text.h"
#include "download/http_address.h"
#include "download/name_clash.h"
#include "download/task.h"
#include "text/code_page.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace zorvan {

namespace {
constexpr int sliceMs = 10;
// Every event wakes the task thread; a report per read cost more than the
// reads on fast lines.
constexpr auto reportInterval = std::chrono::milliseconds(10);
// A new request pays only when the part it takes would keep its old
// connection busy several times longer than a request takes to answer, and
// for at least half a second: splitting the last tenths of a second of
// healthy connections made rate-capped downloads slower, not faster.
constexpr double splitWorthRequests = 3.0;
constexpr double splitMinSeconds = 0.5;
}

Connection::Connection(Task& task, int number, int segment, int plannedExtra, std::int64_t speedShare)
    : task_(task),
      number_(number),
      segment_(segment),
      plannedExtra_(plannedExtra),
      speedShare_(speedShare),
      first_(segment < 0),
      retriesLeft_(task.settings.retriesPerConnection),
      exchange_(task, number, [this] { return shouldStop(); }) {}

Connection::~Connection() { join(); }

void Connection::start() { thread_ = std::thread([this] { main(); }); }

void Connection::join() {
    if (thread_.joinable()) thread_.join();
}

bool Connection::shouldStop() const { return run_.load() != 1 || task_.stopping.load(); }

void Connection::main() {
    if (task_.settings.bulkScheduling) {
        // Only a hint: where the system refuses it the thread runs as before.
        const sched_param normal{};
        ::pthread_setschedparam(::pthread_self(), SCHED_BATCH, &normal);
    }
    task_.userEvent(event::connectionStarted, number_, 0, 0);
    end(first_ ? runFirst() : runFurther());
}

bool Connection::pauseBeforeRetry() {
    reportReceived();
    if (retriesLeft_ <= 0 || shouldStop()) return false;
    --retriesLeft_;
    exchange_.close();
    streamOpen_ = false;
    carry_.clear();
    task_.log(number_, logLevel::note, gbkFormat("等待%d秒后重试", task_.settings.retryPauseMs / 1000));
    for (int waited = 0; waited < task_.settings.retryPauseMs; waited += sliceMs) {
        if (shouldStop()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
    }
    return !shouldStop();
}

// Runs a request and notes how long the server took to answer it.
OpenResult Connection::timed(const std::function<OpenResult()>& request) {
    const auto start = std::chrono::steady_clock::now();
    const OpenResult r = request();
    if (r == OpenResult::Accepted) task_.noteRequestTime(std::chrono::steady_clock::now() - start);
    return r;
}

bool Connection::reopenAt(std::int64_t position, std::string& body) {
    for (;;) {
        switch (timed([&] { return exchange_.openRange(position, body); })) {
            case OpenResult::Accepted:
                streamOpen_ = true;
                return true;
            case OpenResult::Refused:
                task_.noteFailure(TaskOutcome::Refused);
                return false;
            case OpenResult::Retry:
                if (!pauseBeforeRetry()) return false;
                break;
        }
    }
}

int Connection::runFirst() {
    std::string body;
    for (;;) {
        const OpenResult r = timed([&] { return exchange_.openFirst(body); });
        if (r == OpenResult::Accepted) break;
        if (r == OpenResult::Refused) {
            task_.noteFailure(TaskOutcome::Refused);
            return endedWithError;
        }
        if (!pauseBeforeRetry()) return endedWithError;
    }
    streamOpen_ = true;

    const std::int64_t total = task_.totalSize.load();
    if (total < 0) {
        task_.log(number_, logLevel::error, gbkFormat("无法获得文件大小"));
        task_.noteFailure(TaskOutcome::NoSize);
        return endedWithError;
    }
    task_.segments.plan(total, 1 + plannedExtra_);

    {
        std::lock_guard lock(task_.pathLock);
        if (!task_.localPath.empty() && task_.localPath.back() == '/') {
            std::string name;
            {
                std::lock_guard requestLock(task_.requestLock);
                name = task_.serverFileName.substr(task_.serverFileName.rfind('/') + 1);
                if (name.empty()) name = fileNameFromPath(task_.request.address.path);
            }
            task_.localPath += name.empty() ? std::string("index.html") : name;
        }
    }
    if (!resolveNameClash(task_, number_)) {
        task_.noteFailure(TaskOutcome::GivenUp);
        return endedWithError;
    }
    task_.file = TargetFile::create(gbkToUtf8(task_.currentLocalPath()), total, task_.settings.mappedWrites);
    if (!task_.file) {
        task_.log(number_, logLevel::error,
                  gbkFormat("创建文件错误，超出最大支持下载长度或磁盘不可写或磁盘没有空间或同名文件已存在"));
        task_.noteFailure(TaskOutcome::CannotCreateFile);
        return endedWithError;
    }
    task_.fileReady = true;

    // Segment 0 is ours before anyone else may choose one.
    segment_ = 0;
    task_.segments.claim(segment_, number_);
    for (int i = 1; i < task_.segments.size(); ++i) {
        InternalEvent start;
        start.kind = InternalEvent::Kind::StartConnection;
        task_.queue.post(start);
    }
    return transfer(std::move(body), true);
}

int Connection::runFurther() {
    std::string body;
    const Segment segment = task_.segments.get(segment_);
    std::int64_t position = segment.position();
    for (;;) {
        const OpenResult r = timed([&] { return exchange_.openRange(position, body); });
        if (r == OpenResult::Accepted) break;
        if (r == OpenResult::Refused) {
            task_.noteFailure(TaskOutcome::Refused);
            return endedWithError;
        }
        if (!pauseBeforeRetry()) return endedWithError;
        // Another connection's stream may have carried on through it meanwhile.
        if (!task_.segments.owns(segment_, number_)) return endedNormally;
        position = task_.segments.get(segment_).position();
    }
    streamOpen_ = true;
    return transfer(std::move(body), true);
}

// Takes stream bytes into the buffer up to the segment's end; the rest is
// kept for the segment that follows in the stream.
bool Connection::takeBytes(const std::string& bytes, std::int64_t segmentEnd) {
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        if (buffered_ == buffer_.size() && !flush()) return false;
        const std::int64_t rest = segmentEnd - (bufferStart_ + static_cast<std::int64_t>(buffered_));
        if (rest <= 0) break;
        const std::size_t n = std::min({bytes.size() - offset, buffer_.size() - buffered_, static_cast<std::size_t>(rest)});
        std::memcpy(buffer_.data() + buffered_, bytes.data() + offset, n);
        buffered_ += n;
        offset += n;
        task_.addProgress(static_cast<std::int64_t>(n));
    }
    carry_ = bytes.substr(offset);
    return true;
}

bool Connection::flush() {
    if (buffered_ == 0) return true;
    const std::int64_t count = static_cast<std::int64_t>(buffered_);
    const SegmentTable::Stored stored = task_.segments.commit(segment_, number_, count);
    if (stored.position < 0 || stored.position != bufferStart_) {
        // The segment went to another connection: these bytes are not ours to store.
        task_.addProgress(-count);
        buffered_ = 0;
        return false;
    }
    if (stored.count < count) {
        // A split shortened the segment: the bytes past its new end belong
        // to the next segment, and the stream goes on from there.
        const auto kept = static_cast<std::size_t>(stored.count);
        carry_.insert(0, buffer_.data() + kept, buffered_ - kept);
        task_.addProgress(stored.count - count);
        buffered_ = kept;
    }
    if (!task_.file->write(stored.position, buffer_.data(), buffered_)) {
        // Counted as done but not on disk: the file can never be complete.
        task_.writeFailed = true;
        task_.log(number_, logLevel::error, gbkFormat("写入文件失败"));
        task_.noteFailure(TaskOutcome::TransferFailed);
        buffered_ = 0;
        return false;
    }
    bufferStart_ += stored.count;
    buffered_ = 0;
    return true;
}

// Rather than end while another connection will need long for its part,
// take the upper half of it; wait while some part may still come to that.
int Connection::splitWhenWorthIt() {
    exchange_.close();
    streamOpen_ = false;
    carry_.clear();
    for (;;) {
        const double worthSeconds = std::max(splitMinSeconds, splitWorthRequests * task_.longestRequestSeconds());
        const int next = task_.segments.claimSplitOfSlowest(number_, task_.minimumSplit(), worthSeconds);
        if (next >= 0 || shouldStop() || !task_.segments.othersHaveAtLeast(number_, task_.minimumSplit())) return next;
        std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
    }
}

// Event 16 for the bytes received since the last one. Sent at most every
// reportInterval while data flows, and always before the events that
// follow it in a connection's life, so the counts add up in order.
void Connection::reportReceived() {
    lastReport_ = std::chrono::steady_clock::now();
    if (unreported_ == 0) return;
    task_.userEvent(event::received, number_, unreported_, 0);
    unreported_ = 0;
}

void Connection::sleepRestOfSecond(std::chrono::steady_clock::time_point stepStart) {
    const auto until = stepStart + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < until && !shouldStop())
        std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
}

int Connection::transfer(std::string pending, bool firstSegment) {
    buffer_.assign(task_.settings.receiveBufferSize, 0);
    Segment segment = task_.segments.get(segment_);
    bufferStart_ = segment.position();
    buffered_ = 0;
    reportReceived();
    task_.userEvent(firstSegment ? event::firstSegment : event::furtherSegment, number_, segment.position(),
                    segment.end());
    if (first_ && !task_.sizeReported.exchange(true))
        task_.userEvent(event::size, number_, task_.totalSize.load(), 0);
    if (!takeBytes(pending, segment.end())) return endedNormally;

    const std::size_t chunk = static_cast<std::size_t>(std::max(1, task_.params.chunkSize));
    for (;;) {
        if (!task_.segments.owns(segment_, number_)) {
            task_.addProgress(-static_cast<std::int64_t>(buffered_));
            buffered_ = 0;
            return endedNormally;  // another connection carries on with it
        }
        segment = task_.segments.get(segment_);
        const std::int64_t streamAt = bufferStart_ + static_cast<std::int64_t>(buffered_);
        const std::int64_t rest = segment.end() - streamAt;

        if (shouldStop()) {
            flush();
            return endedNormally;
        }
        if (rest <= 0) {
            if (!flush()) return endedNormally;
            // Carry on in the same stream when the next segment starts here,
            // else ask for the first free one, else this connection is done.
            const std::int64_t end = segment.end();
            int next = streamOpen_ ? task_.segments.claimContinuation(number_, end) : -1;
            std::string body;
            if (next >= 0) {
                task_.segments.release(segment_, number_);
                segment_ = next;
                body = std::move(carry_);
            } else {
                next = task_.segments.claimFree(number_);
                if (next < 0 && task_.settings.splitForIdleConnections) next = splitWhenWorthIt();
                if (next < 0) return endedNormally;
                task_.segments.release(segment_, number_);
                segment_ = next;
                exchange_.close();
                streamOpen_ = false;
                carry_.clear();
                if (!reopenAt(task_.segments.get(segment_).position(), body)) return endedWithError;
            }
            segment = task_.segments.get(segment_);
            bufferStart_ = segment.position();
            reportReceived();
            task_.userEvent(event::furtherSegment, number_, segment.position(), segment.end());
            if (!takeBytes(body, segment.end())) return endedNormally;
            continue;
        }
        if (buffered_ == buffer_.size()) {
            if (!flush()) return endedNormally;
            continue;
        }
        if (!carry_.empty()) {
            const std::string bytes = std::move(carry_);
            carry_.clear();
            if (!takeBytes(bytes, segment.end())) return endedNormally;
            continue;
        }

        std::size_t step = speedShare_ > 0 ? static_cast<std::size_t>(speedShare_) : chunk;
        step = std::min({step, buffer_.size() - buffered_, static_cast<std::size_t>(rest)});
        const auto stepStart = std::chrono::steady_clock::now();
        const ReceiveResult r = receiveSome(exchange_.socket(), buffer_.data() + buffered_, step, step,
                                            task_.params.receiveTimeout, false, [this] { return shouldStop(); });
        buffered_ += r.received;
        task_.addProgress(static_cast<std::int64_t>(r.received));
        task_.segments.noteReached(segment_, number_, bufferStart_ + static_cast<std::int64_t>(buffered_));
        if (speedShare_ > 0) sleepRestOfSecond(stepStart);
        unreported_ += static_cast<std::int64_t>(r.received);
        if (std::chrono::steady_clock::now() - lastReport_ >= reportInterval) reportReceived();
        if (buffered_ == buffer_.size() && !flush()) return endedNormally;
        if (r.code == 0) continue;

        streamOpen_ = false;
        if (bufferStart_ + static_cast<std::int64_t>(buffered_) >= segment.end()) continue;  // closed right at the end
        // Any failure, the server closing early included: keep what came,
        // then ask again from where the segment stands.
        task_.log(number_, logLevel::error, errorText(r.code));
        if (!flush()) return endedNormally;
        std::string body;
        if (!pauseBeforeRetry() || !reopenAt(task_.segments.get(segment_).position(), body)) return endedWithError;
        bufferStart_ = task_.segments.get(segment_).position();
        if (!takeBytes(body, task_.segments.get(segment_).end())) return endedNormally;
    }
}

void Connection::end(int code) {
    reportReceived();
    std::int64_t position = 0;
    if (segment_ >= 0) position = task_.segments.get(segment_).position();
    bool last;
    {
        std::lock_guard lock(task_.connectionLock);
        last = task_.active == 1;
        --task_.active;
    }
    if (last) {
        InternalEvent finish;
        finish.kind = InternalEvent::Kind::Finish;
        task_.queue.post(finish);
    }
    exchange_.close();
    buffer_.clear();
    buffer_.shrink_to_fit();
    task_.userEvent(code, number_, position, 0);
    if (segment_ >= 0) task_.segments.release(segment_, number_);
    run_ = -1;
}

}  // namespace zorvan
