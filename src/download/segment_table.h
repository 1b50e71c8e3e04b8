#pragma once

#include "download/part_record.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace zorvan {

// One byte range of the file and who works on it.
struct Segment {
    bool busy = false;         // a connection owns it
    int owner = 0;             // the owning connection's number
    std::int64_t start = 0;
    std::int64_t length = 0;
    std::int64_t done = 0;     // bytes counted as stored, from start on (their write may be under way)
    std::int64_t written = 0;  // bytes whose write has completed, from start on
    std::int64_t reached = 0;  // file position the owner's stream has reached (received, maybe not stored)
    bool splitOff = false;     // the upper part of a split, given to a connection of its own
    std::chrono::steady_clock::time_point claimedAt{};  // when the owner took it
    std::int64_t claimedFrom = 0;                        // the position then

    bool finished() const { return done >= length; }
    std::int64_t end() const { return start + length; }
    std::int64_t position() const { return start + done; }
    // Where the owner's stream stands: stored bytes and those it still holds.
    std::int64_t streamPosition() const { return position() > reached ? position() : reached; }
};

// The segments of one download. Every read and change goes through one
// lock, so the connection that owns a segment and a connection splitting it
// never race on its length.
class SegmentTable {
public:
    // Files smaller than this are fetched in one segment.
    static constexpr std::int64_t minimumSplitSize = 20480;

    // Splits totalSize into `count` segments of totalSize / count bytes, the
    // last one also taking the remainder (one segment for small files).
    void plan(std::int64_t totalSize, int count);
    // Takes up a file of which `done` is already there: those ranges stand
    // finished, and what is missing is split into about `count` free
    // segments (whole gaps where they are small). Returns the index of the
    // segment that starts at the first missing byte (-1 when nothing is
    // missing).
    int planRemaining(std::int64_t totalSize, const std::vector<ByteRange>& done, int count);
    // No segments: nothing planned yet.
    void clear();

    // For a new connection: the first free unfinished segment; else the busy
    // one with the largest remaining part, split in two when that part is at
    // least minRemainingToSplit (the upper half becomes the new segment).
    // The remaining part starts where the owner's stream has reached, so
    // bytes it holds unstored are not fetched twice. -1 when neither can be
    // had.
    int claimForNewConnection(int owner, std::int64_t minRemainingToSplit);

    // For a connection that has nothing left to do: the busy segment whose
    // owner needs the longest to finish it at the rate it has managed since
    // taking it, split in two when its remaining part is at least
    // minRemainingToSplit and would take at least minSecondsLeft (an owner
    // that has received nothing for a while counts as never finishing).
    // Owners that took their segment less than settleTime ago are not
    // judged yet: a new request may take that long to bring its first byte. -1 when no segment qualifies.
    static constexpr auto settleTime = std::chrono::seconds(1);
    int claimSplitOfSlowest(int owner, std::int64_t minRemainingToSplit, double minSecondsLeft,
                            std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

    // Whether a busy segment of another connection has at least `bytes`
    // left.
    bool othersHaveAtLeast(int owner, std::int64_t bytes) const;

    // The first free unfinished segment, or -1.
    int claimFree(int owner);

    // Takes the given segment, finished or not (the first connection's own).
    void claim(int index, int owner);

    // An unfinished segment starting exactly at `position` that nobody has
    // written to yet (free, or owned by another connection that has written
    // nothing, unless a split gave it to that connection on purpose): a
    // connection whose stream has reached `position` carries on with it
    // instead of opening a new request. Its previous owner finds out when it
    // next tries to store bytes. -1 when there is none.
    int claimContinuation(int owner, std::int64_t position);
    // Whether the segment starting at `position` was split off for another
    // connection whose request has not brought a byte of it yet: a server
    // may still refuse that request, and then only a stream already going
    // through `position` can finish the file.
    bool splitOffAwaitsFirstByte(std::int64_t position) const;

    // The owner's stream has reached `position` (bytes received, perhaps not
    // stored yet).
    void noteReached(int index, int owner, std::int64_t position);

    // Records that up to `count` bytes are written at the segment's
    // position: as many as still fit, since a split may have shortened the
    // segment meanwhile. position is -1 when the connection no longer owns
    // the segment (then nothing is recorded and nothing may be written).
    struct Stored {
        std::int64_t position = -1;
        std::int64_t count = 0;
    };
    Stored commit(int index, int owner, std::int64_t count);

    // Where the run of unfinished segments that holds `index` ends: at the
    // next finished one (a request need not ask past it), or -1 when the
    // run reaches the end of the file.
    std::int64_t stretchEnd(int index) const;

    // The owner's write up to file position `upTo` has completed.
    void noteWritten(int index, std::int64_t upTo);
    // The ranges whose bytes are in the file (writes completed), joined.
    std::vector<ByteRange> writtenRanges() const;
    // Segments not finished yet.
    int unfinishedCount() const;

    void release(int index, int owner);
    bool owns(int index, int owner) const;

    Segment get(int index) const;
    int size() const;
    bool allFinished() const;
    std::int64_t doneTotal() const;

private:
    // With lock_ held:
    int claimFirstFree(int owner);
    static void take(Segment& s, int owner);
    std::int64_t remainingOf(const Segment& s) const;
    int split(int index, int owner);  // the upper half of index's remaining part, for owner

    mutable std::mutex lock_;
    std::vector<Segment> rows_;
};

}  // namespace zorvan
