#include "download/tls_client.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace zorvan {

namespace {

constexpr int sliceMs = 10;

// The newest OpenSSL error of this thread, as text.
std::string lastOpenSslError() {
    const unsigned long code = ERR_peek_last_error();
    if (code == 0) return "unknown error";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

TlsHandshakeResult certificateFault(long verifyResult) {
    const std::string detail = X509_verify_cert_error_string(verifyResult);
    switch (verifyResult) {
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return {TlsHandshake::NameMismatch, detail};
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return {TlsHandshake::Expired, detail};
        default:
            return {TlsHandshake::Untrusted, detail};
    }
}

// Why SSL_do_handshake failed: the certificate check, the connection, or
// the protocol.
TlsHandshakeResult handshakeFault(SSL* ssl, int error, int savedErrno) {
    if (error == SSL_ERROR_SYSCALL)
        return {TlsHandshake::Dropped, savedErrno != 0 ? std::strerror(savedErrno) : "connection closed"};
    if (const long verify = SSL_get_verify_result(ssl); verify != X509_V_OK && SSL_get_verify_mode(ssl) != SSL_VERIFY_NONE)
        return certificateFault(verify);
    if (ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING)
        return {TlsHandshake::Dropped, "connection closed"};
    return {TlsHandshake::Failed, lastOpenSslError()};
}

}  // namespace

std::shared_ptr<TlsClient> TlsClient::create(const TlsOptions& options, std::string* error) {
    auto fail = [&](const std::string& why) -> std::shared_ptr<TlsClient> {
        if (error) *error = why;
        return nullptr;
    };
    ERR_clear_error();
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (!context) return fail("cannot set up TLS: " + lastOpenSslError());
    std::shared_ptr<TlsClient> client(new TlsClient(context));
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, options.verifyPeer ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Only HTTP/1.1 is spoken on these connections; say so to servers that
    // would otherwise pick another protocol.
    static const unsigned char http11[] = {8, 'h', 't', 't', 'p', '/', '1', '.', '1'};
    SSL_CTX_set_alpn_protos(context, http11, sizeof http11);
    // Records are read many at a time: one receive call instead of two
    // (header, then body) per 16 KiB record.
    SSL_CTX_set_read_ahead(context, 1);
    SSL_CTX_set_default_read_buffer_len(context, 128 * 1024);
    SSL_CTX_set_default_verify_paths(context);
    if (!options.caFile.empty() && SSL_CTX_load_verify_locations(context, options.caFile.c_str(), nullptr) != 1)
        return fail("cannot read CA certificates from " + options.caFile + ": " + lastOpenSslError());
    ERR_clear_error();
    return client;
}

TlsClient::~TlsClient() {
    for (auto& [key, session] : sessions_) SSL_SESSION_free(session);
    SSL_CTX_free(context_);
}

TlsHandshakeResult TlsClient::handshake(Socket& socket, const std::string& host, int port, int timeoutMs,
                                        const StopCheck& stop) {
    ERR_clear_error();
    SSL* ssl = SSL_new(context_);
    if (!ssl) return {TlsHandshake::Failed, lastOpenSslError()};
    socket.attachTls(ssl);
    SSL_set_fd(ssl, socket.fd());
    if (isIpAddress(host)) {
        // An address is no server name (RFC 6066 3): checked, not announced.
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl, host.c_str());
        SSL_set1_host(ssl, host.c_str());
    }
    {
        // Every connection resumes from its own copy: a session in use is
        // changed by its connection's thread (new tickets replace it).
        std::lock_guard guard(lock_);
        if (const auto it = sessions_.find(host + ":" + std::to_string(port)); it != sessions_.end()) {
            SSL_SESSION* copy = SSL_SESSION_dup(it->second);
            if (copy) SSL_set_session(ssl, copy);
            SSL_SESSION_free(copy);
        }
    }
    SSL_set_connect_state(ssl);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        ERR_clear_error();
        errno = 0;
        const int result = SSL_do_handshake(ssl);
        const int savedErrno = errno;
        if (result == 1) {
            std::string detail = std::string(SSL_get_version(ssl)) + ", " + SSL_get_cipher_name(ssl);
            if (SSL_session_reused(ssl)) detail += ", resumed";
            return {TlsHandshake::Done, detail};
        }
        const int error = SSL_get_error(ssl, result);
        short wait = 0;
        if (error == SSL_ERROR_WANT_READ) wait = POLLIN;
        else if (error == SSL_ERROR_WANT_WRITE) wait = POLLOUT;
        else return handshakeFault(ssl, error, savedErrno);
        if (stop && stop()) return {TlsHandshake::Stopped, {}};
        if (std::chrono::steady_clock::now() >= deadline) return {TlsHandshake::TimedOut, {}};
        pollfd p{socket.fd(), wait, 0};
        if (::poll(&p, 1, sliceMs) < 0 && errno != EINTR) return {TlsHandshake::Dropped, std::strerror(errno)};
    }
}

void TlsClient::remember(const Socket& socket, const std::string& host, int port) {
    if (!socket.tls()) return;
    const SSL_SESSION* current = SSL_get0_session(socket.tls());
    if (!current || !SSL_SESSION_is_resumable(current)) return;
    // A copy of its own, so the cache shares nothing with a live connection.
    SSL_SESSION* copy = SSL_SESSION_dup(current);
    if (!copy) return;
    std::lock_guard guard(lock_);
    SSL_SESSION*& kept = sessions_[host + ":" + std::to_string(port)];
    if (kept) SSL_SESSION_free(kept);
    kept = copy;
}

}  // namespace zorvan
