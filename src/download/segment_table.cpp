#include "download/segment_table.h"

#include <algorithm>

namespace zorvan {

void SegmentTable::plan(std::int64_t totalSize, int count) {
    std::lock_guard lock(lock_);
    if (count < 1 || totalSize < minimumSplitSize) count = 1;
    rows_.clear();
    rows_.reserve(static_cast<std::size_t>((count + 9) / 10 * 10));
    const std::int64_t each = totalSize / count;
    for (int i = 0; i < count; ++i) {
        Segment s;
        s.start = each * i;
        s.length = each + (i == count - 1 ? totalSize % count : 0);
        s.reached = s.start;
        s.claimedFrom = s.start;
        rows_.push_back(s);
    }
}

int SegmentTable::planRemaining(std::int64_t totalSize, const std::vector<ByteRange>& done, int count) {
    std::lock_guard lock(lock_);
    rows_.clear();
    const std::vector<ByteRange> missing = missingRanges(done, totalSize);
    std::int64_t missingBytes = 0;
    for (const ByteRange& gap : missing) missingBytes += gap.length();
    if (count < 1 || missingBytes < minimumSplitSize) count = 1;
    const std::int64_t each = (missingBytes + count - 1) / count;
    for (const ByteRange& r : joinRanges(done)) {
        if (r.begin >= totalSize) break;
        Segment s;
        s.start = r.begin;
        s.length = std::min(r.end, totalSize) - r.begin;
        s.done = s.written = s.length;
        rows_.push_back(s);
    }
    for (const ByteRange& gap : missing) {
        // Gaps larger than a share are cut into about as many shares.
        const std::int64_t pieces = std::max<std::int64_t>(1, (gap.length() + each / 2) / std::max<std::int64_t>(each, 1));
        const std::int64_t piece = gap.length() / pieces;
        for (std::int64_t i = 0; i < pieces; ++i) {
            Segment s;
            s.start = gap.begin + piece * i;
            s.length = i == pieces - 1 ? gap.end - s.start : piece;
            s.reached = s.claimedFrom = s.start;
            rows_.push_back(s);
        }
    }
    std::sort(rows_.begin(), rows_.end(), [](const Segment& a, const Segment& b) { return a.start < b.start; });
    rows_.reserve((rows_.size() + 9) / 10 * 10);
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (!rows_[i].finished()) return static_cast<int>(i);
    return -1;
}

void SegmentTable::clear() {
    std::lock_guard lock(lock_);
    rows_.clear();
}

int SegmentTable::claimFirstFree(int owner) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Segment& s = rows_[i];
        if (!s.busy && !s.finished()) {
            take(s, owner);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void SegmentTable::take(Segment& s, int owner) {
    s.busy = true;
    s.owner = owner;
    s.reached = s.position();
    s.claimedAt = std::chrono::steady_clock::now();
    s.claimedFrom = s.position();
}

// Measured from where the owner's stream has reached, so bytes it holds
// unstored are not fetched twice.
std::int64_t SegmentTable::remainingOf(const Segment& s) const { return s.end() - s.streamPosition(); }

int SegmentTable::split(int index, int owner) {
    Segment& old = rows_[static_cast<std::size_t>(index)];
    const std::int64_t upper = remainingOf(old) / 2;
    old.length -= upper;
    Segment fresh;
    fresh.start = old.end();
    fresh.length = upper;
    fresh.splitOff = true;
    take(fresh, owner);
    if (rows_.size() == rows_.capacity()) rows_.reserve(rows_.capacity() * 2);
    rows_.push_back(fresh);
    return static_cast<int>(rows_.size() - 1);
}

int SegmentTable::claimForNewConnection(int owner, std::int64_t minRemainingToSplit) {
    std::lock_guard lock(lock_);
    if (const int free = claimFirstFree(owner); free >= 0) return free;
    int widest = -1;
    std::int64_t widestRemaining = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Segment& s = rows_[i];
        if (s.busy && remainingOf(s) > widestRemaining) {
            widest = static_cast<int>(i);
            widestRemaining = remainingOf(s);
        }
    }
    if (widest < 0 || widestRemaining < minRemainingToSplit) return -1;
    return split(widest, owner);
}

int SegmentTable::claimSplitOfSlowest(int owner, std::int64_t minRemainingToSplit, double minSecondsLeft,
                                      std::chrono::steady_clock::time_point now) {
    std::lock_guard lock(lock_);
    int slowest = -1;
    double longest = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Segment& s = rows_[i];
        const std::int64_t remaining = remainingOf(s);
        if (!s.busy || s.owner == owner || remaining < minRemainingToSplit || now - s.claimedAt < settleTime) continue;
        const double elapsed = std::chrono::duration<double>(now - s.claimedAt).count();
        const double rate = static_cast<double>(s.streamPosition() - s.claimedFrom) / elapsed;
        const double secondsLeft = rate > 0 ? static_cast<double>(remaining) / rate : 1e300;
        if (secondsLeft >= minSecondsLeft && secondsLeft > longest) {
            slowest = static_cast<int>(i);
            longest = secondsLeft;
        }
    }
    return slowest < 0 ? -1 : split(slowest, owner);
}

bool SegmentTable::othersHaveAtLeast(int owner, std::int64_t bytes) const {
    std::lock_guard lock(lock_);
    for (const Segment& s : rows_)
        if (s.busy && s.owner != owner && remainingOf(s) >= bytes) return true;
    return false;
}

int SegmentTable::claimFree(int owner) {
    std::lock_guard lock(lock_);
    return claimFirstFree(owner);
}

void SegmentTable::claim(int index, int owner) {
    std::lock_guard lock(lock_);
    take(rows_.at(static_cast<std::size_t>(index)), owner);
}

int SegmentTable::claimContinuation(int owner, std::int64_t position) {
    std::lock_guard lock(lock_);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Segment& s = rows_[i];
        if (s.start == position && s.done == 0 && !s.finished() && s.owner != owner && !(s.busy && s.splitOff)) {
            take(s, owner);
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool SegmentTable::splitOffAwaitsFirstByte(std::int64_t position) const {
    std::lock_guard lock(lock_);
    for (const Segment& s : rows_)
        if (s.start == position && s.busy && s.splitOff && s.done == 0 && s.reached == s.start) return true;
    return false;
}

void SegmentTable::noteReached(int index, int owner, std::int64_t position) {
    std::lock_guard lock(lock_);
    Segment& s = rows_.at(static_cast<std::size_t>(index));
    if (s.busy && s.owner == owner) s.reached = position;
}

SegmentTable::Stored SegmentTable::commit(int index, int owner, std::int64_t count) {
    std::lock_guard lock(lock_);
    Segment& s = rows_.at(static_cast<std::size_t>(index));
    if (!s.busy || s.owner != owner) return {};
    const Stored stored{s.position(), std::min(count, s.length - s.done)};
    s.done += stored.count;
    return stored;
}

std::int64_t SegmentTable::stretchEnd(int index) const {
    std::lock_guard lock(lock_);
    std::int64_t end = rows_.at(static_cast<std::size_t>(index)).end();
    for (bool found = true; found;) {
        found = false;
        for (const Segment& s : rows_) {
            if (s.start != end || s.length == 0) continue;
            if (s.finished()) return end;
            end = s.end();
            found = true;
            break;
        }
    }
    return -1;  // nothing finished follows: the end of the file
}

void SegmentTable::noteWritten(int index, std::int64_t upTo) {
    std::lock_guard lock(lock_);
    Segment& s = rows_.at(static_cast<std::size_t>(index));
    s.written = std::clamp(upTo - s.start, s.written, s.done);
}

std::vector<ByteRange> SegmentTable::writtenRanges() const {
    std::lock_guard lock(lock_);
    std::vector<ByteRange> ranges;
    for (const Segment& s : rows_)
        if (s.written > 0) ranges.push_back({s.start, s.start + s.written});
    return joinRanges(std::move(ranges));
}

int SegmentTable::unfinishedCount() const {
    std::lock_guard lock(lock_);
    return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Segment& s) { return !s.finished(); }));
}

void SegmentTable::release(int index, int owner) {
    std::lock_guard lock(lock_);
    Segment& s = rows_.at(static_cast<std::size_t>(index));
    if (s.owner == owner) s.busy = false;
}

bool SegmentTable::owns(int index, int owner) const {
    std::lock_guard lock(lock_);
    const Segment& s = rows_.at(static_cast<std::size_t>(index));
    return s.busy && s.owner == owner;
}

Segment SegmentTable::get(int index) const {
    std::lock_guard lock(lock_);
    return rows_.at(static_cast<std::size_t>(index));
}

int SegmentTable::size() const {
    std::lock_guard lock(lock_);
    return static_cast<int>(rows_.size());
}

bool SegmentTable::allFinished() const {
    std::lock_guard lock(lock_);
    for (const Segment& s : rows_)
        if (!s.finished()) return false;
    return !rows_.empty();
}

std::int64_t SegmentTable::doneTotal() const {
    std::lock_guard lock(lock_);
    std::int64_t total = 0;
    for (const Segment& s : rows_) total += s.done;
    return total;
}

}  // namespace zorvan
