#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace zorvan {

// Movies held in memory until the media host opens them: appended by
// LoadMovieFromMemory, taken from the front by the hooked open. Any thread.
void queueMemoryMovie(std::string bytes);
std::optional<std::string> takeMemoryMovie();
// The size of the movie at the front, or nothing when the queue is empty.
std::optional<std::size_t> frontMemoryMovieSize();
void clearMemoryMovies();

}  // namespace zorvan
