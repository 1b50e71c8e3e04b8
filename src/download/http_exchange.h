#pragma once

#include "download/failure_cause.h"
#include "download/response_header.h"
#include "download/http_request.h"
#include "download/socket_io.h"
#include "download/task_param.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace zorvan {

struct Task;

// What If-Range may carry: a strong entity tag, else the date; empty when
// neither identifies the file.
std::string rangeValidator(const std::string& etag, const std::string& lastModified);

// How an attempt to open a transfer ended.
enum class OpenResult {
    Accepted,  // the body follows
    Refused,   // the server's answer was understood and refuses: no retry
    Retry,     // resolving, connecting, sending or receiving failed, or the server is busy: may retry
    Changed,   // the file on the server is no longer the one the download began with
};

// What one connection of a task does on the wire: resolve and connect with
// its limits (through a proxy's tunnel and TLS for https), send the GET
// (plain or ranged), read and check the answer, follow redirections. Every step is logged through the task.
class HttpExchange {
public:
    HttpExchange(Task& task, int connection, StopCheck stop);

    // The first request: a plain GET, following redirections. On success
    // the task knows its total size (or that the server named none), how
    // the body ends and what identifies the file, and `body` holds the body
    // bytes that came with the header.
    OpenResult openFirst(std::string& body);

    // A ranged GET from `position` to `end` (exclusive; -1: the end of the
    // file), to the server the first request reached, on condition
    // (If-Range) that the file is still the first answer's. Accepted only
    // when the answer starts at `position`.
    OpenResult openRange(std::int64_t position, std::string& body, std::int64_t end = -1);

    // Connects (through the proxy's tunnel and TLS for https) to the server
    // the first request reached, before there is anything to ask it: the
    // next openRange sends its request on this socket when it still leads
    // there. False when it could not (openRange then connects as ever).
    bool preOpen();
    // Whether the last request went out on a socket opened early or kept
    // from an earlier answer (which a server may have closed meanwhile:
    // asking again at once is no retry).
    bool usedWarmSocket() const { return usedWarmSocket_; }
    // The answer's body was read to its end: the connection goes back to
    // the task's pool when the answer allowed it, else it is closed.
    void keepOrClose();
    // Bytes past the answer's body were read: the connection cannot serve
    // another request.
    void spend() { keepable_ = false; }
    // Told when the first request meets a long round trip: its connection
    // took long to be made (the time the further connections can spend
    // connecting while its answer is under way).
    void setOnLongRoundTrip(std::function<void()> procedure) { onLongRoundTrip_ = std::move(procedure); }

    // The file position just past the last body byte the open answer
    // carries; -1 when the body ends only with the stream.
    std::int64_t bodyEnd() const { return bodyEnd_; }
    // How long the server asked to wait before the next attempt (ms; 0: it
    // did not say).
    int retryAfterMs() const { return retryAfterMs_; }

    Socket& socket() { return socket_; }
    void close() { socket_.close(); }

private:
    OpenResult reach(const RequestFields& fields, bool first);
    std::string targetOf(const RequestFields& fields);
    static std::string serverOf(const RequestFields& fields);
    bool takeKept(const RequestFields& fields, bool first);
    OpenResult connectTo(const std::string& host, int port, bool viaProxy, bool resolve);
    OpenResult tunnel(const RequestFields& fields);
    OpenResult secure(const RequestFields& fields);
    OpenResult request(const RequestFields& fields, const std::string& request, ResponseHeader& header,
                       std::string& body);
    OpenResult sendAndReadHeader(const std::string& request, ResponseHeader& header, std::string& body);
    OpenResult requestFirst(ResponseHeader& header, std::string& body);
    OpenResult acceptFirstAnswer(const ResponseHeader& header);
    // Taking up a part file.
    enum class Continuation { Continues, AskAgain, WholeFile, NoAnswer };
    Continuation judgeContinuation(const ResponseHeader& header);
    Continuation judgeFinalFile(const ResponseHeader& header);
    void dropContinuation(StartOverReason reason);
    OpenResult acceptContinuation(const ResponseHeader& header);
    OpenResult followRedirection(const ResponseHeader& header, int redirectsSoFar);
    OpenResult checkRangeAnswer(const ResponseHeader& header, std::int64_t position);
    bool differsFromFirst(const ResponseHeader& header, std::int64_t size);
    OpenResult refuse(int status);
    OpenResult retryLater(const ResponseHeader& header);
    OpenResult notHttp();
    OpenResult unsupportedCoding();
    OpenResult changed();
    void log(int level, const std::string& message);
    void cause(CauseKind kind, std::string detail = {}, int status = 0, int systemError = 0);

    Task& task_;
    int connection_;
    StopCheck stop_;
    Socket socket_;
    std::int64_t bodyEnd_ = -1;
    int retryAfterMs_ = 0;
    std::string earlyTarget_;  // where the socket opened early leads (host, address, port); empty: none
    bool usedWarmSocket_ = false;
    bool keepable_ = false;  // the open answer leaves its connection fit for another request
    bool http11_ = false;    // the last answer's version
    std::function<void()> onLongRoundTrip_;
};

}  // namespace zorvan
