#pragma once

#include "download/http_request.h"

#include <mutex>
#include <string>

namespace zorvan {

// How the body of the first answer ends: at its length, with its last
// chunk, or when the server closes the connection.
enum class BodyKind { Sized, Chunked, UntilClose };

// What the first answer told of the file, and where it came from. Written
// by the first connection before the others exist (and by redirections),
// read by all afterwards, under `lock`.
struct FirstAnswer {
    mutable std::mutex lock;
    RequestFields request;       // after redirections: what every request asks
    std::string serverIp;        // the server or proxy actually connected to
    int serverPort = 0;
    std::string serverFileName;  // from Content-Disposition
    BodyKind bodyKind = BodyKind::Sized;
    std::string etag;            // what the first answer identified the file by
    std::string lastModified;

    BodyKind body() const {
        std::lock_guard hold(lock);
        return bodyKind;
    }
};

}  // namespace zorvan
