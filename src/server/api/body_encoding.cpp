#include "server/api/body_encoding.h"

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

namespace zorvan {

namespace {

constexpr std::size_t smallestWorthIt = 1024;  // below this, gzip's own frame eats the gain

bool compressible(const std::string& type) {
    return type.rfind("text/", 0) == 0 || type.rfind("application/json", 0) == 0 ||
           type.rfind("application/javascript", 0) == 0;
}

std::optional<std::string> gzipped(const std::string& body) {
    z_stream stream{};
    if (deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return std::nullopt;
    std::string out(deflateBound(&stream, body.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
    stream.avail_in = static_cast<uInt>(body.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) return std::nullopt;
    return out;
}

}  // namespace

bool takesGzip(const std::string& acceptEncoding) {
    std::size_t at = 0;
    while ((at = acceptEncoding.find("gzip", at)) != std::string::npos) {
        std::size_t end = acceptEncoding.find(',', at);
        std::string item = acceptEncoding.substr(at, end == std::string::npos ? std::string::npos : end - at);
        item.erase(std::remove(item.begin(), item.end(), ' '), item.end());
        if (item == "gzip" || (item.rfind("gzip;q=", 0) == 0 && std::strtod(item.c_str() + 7, nullptr) > 0))
            return true;
        at += 4;
    }
    return false;
}

void sendBody(const httplib::Request& request, httplib::Response& response) {
    if (response.body.empty()) return;
    auto body = std::make_shared<std::string>(std::move(response.body));
    response.body.clear();
    const std::string type = response.get_header_value("Content-Type");
    if (body->size() >= smallestWorthIt && compressible(type) && takesGzip(request.get_header_value("Accept-Encoding"))) {
        if (std::optional<std::string> packed = gzipped(*body)) {
            *body = std::move(*packed);
            response.set_header("Content-Encoding", "gzip");
        }
    }
    if (compressible(type)) response.set_header("Vary", "Accept-Encoding");
    // A sized stream is sent as it is: the library compresses only bodies.
    response.set_content_provider(body->size(), type, [body](std::size_t offset, std::size_t length,
                                                             httplib::DataSink& sink) {
        return sink.write(body->data() + offset, length);
    });
}

}  // namespace zorvan
