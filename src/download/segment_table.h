#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace zorvan {

// One byte range of the file and who works on it.
struct Segment {
    bool busy = false;         // a connection owns it
    bool split = false;        // its upper part was given to another segment
    int owner = 0;             // the owning connection's number
    std::int64_t start = 0;
    std::int64_t length = 0;
    std::int64_t done = 0;     // bytes already in the file, from start on

    bool finished() const { return done >= length; }
    std::int64_t end() const { return start + length; }
    std::int64_t position() const { return start + done; }
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

    // For a new connection: the first free unfinished segment; else the busy
    // one with the largest remaining part, split in two when that part is at
    // least minRemainingToSplit (the upper half becomes the new segment).
    // -1 when neither can be had.
    int claimForNewConnection(int owner, std::int64_t minRemainingToSplit);

    // The first free unfinished segment, or -1.
    int claimFree(int owner);

    // Takes the given segment, finished or not (the first connection's own).
    void claim(int index, int owner);

    // An unfinished segment starting exactly at `position` that nobody has
    // written to yet (free, or owned by another connection that has written
    // nothing): a connection whose stream has reached `position` carries on
    // with it instead of opening a new request. Its previous owner finds out
    // when it next tries to store bytes. -1 when there is none.
    int claimContinuation(int owner, std::int64_t position);

    // Records that `count` bytes were written at the segment's position and
    // returns where they go; -1 when the connection no longer owns the
    // segment (then nothing is recorded and nothing may be written).
    std::int64_t commit(int index, int owner, std::int64_t count);

    void release(int index, int owner);
    bool owns(int index, int owner) const;

    Segment get(int index) const;
    std::vector<Segment> snapshot() const;
    int size() const;
    bool allFinished() const;
    std::int64_t doneTotal() const;

private:
    int claimFirstFree(int owner);  // with lock_ held

    mutable std::mutex lock_;
    std::vector<Segment> rows_;
};

}  // namespace zorvan
