#pragma once

#include "download/socket_io.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

struct ssl_ctx_st;
struct ssl_session_st;

namespace zorvan {

// How the TLS side of a connection is checked.
struct TlsOptions {
    std::string caFile;       // a further trusted CA (PEM), beside the system's store
    bool verifyPeer = true;   // false: any certificate for any name is taken
};

// How a handshake ended.
enum class TlsHandshake {
    Done,
    Stopped,
    TimedOut,
    Dropped,           // the connection broke or closed: worth another try
    Untrusted,         // the certificate does not lead to a trusted CA
    NameMismatch,      // the certificate is for another host
    Expired,           // the certificate is past (or before) its validity
    Failed,            // no common protocol or cipher, or the server does not speak TLS
};

struct TlsHandshakeResult {
    TlsHandshake outcome = TlsHandshake::Failed;
    std::string detail;  // the protocol and cipher, or why it failed (ASCII)
};

// TLS 1.2 and 1.3 for the engine's connections, on OpenSSL: one context
// with its trust store, and the last session of every host, so further
// connections to it resume instead of paying a full handshake. Shared by
// the connections of a task (and by several tasks when a caller gives one
// to each); safe to use from several threads.
class TlsClient {
public:
    // The system's trust store (SSL_CERT_FILE and SSL_CERT_DIR honoured)
    // plus options.caFile. Nothing, with `error` set, when the context
    // cannot be made or the CA file cannot be read.
    static std::shared_ptr<TlsClient> create(const TlsOptions& options, std::string* error = nullptr);
    ~TlsClient();
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;

    // Starts TLS on the connected socket (which owns the session from then
    // on) for `host` (its name for SNI and the certificate check; a dotted
    // address is checked as an address), within timeoutMs.
    TlsHandshakeResult handshake(Socket& socket, const std::string& host, int port, int timeoutMs,
                                 const StopCheck& stop);

    // Keeps the socket's session for the next handshake with host:port. Call
    // once an answer has come: TLS 1.3 gives its tickets after the handshake.
    void remember(const Socket& socket, const std::string& host, int port);

private:
    explicit TlsClient(ssl_ctx_st* context) : context_(context) {}

    ssl_ctx_st* context_;
    std::mutex lock_;
    std::map<std::string, ssl_session_st*> sessions_;  // "host:port" -> owned session
};

}  // namespace zorvan
