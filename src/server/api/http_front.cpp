#include "server/api/http_front.h"

#include "server/api/body_encoding.h"
#include "server/api/door.h"

#include "download_policy/failure_report.h"
#include "server/page/page_files.h"

#include <httplib.h>

namespace zorvan {

namespace {

constexpr int threads = 48;  // event streams hold one each (ServerParts::mostStreams)

// The page may load only its own files and talk only to this server.
const char* pagePolicy =
    "default-src 'self'; img-src 'self' data:; media-src 'self'; object-src 'none'; base-uri 'none'; "
    "form-action 'self'; frame-ancestors 'none'";

}  // namespace

HttpFront::HttpFront(ServerParts& parts, const std::string& certFile, const std::string& keyFile)
    : parts_(parts), routes_(apiRoutes(&parts)) {
    if (!certFile.empty()) server_ = std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str());
    else server_ = std::make_unique<httplib::Server>();
    server_->new_task_queue = [] { return new httplib::ThreadPool(threads); };
    server_->set_keep_alive_max_count(1000);
    server_->set_payload_max_length(8 << 20);
    server_->set_default_headers({{"X-Content-Type-Options", "nosniff"},
                                  {"Referrer-Policy", "no-referrer"},
                                  {"X-Frame-Options", "DENY"}});
    const auto answer = [this](const httplib::Request& request, httplib::Response& response) {
        this->answer(request, response);
    };
    for (auto method : {&httplib::Server::Get, &httplib::Server::Post, &httplib::Server::Put,
                        &httplib::Server::Delete, &httplib::Server::Patch, &httplib::Server::Options})
        (server_.get()->*method)(".*", answer);
    // What the library refuses by itself (a body too large, a broken
    // request) is said as JSON too; an answer of ours keeps its own cause
    // (its body is already a stream by then, see sendBody).
    server_->set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty() && !response.content_provider_)
            writeError(response, response.status, statusText(response.status));
    });
}

HttpFront::~HttpFront() = default;

bool HttpFront::ready(std::string& error) const {
    if (server_->is_valid()) return true;
    error = "the TLS certificate or its key cannot be loaded";
    return false;
}

int HttpFront::bind(const std::string& host, int port) {
    if (port == 0) return server_->bind_to_any_port(host);
    return server_->bind_to_port(host, port) ? port : -1;
}

void HttpFront::run() { server_->listen_after_bind(); }

void HttpFront::stop() { server_->stop(); }

// The page: "/" is its index; its other files are under /page/. Each is
// checked again by its ETag, so a new build is never mixed with an old one.
bool HttpFront::page(const httplib::Request& request, httplib::Response& response) {
    const bool index = request.path == "/";
    if (!index && request.path.rfind("/page/", 0) != 0) return false;
    if (index && parts_.door.enterWithToken(request, response)) return true;
    parts_.door.admit(request, Access::Open);
    const PageFile* file = pageFile(index ? std::string_view("index.html") : std::string_view(request.path).substr(6));
    if (!file) refuse(404, "the page has no such file");
    response.set_header("ETag", file->etag);
    response.set_header("Cache-Control", "no-cache");
    if (index) response.set_header("Content-Security-Policy", pagePolicy);
    if (request.get_header_value("If-None-Match") == file->etag) {
        response.status = 304;
        return true;
    }
    response.set_content(file->body.data(), file->body.size(), file->type);
    return true;
}

std::string HttpFront::allowedMethods(const std::string& path) const {
    std::string methods;
    std::vector<std::string> params;
    for (const auto& route : routes_.routes()) {
        params.clear();
        if (!matchPattern(route.pattern, path, params)) continue;
        if (!methods.empty()) methods += ", ";
        methods += route.method;
    }
    return methods;
}

void HttpFront::answer(const httplib::Request& request, httplib::Response& response) {
    route(request, response);
    sendBody(request, response);
}

void HttpFront::route(const httplib::Request& request, httplib::Response& response) {
    try {
        if ((request.method == "GET" || request.method == "HEAD") && page(request, response)) return;
        const std::string method = request.method == "HEAD" ? "GET" : request.method;
        ApiRoutes::Match match = routes_.match(method, request.path);
        if (!match.route) {
            parts_.door.admit(request, Access::Open);  // the host first: nothing said to a stranger
            if (match.pathKnown) response.set_header("Allow", allowedMethods(request.path));
            refuse(match.pathKnown ? 405 : 404, match.pathKnown ? "this method is not taken here" : "no such route");
        }
        parts_.door.admit(request, match.route->access);
        Exchange exchange{request, response, std::move(match.params)};
        match.route->handler(exchange);
    } catch (const ApiError& error) {
        writeError(response, error.status, error.cause);
    } catch (const std::exception& error) {
        writeError(response, 500, std::string("the server failed: ") + error.what());
    }
}

}  // namespace zorvan
