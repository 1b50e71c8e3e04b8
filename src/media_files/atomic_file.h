#pragma once

#include <string>

namespace zorvan {

// Writes `bytes` to `path` through a temporary file beside it, renamed into
// place: a reader (a media server scanning the folder) sees the old file or
// the new one, never half of one. False with `error` on failure.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace zorvan
