#include "download/connection.h"

#include "download/chunked_decoder.h"
#include "download/error_text.h"
#include "download/part_record.h"
#include "download/task.h"
#include "download/task_file_setup.h"
#include "text/code_page.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

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
// How long a work that splits only when it pays is watched before its rate
// is trusted (at least a request's time).
constexpr double rateWatchSeconds = 0.03;
}

Connection::Connection(Task& task, int number, int segment, int plannedExtra)
    : task_(task),
      number_(number),
      segment_(segment),
      plannedExtra_(plannedExtra),
      first_(segment == firstConnection),
      attempt_(task.attempt.load()),
      retriesLeft_(task.settings.retriesPerConnection),
      exchange_(task, number, [this] { return shouldStop(); }) {
    if (first_) exchange_.setOnLongRoundTrip([this] { noteLongRoundTrip(); });
}

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

int Connection::runFirst() {
    if (task_.params.partFile) findHeldBytes();
    std::string body;
    for (;;) {
        if (openStream(body) != Opened::Yes) return endedWithError;
        if (!task_.resumption || !task_.resumption->accepted) break;
        switch (checkHeldBytes(body)) {
            case Held::Same: return takeUpHeldBytes(std::move(body));
            case Held::Differ: break;  // dropped: the next request is a new download's
            case Held::Again:
                task_.resumption->accepted = false;
                if (!pauseBeforeRetry()) return endedWithError;
                break;
        }
        closeStream();
        body.clear();
    }
    task_.resumption.reset();
    const std::int64_t total = task_.totalSize.load();
    if (total < 0) {
        if (task_.answer.body() != BodyKind::Sized) return transferWholeBody(std::move(body));
        task_.log(number_, logLevel::error, gbkFormat("无法获得文件大小"));
        task_.noteCause({CauseKind::BadReply, 0, 0, "the server names no size"});
        task_.noteFailure(TaskOutcome::NoSize);
        return endedWithError;
    }
    if (!createTarget(task_, number_, total, 1 + plannedExtra_)) return endedWithError;
    // Segment 0 is ours before anyone else may choose one.
    segment_ = 0;
    task_.target.segments.claim(segment_, number_);
    const int further = task_.target.segments.size() - 1;
    if (task_.params.splitOnlyWhenWorthIt && further > 0) {
        heldBack_ = further;
        heldSince_ = std::chrono::steady_clock::now();
        heldFromBytes_ = 0;
    } else {
        task_.startFurtherConnections(further);
    }
    return transfer(std::move(body), event::firstSegment);
}

// Over a long round trip the further connections connect now, while the
// first request is under way (once per task); on a LAN or loopback they
// are not, so a small file never sees a connection it does not use.
void Connection::noteLongRoundTrip() {
    if (plannedExtra_ <= 0 || task_.params.splitOnlyWhenWorthIt) return;
    if (task_.preOpened.load() > 0 || task_.plan.load() != Task::Plan::Pending) return;
    task_.preOpened = plannedExtra_;
    for (int i = 0; i < plannedExtra_; ++i)
        task_.queue.post(InternalEvent::of(InternalEvent::Kind::PreOpenConnection));
}

// The further connections of a work that splits only when it pays start
// once the first connection's own rate shows that the rest would keep it
// busy longer than a few requests take (and half a second).
void Connection::considerStartingFurther() {
    const auto now = std::chrono::steady_clock::now();
    const double watched = std::chrono::duration<double>(now - heldSince_).count();
    if (watched < std::max(rateWatchSeconds, task_.longestRequestSeconds())) return;
    std::int64_t done;
    {
        std::lock_guard lock(task_.progressLock);
        done = task_.bytesDone;
    }
    const double rate = static_cast<double>(done - heldFromBytes_) / watched;
    const double left = static_cast<double>(task_.totalSize.load() - done);
    const double worth = std::max(splitMinSeconds, splitWorthRequests * task_.longestRequestSeconds());
    if (rate > 0 && left / rate < worth) return;  // alone it is done soon enough
    task_.startFurtherConnections(std::exchange(heldBack_, 0));
}

// A connection opened while the first request was under way: its socket is
// ready when the segments are planned, and it takes one of them then (none
// when the file turned out too small to share).
bool Connection::waitForPlan() {
    exchange_.preOpen();  // when it cannot, the ranged request connects as ever
    while (task_.plan.load() == Task::Plan::Pending) {
        if (shouldStop()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
    }
    if (task_.plan.load() != Task::Plan::Ready) return false;
    segment_ = task_.target.segments.claimForNewConnection(number_, task_.minimumSplit());
    return segment_ >= 0;
}

int Connection::runFurther() {
    if (segment_ == awaitingPlan && !waitForPlan()) {
        segment_ = -1;
        return endedNormally;
    }
    std::string body;
    switch (openStream(body)) {
        case Opened::Yes: return transfer(std::move(body), event::firstSegment);
        case Opened::SegmentLost: return endedNormally;
        case Opened::Failed: break;
    }
    return endedWithError;
}

// A body whose size the server did not name: this one connection stores
// it in order as it comes (chunks decoded), and it is whole only at its
// end, the last chunk or the server closing the connection cleanly.
int Connection::transferWholeBody(std::string body) {
    const bool chunked = task_.answer.body() == BodyKind::Chunked;
    if (!createTarget(task_, number_, -1, 1) || !allocateBuffer()) return endedWithError;
    ChunkedDecoder decoder;
    std::string data = std::move(body), decoded;
    bool closed = false;  // cleanly, by the server
    for (;;) {
        decoded.clear();
        if (chunked) decoder.feed(data, decoded);
        const std::string& bytes = chunked ? decoded : data;
        const std::int64_t at = task_.bodyBytesStored.load();
        if (!task_.target.file->write(at, bytes.data(), bytes.size())) {
            failWrite();
            return endedWithError;
        }
        task_.bodyBytesStored += static_cast<std::int64_t>(bytes.size());
        task_.addProgress(static_cast<std::int64_t>(bytes.size()));
        if (decoder.done() || closed) break;
        if (decoder.failed()) {
            task_.log(number_, logLevel::error, gbkFormat("分块传输的数据有误"));
            task_.noteCause({CauseKind::BadReply, 0, 0, "broken chunked data"});
            task_.noteFailure(TaskOutcome::TransferFailed);
            return endedWithError;
        }
        if (shouldStop()) return endedNormally;
        const std::size_t step = task_.limiter->acquire(buffer_.size(), [this] { return shouldStop(); });
        if (step == 0) return endedNormally;
        const ReceiveResult r = receiveSome(exchange_.socket(), buffer_.data(), step, step,
                                            task_.params.receiveTimeout, true, [this] { return shouldStop(); });
        task_.limiter->giveBack(step - r.received);
        unreported_ += static_cast<std::int64_t>(r.received);
        if (std::chrono::steady_clock::now() - lastReport_ >= reportInterval) reportReceived();
        data.assign(buffer_.data(), r.received);
        // A body that ends with the connection is whole when it closes
        // cleanly; over TLS only its closing alert says so, not a stream
        // that just stops, which could be cut anywhere.
        closed = r.code == socketError::closedByServer && !chunked;
        if (closed) continue;
        if (r.code != 0) {
            task_.log(number_, logLevel::error, errorText(r.code));
            task_.noteCause(causeOfSocketError(r.code));
            task_.noteFailure(r.code == socketError::tlsCutShort ? TaskOutcome::TlsClosedMidRecord
                                                                 : TaskOutcome::TransferFailed);
            return endedWithError;
        }
    }
    task_.wholeBodyDone = true;
    return endedNormally;
}

int Connection::transfer(std::string body, int segmentEvent) {
    if (!allocateBuffer()) return endedWithError;
    beginSegment(segmentEvent);
    if (!takeBytes(body)) return endedNormally;
    for (;;) {
        switch (advance()) {
            case Step::Continue: break;
            case Step::Done: return endedNormally;
            case Step::Failed: return endedWithError;
        }
    }
}

// Events 6 or 7 for the segment the connection now owns, and the size with
// the first connection's first segment.
void Connection::beginSegment(int segmentEvent) {
    const Segment segment = task_.target.segments.get(segment_);
    bufferStart_ = segment.position();
    reportReceived();
    task_.userEvent(segmentEvent, number_, segment.position(), segment.end());
    if (first_ && !task_.sizeReported.exchange(true))
        task_.userEvent(event::size, number_, task_.totalSize.load(), 0);
}

Connection::Step Connection::advance() {
    if (heldBack_ > 0) considerStartingFurther();
    if (!task_.target.segments.owns(segment_, number_)) {
        buffered_ = 0;  // another connection carries on with the segment
        return Step::Done;
    }
    if (shouldStop()) {
        store();
        return Step::Done;
    }
    const Segment segment = task_.target.segments.get(segment_);
    if (streamPosition() >= segment.end()) return finishSegment();
    if (buffered_ == buffer_.size()) return store() ? Step::Continue : Step::Done;
    if (!carry_.empty()) return takeBytes(std::exchange(carry_, {})) ? Step::Continue : Step::Done;
    if (!streamHasMore()) return reopenStream();  // the answer gave less than the segment needs
    return receive(segment);
}

// One receive step into the buffer, no further than the answer's body
// goes, and with a speed limit no more than the task's limit allows.
Connection::Step Connection::receive(const Segment& segment) {
    if (canSplice()) return receiveIntoFile(segment);
    std::size_t step = std::min({static_cast<std::size_t>(std::max(1, task_.params.chunkSize)),
                                 buffer_.size() - buffered_, static_cast<std::size_t>(segment.end() - streamPosition())});
    if (streamEnd_ >= 0) step = std::min(step, static_cast<std::size_t>(streamEnd_ - streamPosition()));
    step = task_.limiter->acquire(step, [this] { return shouldStop(); });
    if (step == 0) return Step::Continue;  // stopped while waiting for its turn
    const ReceiveResult r = receiveSome(exchange_.socket(), buffer_.data() + buffered_, step, step,
                                        task_.params.receiveTimeout, false, [this] { return shouldStop(); });
    task_.limiter->giveBack(step - r.received);
    buffered_ += r.received;
    task_.target.segments.noteReached(segment_, number_, streamPosition());
    unreported_ += static_cast<std::int64_t>(r.received);
    if (std::chrono::steady_clock::now() - lastReport_ >= reportInterval) reportReceived();
    // A limited task receives in small steps; storing each keeps its
    // progress current.
    if ((buffered_ == buffer_.size() || task_.limiter->limited()) && !store()) return Step::Done;
    return afterReceiving(r.code);
}

// What a receive step's end means for the stream: it goes on, or it ended
// (right at the segment's end is no fault).
Connection::Step Connection::afterReceiving(int code) {
    if (code == 0) return Step::Continue;
    streamOpen_ = false;
    if (streamPosition() >= task_.target.segments.get(segment_).end()) return Step::Continue;  // closed right at the end
    return recoverStream(code);
}

// A plain stream's body can go from the socket into the file inside the
// kernel; over TLS it must pass through the program to be decrypted.
bool Connection::canSplice() {
    if (!task_.settings.spliceReceive || pipeRefused_ || exchange_.socket().tls()) return false;
    if (!pipe_.isOpen() && !pipe_.open()) pipeRefused_ = true;
    return !pipeRefused_;
}

// One receive step straight into the file at the stream's position, bound
// as a step into the buffer is, except that an unlimited one takes a
// pipe's worth rather than the chunk size; the pipe is empty again when it
// ends.
Connection::Step Connection::receiveIntoFile(const Segment& segment) {
    // What came with the header, or before, goes in first.
    if (buffered_ > 0) return store() ? Step::Continue : Step::Done;
    // Under a limit, no more than a step into the buffer: what a step holds
    // while its bytes are on their way, the other connections wait for (16
    // connections at 20 MB/s reached 95% of it with a pipe's worth).
    std::size_t step = task_.limiter->limited() ? static_cast<std::size_t>(std::max(1, task_.params.chunkSize))
                                                : pipe_.capacity();
    step = std::min({step, pipe_.capacity(), static_cast<std::size_t>(segment.end() - streamPosition())});
    if (streamEnd_ >= 0) step = std::min(step, static_cast<std::size_t>(streamEnd_ - streamPosition()));
    step = task_.limiter->acquire(step, [this] { return shouldStop(); });
    if (step == 0) return Step::Continue;
    const ReceiveResult r = receiveIntoPipe(exchange_.socket(), pipe_.in(), step, task_.params.receiveTimeout,
                                            [this] { return shouldStop(); });
    task_.limiter->giveBack(step - r.received);
    task_.target.segments.noteReached(segment_, number_, streamPosition() + static_cast<std::int64_t>(r.received));
    unreported_ += static_cast<std::int64_t>(r.received);
    if (std::chrono::steady_clock::now() - lastReport_ >= reportInterval) reportReceived();
    if (!storeFromPipe(r.received)) return Step::Done;
    return afterReceiving(r.code);
}

// The segment is complete: carry on in the same stream when the next
// segment starts where it ends, else take the first free one (or half of
// a slow one) with a new request, else the connection is done.
Connection::Step Connection::finishSegment() {
    if (!store()) return Step::Done;
    if (task_.target.checkpoint) task_.target.checkpoint->rangeEnded();
    const std::int64_t end = task_.target.segments.get(segment_).end();
    std::string body;
    if (const int next = streamHasMore() ? claimContinuation(end) : -1; next >= 0) {
        switchTo(next);
        body = std::exchange(carry_, {});
    } else {
        int other = task_.target.segments.claimFree(number_);
        if (other < 0 && task_.settings.splitForIdleConnections) other = splitWhenWorthIt();
        if (other < 0) return Step::Done;
        switchTo(other);
        closeStream();
        if (const Opened opened = openStream(body); opened != Opened::Yes)
            return opened == Opened::SegmentLost ? Step::Done : Step::Failed;
    }
    beginSegment(event::furtherSegment);
    return takeBytes(body) ? Step::Continue : Step::Done;
}

// The segment that goes on from `end` in this stream. While it is a part
// split off for another connection whose request has brought nothing yet,
// the stream is kept and waited with: a server that answers ranges wrongly
// refuses that request, and this stream is then the only way to the rest.
int Connection::claimContinuation(std::int64_t end) {
    for (;;) {
        const int next = task_.target.segments.claimContinuation(number_, end);
        if (next >= 0 || shouldStop() || !task_.target.segments.splitOffAwaitsFirstByte(end)) return next;
        std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
    }
}

// Any failure, the server closing early included: keep what came, then
// ask again from where the segment stands.
Connection::Step Connection::recoverStream(int code) {
    task_.log(number_, logLevel::error, errorText(code));
    task_.noteCause(causeOfSocketError(code));
    if (!store()) return Step::Done;
    if (!pauseBeforeRetry()) {
        // Why the connection gave up, when TLS streams kept being cut off.
        if (code == socketError::tlsCutShort) task_.noteFailure(TaskOutcome::TlsClosedMidRecord);
        return Step::Failed;
    }
    return reopenStream();
}

Connection::Step Connection::reopenStream() {
    if (!store()) return Step::Done;
    closeStream();
    std::string body;
    if (const Opened opened = openStream(body); opened != Opened::Yes)
        return opened == Opened::SegmentLost ? Step::Done : Step::Failed;
    bufferStart_ = task_.target.segments.get(segment_).position();
    return takeBytes(body) ? Step::Continue : Step::Done;
}

// The first connection, before it owns a segment, sends the plain first
// request; every other request asks for the segment from its position.
Connection::Opened Connection::openStream(std::string& body) {
    for (;;) {
        // Another connection's stream may have carried on through it meanwhile.
        if (segment_ >= 0 && !task_.target.segments.owns(segment_, number_)) return Opened::SegmentLost;
        const std::int64_t position = segment_ < 0 ? 0 : task_.target.segments.get(segment_).position();
        const auto start = std::chrono::steady_clock::now();
        // Never past bytes that are already in the file.
        const OpenResult r = segment_ < 0 ? exchange_.openFirst(body)
                                          : exchange_.openRange(position, body, task_.target.segments.stretchEnd(segment_));
        switch (r) {
            case OpenResult::Accepted:
                task_.noteRequestTime(std::chrono::steady_clock::now() - start);
                streamOpen_ = true;
                streamEnd_ = exchange_.bodyEnd();
                // Whatever follows the answer's body is not part of the file,
                // and leaves the connection unfit for another request.
                if (streamEnd_ >= 0 && static_cast<std::int64_t>(body.size()) > streamEnd_ - position) {
                    body.resize(static_cast<std::size_t>(streamEnd_ - position));
                    exchange_.spend();
                }
                task_.limiter->charge(body.size());
                return Opened::Yes;
            case OpenResult::Refused:
                task_.noteFailure(TaskOutcome::Refused);
                return Opened::Failed;
            case OpenResult::Changed:
                task_.noteFileChanged();
                return Opened::Failed;
            case OpenResult::Retry:
                // A socket opened early that the server closed meanwhile is
                // no failure of this connection: a fresh one is made at once.
                if (exchange_.usedWarmSocket()) break;
                if (!pauseBeforeRetry()) return Opened::Failed;
                break;
        }
    }
}

bool Connection::pauseBeforeRetry() {
    reportReceived();
    if (retriesLeft_ <= 0 || shouldStop()) return false;
    --retriesLeft_;
    closeStream();
    // A busy server may ask for a longer pause than ours, never a shorter one.
    // A stream cut off after it brought bytes met a fault of the line, not
    // a server that is down: where asked, it is made again at once.
    const bool progressed = receivedSinceRetry_ > 0;
    receivedSinceRetry_ = 0;
    const int ourPause = progressed && task_.params.reconnectAtOnceAfterBytes ? 0 : task_.settings.retryPauseMs;
    const int pauseMs = std::max(ourPause, exchange_.retryAfterMs());
    task_.userEvent(event::retrying, number_, pauseMs, retriesLeft_);
    task_.log(number_, logLevel::note, gbkFormat("等待%d秒后重试", pauseMs / 1000));
    for (int waited = 0; waited < pauseMs; waited += sliceMs) {
        if (shouldStop()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
    }
    return !shouldStop();
}

// A stream read to its end leaves its connection to the task's pool.
void Connection::closeStream() {
    if (streamConsumed())
        exchange_.keepOrClose();
    else
        exchange_.close();
    streamOpen_ = false;
    streamEnd_ = -1;
    carry_.clear();
}

// Rather than end while another connection will need long for its part,
// take the upper half of it; wait while some part may still come to that.
int Connection::splitWhenWorthIt() {
    closeStream();
    for (;;) {
        // A part given up by a connection that failed is there for the taking.
        if (const int free = task_.target.segments.claimFree(number_); free >= 0) return free;
        const double worthSeconds = std::max(splitMinSeconds, splitWorthRequests * task_.longestRequestSeconds());
        const int next = task_.target.segments.claimSplitOfSlowest(number_, task_.minimumSplit(), worthSeconds);
        if (next >= 0 || shouldStop() || !task_.target.segments.othersHaveAtLeast(number_, task_.minimumSplit())) return next;
        std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
    }
}

void Connection::switchTo(int segment) {
    task_.target.segments.release(segment_, number_);
    segment_ = segment;
}

// Takes stream bytes into the buffer up to the segment's end (looked up
// again after every store, since a split may move it); the rest is kept
// for the segment that follows in the stream.
bool Connection::takeBytes(std::string_view bytes) {
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        if (buffered_ == buffer_.size() && !store()) return false;
        const std::int64_t rest = task_.target.segments.get(segment_).end() - streamPosition();
        if (rest <= 0) break;
        const std::size_t n = std::min({bytes.size() - offset, buffer_.size() - buffered_, static_cast<std::size_t>(rest)});
        std::memcpy(buffer_.data() + buffered_, bytes.data() + offset, n);
        buffered_ += n;
        offset += n;
    }
    carry_.append(bytes.substr(offset));
    return true;
}

// Writes the buffered bytes at the segment's position and counts them as
// done, once, here. False when the connection cannot go on storing.
bool Connection::store() {
    if (buffered_ == 0) return true;
    const SegmentTable::Stored stored =
        task_.target.segments.commit(segment_, number_, static_cast<std::int64_t>(buffered_));
    if (stored.position != bufferStart_) {
        buffered_ = 0;  // the segment went to another connection: these bytes are not ours to store
        return false;
    }
    // A split shortened the segment: the bytes past its new end belong to
    // the next segment, and the stream goes on from there.
    const auto kept = static_cast<std::size_t>(stored.count);
    carry_.insert(0, buffer_.data() + kept, buffered_ - kept);
    buffered_ = 0;
    if (!task_.target.file->write(stored.position, buffer_.data(), kept)) return failWrite();
    task_.target.segments.noteWritten(segment_, stored.position + stored.count);
    task_.addProgress(stored.count);
    bufferStart_ += stored.count;
    return true;
}

// The same for `count` bytes waiting in the pipe. They count as written
// only once the file holds them, as the part file's record relies on.
bool Connection::storeFromPipe(std::size_t count) {
    if (count == 0) return true;
    const SegmentTable::Stored stored = task_.target.segments.commit(segment_, number_, static_cast<std::int64_t>(count));
    if (stored.position != bufferStart_) {
        pipe_.close();  // not ours to store: they go with the pipe
        return false;
    }
    const auto kept = static_cast<std::size_t>(stored.count);
    if (!task_.target.file->writeFromPipe(stored.position, pipe_.out(), kept)) {
        failWrite();
        pipe_.close();
        return false;
    }
    task_.target.segments.noteWritten(segment_, stored.position + stored.count);
    task_.addProgress(stored.count);
    task_.splicedBytes += stored.count;
    bufferStart_ += stored.count;
    if (kept < count) {
        // A split shortened the segment: the rest starts the next one.
        std::string rest(count - kept, '\0');
        if (pipe_.take(rest.data(), rest.size())) {
            carry_.insert(0, rest);
        } else {
            pipe_.close();
            closeStream();  // the stream's place is lost with those bytes
        }
    }
    return true;
}

// Bytes counted as done did not reach the file: it can never be complete.
bool Connection::failWrite() {
    task_.target.writeFailed = true;
    task_.noteCause({CauseKind::Disk, 0, errno, "cannot write the file"});
    task_.log(number_, logLevel::error, gbkFormat("写入文件失败"));
    task_.noteFailure(TaskOutcome::TransferFailed);
    return false;
}

// Event 16 for the bytes received since the last one. Sent at most every
// reportInterval while data flows, and always before the events that
// follow it in a connection's life, so the counts add up in order.
void Connection::reportReceived() {
    lastReport_ = std::chrono::steady_clock::now();
    if (unreported_ == 0) return;
    task_.userEvent(event::received, number_, unreported_, 0);
    receivedSinceRetry_ += unreported_;
    unreported_ = 0;
}

// The receive buffer; a size the system cannot give ends the connection
// with a message instead of the program.
bool Connection::allocateBuffer() {
    buffered_ = 0;
    try {
        buffer_.assign(task_.settings.receiveBufferSize, 0);
        return true;
    } catch (const std::bad_alloc&) {
        task_.log(number_, logLevel::error,
                  gbkFormat("分配 %zu 字节内存失败!", task_.settings.receiveBufferSize));
        task_.noteFailure(TaskOutcome::TransferFailed);
        return false;
    }
}

void Connection::end(int code) {
    reportReceived();
    // Connections opened early wait for a plan that will not come now.
    if (first_) {
        auto pending = Task::Plan::Pending;
        task_.plan.compare_exchange_strong(pending, Task::Plan::None);
    }
    std::int64_t position = 0;
    if (segment_ >= 0) {
        position = task_.target.segments.get(segment_).position();
        // Free before counting out, so a connection that finishes meanwhile
        // finds the part unfinished and free instead of ending the task.
        task_.target.segments.release(segment_, number_);
    }
    bool last;
    {
        std::lock_guard lock(task_.connectionLock);
        last = task_.active == 1;
        --task_.active;
    }
    if (last) task_.queue.post(InternalEvent::of(InternalEvent::Kind::Finish, false, attempt_));
    closeStream();
    pipe_.close();
    buffer_.clear();
    buffer_.shrink_to_fit();
    task_.userEvent(code, number_, position, 0);
    run_ = -1;
}

}  // namespace zorvan
