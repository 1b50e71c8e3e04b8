#pragma once

#include "server/api/api_routes.h"

#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace zorvan {

// The HTTP side of the server: a maintained server library's listener and
// threads, every request taken through the door to its route, every
// refusal answered as JSON.
class HttpFront {
public:
    // Over TLS when a certificate and its key are given.
    HttpFront(ServerParts& parts, const std::string& certFile, const std::string& keyFile);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // False with `error` when the certificate could not be loaded.
    bool ready(std::string& error) const;
    // Binds the address (port 0: any free one); the port, or -1.
    int bind(const std::string& host, int port);
    // Answers requests until stop().
    void run();
    void stop();

private:
    void answer(const httplib::Request& request, httplib::Response& response);
    void route(const httplib::Request& request, httplib::Response& response);
    // True when the request was for the web page (answered, or refused by a throw).
    bool page(const httplib::Request& request, httplib::Response& response);
    // "GET, DELETE": what a path takes, for a 405's Allow header.
    std::string allowedMethods(const std::string& path) const;

    ServerParts& parts_;
    ApiRoutes routes_;
    std::unique_ptr<httplib::Server> server_;
};

}  // namespace zorvan
