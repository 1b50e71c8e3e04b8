#include "download/segment_table.h"

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
        rows_.push_back(s);
    }
}

int SegmentTable::claimFirstFree(int owner) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Segment& s = rows_[i];
        if (!s.busy && !s.finished()) {
            s.busy = true;
            s.owner = owner;
            return static_cast<int>(i);
        }
    }
    return -1;
}

int SegmentTable::claimForNewConnection(int owner, std::int64_t minRemainingToSplit) {
    std::lock_guard lock(lock_);
    if (const int free = claimFirstFree(owner); free >= 0) return free;
    int widest = -1;
    std::int64_t widestRemaining = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Segment& s = rows_[i];
        if (s.busy && s.length - s.done > widestRemaining) {
            widest = static_cast<int>(i);
            widestRemaining = s.length - s.done;
        }
    }
    if (widest < 0 || widestRemaining < minRemainingToSplit) return -1;
    const std::int64_t upper = widestRemaining / 2;
    Segment& old = rows_[static_cast<std::size_t>(widest)];
    old.length = old.done + (widestRemaining - upper);
    old.split = true;
    Segment fresh;
    fresh.start = old.end();
    fresh.length = upper;
    fresh.busy = true;
    fresh.owner = owner;
    if (rows_.size() == rows_.capacity()) rows_.reserve(rows_.capacity() * 2);
    rows_.push_back(fresh);
    return static_cast<int>(rows_.size() - 1);
}

int SegmentTable::claimFree(int owner) {
    std::lock_guard lock(lock_);
    return claimFirstFree(owner);
}

void SegmentTable::claim(int index, int owner) {
    std::lock_guard lock(lock_);
    Segment& s = rows_.at(static_cast<std::size_t>(index));
    s.busy = true;
    s.owner = owner;
}

int SegmentTable::claimContinuation(int owner, std::int64_t position) {
    std::lock_guard lock(lock_);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Segment& s = rows_[i];
        if (s.start == position && s.done == 0 && !s.finished() && s.owner != owner) {
            s.busy = true;
            s.owner = owner;
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::int64_t SegmentTable::commit(int index, int owner, std::int64_t count) {
    std::lock_guard lock(lock_);
    Segment& s = rows_.at(static_cast<std::size_t>(index));
    if (!s.busy || s.owner != owner || s.done + count > s.length) return -1;
    const std::int64_t position = s.position();
    s.done += count;
    return position;
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

std::vector<Segment> SegmentTable::snapshot() const {
    std::lock_guard lock(lock_);
    return rows_;
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
