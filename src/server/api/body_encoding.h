#pragma once
// How an answer's body goes out: gzip when the client takes it and it pays,
// else as it is. The HTTP library would otherwise pick Brotli at its
// slowest setting for any text a browser asks for (4.6 s for the 3.3 MB of a
// 10,000-work queue, against 20 ms for gzip).
#include <string>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace zorvan {

// Hands the response's body to the library as a finished, sized stream,
// compressed with gzip where that is worth it.
void sendBody(const httplib::Request& request, httplib::Response& response);

// Whether an Accept-Encoding value takes gzip (not "gzip;q=0").
bool takesGzip(const std::string& acceptEncoding);

}  // namespace zorvan
