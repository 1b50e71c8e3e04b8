#pragma once

#include "media_files/poster_worker.h"

#include <memory>
#include <string>

namespace zorvan {

// A poster worker whose notes live in the library at `dbPath`: why a video
// gave no poster is kept there, and a work only brought up to date is not
// decoded again while its note holds. Each is a short connection of the
// worker's own thread, never the owner's; a note that cannot be kept or
// read only costs a try later.
std::unique_ptr<PosterWorker> posterWorkerNotingIn(const std::string& dbPath);

}  // namespace zorvan
