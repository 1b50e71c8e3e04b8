#include "player/memory_movies.h"

#include <deque>
#include <mutex>

namespace zorvan {

namespace {
std::mutex queueLock;
std::deque<std::string> queue;
}  // namespace

void queueMemoryMovie(std::string bytes) {
    std::lock_guard lock(queueLock);
    queue.push_back(std::move(bytes));
}

std::optional<std::string> takeMemoryMovie() {
    std::lock_guard lock(queueLock);
    if (queue.empty()) return std::nullopt;
    std::string movie = std::move(queue.front());
    queue.pop_front();
    return movie;
}

std::optional<std::size_t> frontMemoryMovieSize() {
    std::lock_guard lock(queueLock);
    if (queue.empty()) return std::nullopt;
    return queue.front().size();
}

void clearMemoryMovies() {
    std::lock_guard lock(queueLock);
    queue.clear();
}

}  // namespace zorvan
