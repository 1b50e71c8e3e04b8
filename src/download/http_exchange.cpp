#include "download/http_exchange.h"

#include "download/connection_pool.h"
#include "download/error_text.h"
#include "download/task.h"
#include "download/tls_client.h"

#include <algorithm>
#include <cctype>

namespace zorvan {

namespace {

// The proxy text split at its last ":"; port 80 when none is given.
std::pair<std::string, int> splitProxy(const std::string& proxy) {
    const auto colon = proxy.rfind(':');
    if (colon == std::string::npos || proxy.back() == ']') return {hostName(proxy), 80};
    const int port = std::atoi(proxy.c_str() + colon + 1);
    return {hostName(proxy), port > 0 && port <= 65535 ? port : 80};
}

bool isRedirection(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Answers that say "not now" rather than "no".
bool isTransient(int status) {
    return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

// The longest wait a Retry-After may ask for.
constexpr int longestRetryAfterMs = 60000;

// "Range: bytes=P-" or, up to an end, "Range: bytes=P-Q".
std::string rangeLine(std::int64_t position, std::int64_t end) {
    return "Range: bytes=" + std::to_string(position) + "-" + (end > position ? std::to_string(end - 1) : "") + "\r\n";
}

// The request as the log shows it: a user's credentials never reach a log.
std::string loggedRequest(const std::string& request) {
    std::string shown = request;
    for (std::size_t at = 0; (at = shown.find("\r\n", at)) != std::string::npos; at += 2) {
        constexpr std::string_view name = "\r\nauthorization:";
        if (shown.size() - at < name.size()) break;
        bool named = true;
        for (std::size_t i = 0; i < name.size() && named; ++i)
            named = std::tolower(static_cast<unsigned char>(shown[at + i])) == name[i];
        if (!named) continue;
        const std::size_t end = shown.find("\r\n", at + 2);
        shown.replace(at + name.size(), end - at - name.size(), " (hidden)");
    }
    return shown;
}

}  // namespace

std::string rangeValidator(const std::string& etag, const std::string& lastModified) {
    if (!etag.empty() && etag.rfind("W/", 0) != 0) return etag;
    return lastModified;
}

HttpExchange::HttpExchange(Task& task, int connection, StopCheck stop)
    : task_(task), connection_(connection), stop_(std::move(stop)) {}

void HttpExchange::log(int level, const std::string& message) { task_.log(connection_, level, message); }

void HttpExchange::cause(CauseKind kind, std::string detail, int status, int systemError) {
    task_.noteCause({kind, status, systemError, std::move(detail)});
}

OpenResult HttpExchange::connectTo(const std::string& host, int port, bool viaProxy, bool resolve) {
    std::string ip = host;
    if (resolve && !isIpAddress(host)) {
        log(logLevel::note, viaProxy ? gbkFormat("正在代理服务器解析域名 [%s]", host.c_str())
                                     : gbkFormat("正在解析域名 [%s]", host.c_str()));
        const auto resolved = resolveHost(host);
        if (!resolved) {
            log(logLevel::error, viaProxy ? gbkFormat("解析代理服务器域名 [%s]出错", host.c_str())
                                          : gbkFormat("解析域名 [%s]出错", host.c_str()));
            cause(CauseKind::NameLookup, host);
            return OpenResult::Retry;
        }
        ip = *resolved;
    }
    log(logLevel::note, viaProxy ? gbkFormat("正在连接代理服务器 [%s:%d]", ip.c_str(), port)
                                 : gbkFormat("正在连接 [%s:%d]", ip.c_str(), port));
    const std::string where = ip + ":" + std::to_string(port);
    const ConnectResult connected = connectWithLimit(socket_, ip, port, task_.params.connectTimeout, stop_);
    const int why = errno;
    switch (connected) {
        case ConnectResult::Connected:
            log(logLevel::note, resolve ? gbkFormat("连接 [%s:%d]成功", ip.c_str(), port)
                                        : gbkFormat("连接[%s:%d]成功", ip.c_str(), port));
            if (resolve) {
                std::lock_guard lock(task_.answer.lock);
                task_.answer.serverIp = ip;
                task_.answer.serverPort = port;
            }
            return OpenResult::Accepted;
        case ConnectResult::TimedOut:
            log(logLevel::error, gbkFormat("连接 [%s:%d]超时", ip.c_str(), port));
            cause(CauseKind::Timeout, "connecting to " + where);
            return OpenResult::Retry;
        case ConnectResult::Failed:
            log(logLevel::error, gbkFormat("连接 [%s:%d]失败", ip.c_str(), port));
            cause(CauseKind::Connect, where, 0, why);
            return OpenResult::Retry;
        case ConnectResult::Stopped:
            break;
    }
    return OpenResult::Retry;
}

// A connection to the server, or to the proxy, ready for the request: the
// first request resolves the name and keeps the address it reached for the
// ranged ones, which connect there directly.
OpenResult HttpExchange::reach(const RequestFields& fields, bool first) {
    keepable_ = false;
    if (takeKept(fields, first)) return OpenResult::Accepted;
    const bool viaProxy = !fields.proxy.empty();
    std::pair<std::string, int> server;
    if (!first) {
        std::lock_guard lock(task_.answer.lock);
        server = {task_.answer.serverIp, task_.answer.serverPort};
    } else {
        server = viaProxy ? splitProxy(fields.proxy)
                          : std::pair<std::string, int>{hostName(fields.address.host), fields.address.port};
    }
    const auto connecting = std::chrono::steady_clock::now();
    if (const OpenResult r = connectTo(server.first, server.second, viaProxy, first); r != OpenResult::Accepted) return r;
    if (first && onLongRoundTrip_ &&
        std::chrono::steady_clock::now() - connecting >= std::chrono::milliseconds(task_.settings.longRoundTripMs))
        onLongRoundTrip_();
    if (fields.address.scheme != Scheme::Https) return OpenResult::Accepted;
    if (viaProxy)
        if (const OpenResult r = tunnel(fields); r != OpenResult::Accepted) return r;
    return secure(fields);
}

// Asks the proxy for a plain byte stream to the server (RFC 9110 9.3.6),
// which TLS then runs through end to end.
OpenResult HttpExchange::tunnel(const RequestFields& fields) {
    const std::string name = hostName(fields.address.host);
    const std::string authority = (name.find(':') != std::string::npos ? "[" + name + "]" : name) + ":" +
                                  std::to_string(fields.address.port);
    const std::string ask = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority +
                            "\r\nUser-Agent: " + engineUserAgent + "\r\nProxy-Connection: Keep-Alive\r\n\r\n";
    ResponseHeader header;
    std::string early;
    if (const OpenResult r = sendAndReadHeader(ask, header, early); r != OpenResult::Accepted) return r;
    if (header.status >= 200 && header.status < 300 && early.empty()) return OpenResult::Accepted;
    if (isTransient(header.status)) return retryLater(header);
    log(logLevel::error, gbkFormat("代理服务器拒绝建立到 [%s] 的隧道, 返回号[%d]", authority.c_str(), header.status));
    cause(CauseKind::HttpStatus, "proxy", header.status);
    return OpenResult::Refused;
}

// The TLS handshake with the address's host. A certificate that fails its
// check or a server that cannot agree on TLS refuses the download with its
// own outcome; a broken, stalled or stopped handshake may be tried again.
OpenResult HttpExchange::secure(const RequestFields& fields) {
    const std::string host = hostName(fields.address.host);
    const std::shared_ptr<TlsClient> tls = task_.tlsClient();
    if (!tls) {
        log(logLevel::error, gbkFormat("无法初始化TLS"));
        cause(CauseKind::Tls, "TLS could not be set up");
        task_.noteFailure(TaskOutcome::TlsHandshakeFailed);
        return OpenResult::Refused;
    }
    const TlsHandshakeResult h =
        tls->handshake(socket_, host, fields.address.port, task_.params.connectTimeout, stop_);
    const char* detail = h.detail.c_str();
    TaskOutcome outcome = TaskOutcome::TlsHandshakeFailed;
    switch (h.outcome) {
        case TlsHandshake::Done:
            log(logLevel::note, gbkFormat("与 [%s] 的TLS安全连接已建立 (%s)", host.c_str(), detail));
            return OpenResult::Accepted;
        case TlsHandshake::Stopped:
            return OpenResult::Retry;
        case TlsHandshake::TimedOut:
            log(logLevel::error, gbkFormat("与 [%s] 的TLS握手超时", host.c_str()));
            cause(CauseKind::Timeout, "the TLS handshake with " + host);
            return OpenResult::Retry;
        case TlsHandshake::Dropped:
            log(logLevel::error, gbkFormat("与 [%s] 的TLS握手中断: %s", host.c_str(), detail));
            cause(CauseKind::Dropped, "the TLS handshake broke off: " + h.detail);
            return OpenResult::Retry;
        case TlsHandshake::Untrusted:
            log(logLevel::error, gbkFormat("[%s] 的证书不受信任: %s", host.c_str(), detail));
            outcome = TaskOutcome::CertificateUntrusted;
            break;
        case TlsHandshake::NameMismatch:
            log(logLevel::error, gbkFormat("证书与主机名 [%s] 不符: %s", host.c_str(), detail));
            outcome = TaskOutcome::CertificateNameMismatch;
            break;
        case TlsHandshake::Expired:
            log(logLevel::error, gbkFormat("[%s] 的证书已过期或尚未生效: %s", host.c_str(), detail));
            outcome = TaskOutcome::CertificateExpired;
            break;
        case TlsHandshake::Failed:
            log(logLevel::error, gbkFormat("与 [%s] 的TLS握手失败: %s", host.c_str(), detail));
            break;
    }
    cause(CauseKind::Tls, h.detail);
    task_.noteFailure(outcome);
    return OpenResult::Refused;
}

// Sends the request over the reached connection and reads the answer's
// header; over TLS the session is kept for the next connections.
OpenResult HttpExchange::request(const RequestFields& fields, const std::string& request, ResponseHeader& header,
                                 std::string& body) {
    const OpenResult r = sendAndReadHeader(request, header, body);
    // Only a sized body ends where the next answer would begin.
    const bool sized = !header.chunked && !header.codingUnsupported &&
                       (header.contentLength >= 0 || (header.status == 206 && header.contentRangeEnd >= 0));
    keepable_ = r == OpenResult::Accepted && fields.keepAlive && http11_ && sized &&
                (header.status == 200 || header.status == 206) && header.connection.find("close") == std::string::npos;
    if (r == OpenResult::Accepted && fields.address.scheme == Scheme::Https)
        if (const auto tls = task_.tlsClient()) tls->remember(socket_, hostName(fields.address.host), fields.address.port);
    return r;
}

OpenResult HttpExchange::sendAndReadHeader(const std::string& request, ResponseHeader& header, std::string& body) {
    log(logLevel::sent, loggedRequest(request));
    if (sendWithLimit(socket_, request, task_.params.sendTimeout, stop_) != 0) {
        log(logLevel::error, gbkFormat("发送请求失败"));
        cause(CauseKind::Dropped, "the request could not be sent");
        return OpenResult::Retry;
    }
    std::string data;
    char chunk[4096];
    for (;;) {
        if (const auto span = findHeader(data)) {
            if (span->end - span->begin > maxHeaderBlockBytes) break;
            const std::string_view block = std::string_view(data).substr(span->begin, span->end - span->begin);
            log(logLevel::received, std::string(block));
            const auto canonical = canonicalHeader(block);
            if (!canonical) return notHttp();
            http11_ = canonical->rfind("HTTP/1.1", 0) == 0;
            header = parseResponseHeader(*canonical);
            // An interim answer (RFC 9110 15.2) comes before the real one.
            if (header.status >= 100 && header.status < 200 && header.status != 101) {
                data.erase(0, span->end);
                continue;
            }
            body = data.substr(span->end);
            return OpenResult::Accepted;
        }
        if (endsWithoutStatusLine(data)) return notHttp();
        // A header end that has not come within the limit never will.
        if (data.size() > maxHeaderBlockBytes + 16) break;
        const ReceiveResult r =
            receiveSome(socket_, chunk, sizeof chunk, sizeof chunk, task_.params.receiveTimeout, true, stop_);
        data.append(chunk, r.received);
        // Bytes enough for a status line and none there, then the end: not
        // an answer. Nothing at all is a dropped connection, tried again.
        if (r.code == socketError::closedByServer && data.size() >= 8 && !holdsStatusLine(data))
            return notHttp();
        if (r.code < 0) {
            log(logLevel::error, errorText(r.code));
            task_.noteCause(causeOfSocketError(r.code));
            return OpenResult::Retry;
        }
        if (r.received == 0) {  // stopped
            log(logLevel::error, errorText(socketError::receiveFailed));
            return OpenResult::Retry;
        }
    }
    log(logLevel::error, gbkFormat("HTTP返回头部信息过长"));
    cause(CauseKind::BadReply, "the answer's header is too long");
    return OpenResult::Refused;
}

OpenResult HttpExchange::notHttp() {
    log(logLevel::error, gbkFormat("服务器的回应不是有效的 HTTP/1.x 回应"));
    cause(CauseKind::BadReply, "the answer is not HTTP/1.x");
    return OpenResult::Refused;
}

OpenResult HttpExchange::openFirst(std::string& body) {
    bodyEnd_ = -1;
    retryAfterMs_ = 0;
    usedWarmSocket_ = false;
    for (int redirects = 0;; ++redirects) {
        ResponseHeader header;
        if (const OpenResult r = requestFirst(header, body); r != OpenResult::Accepted) return r;
        if (isRedirection(header.status)) {
            if (const OpenResult r = followRedirection(header, redirects); r != OpenResult::Accepted) return r;
            socket_.close();
            continue;
        }
        if (task_.resumption) {
            switch (judgeContinuation(header)) {
                case Continuation::Continues: return acceptContinuation(header);
                case Continuation::AskAgain: socket_.close(); continue;
                case Continuation::WholeFile: break;  // taken as a new download's first answer
                case Continuation::NoAnswer: break;   // refused or not now, as for any first request
            }
        }
        return acceptFirstAnswer(header);
    }
}

// The GET of the task's current address, to its server or the proxy: a
// plain one, or when a part file is taken up, one for the bytes it misses,
// on condition (If-Range) that the file is still the version it holds.
OpenResult HttpExchange::requestFirst(ResponseHeader& header, std::string& body) {
    RequestFields fields;
    {
        std::lock_guard lock(task_.answer.lock);
        fields = task_.answer.request;
    }
    std::string lines;
    if (const Resumption* part = task_.resumption.get()) {
        lines = rangeLine(part->from, part->until);
        const std::string validator = rangeValidator(part->record.etag, part->record.lastModified);
        if (!validator.empty()) lines += "If-Range: " + validator + "\r\n";
    }
    const auto text = buildRequest(fields, lines, true);
    if (!text) {
        log(logLevel::error, gbkFormat("请求过长"));
        return OpenResult::Refused;
    }
    if (const OpenResult r = reach(fields, true); r != OpenResult::Accepted) return r;
    return request(fields, *text, header, body);
}

OpenResult HttpExchange::acceptFirstAnswer(const ResponseHeader& header) {
    if (isTransient(header.status)) return retryLater(header);
    if (header.status != 200 && header.status != 206) return refuse(header.status);
    if (header.codingUnsupported) return unsupportedCoding();
    if (header.lengthInvalid) {
        log(logLevel::error, gbkFormat("服务器给出的文件长度无效"));
        cause(CauseKind::BadReply, "the answer names an invalid length");
        return OpenResult::Refused;
    }
    std::int64_t total = -1;
    BodyKind kind = BodyKind::Sized;
    if (header.status == 206) {
        // A part given to a request for the whole: only its Content-Range
        // says how large the file is, and it must be the file's start.
        if (header.contentRangeStart > 0) return refuse(header.status);
        if (header.contentRangeStart == 0) total = header.contentRangeTotal;
        if (header.contentRangeEnd >= 0) bodyEnd_ = header.contentRangeEnd + 1;
        if (total >= 0) bodyEnd_ = bodyEnd_ < 0 ? total : std::min(bodyEnd_, total);
    } else if (header.chunked) {
        kind = BodyKind::Chunked;
    } else if (header.contentLength >= 0) {
        total = header.contentLength;
        bodyEnd_ = total;
    } else {
        kind = BodyKind::UntilClose;
    }
    task_.totalSize = total;
    std::lock_guard lock(task_.answer.lock);
    task_.answer.serverFileName = header.fileName;
    task_.answer.bodyKind = kind;
    task_.answer.etag = header.etag;
    task_.answer.lastModified = header.lastModified;
    return OpenResult::Accepted;
}

// Whether the answer to the request for the held bytes' missing ones
// continues them. An answer that shows another version of the file, or no
// parts at all, drops them with the reason.
HttpExchange::Continuation HttpExchange::judgeContinuation(const ResponseHeader& header) {
    Resumption& part = *task_.resumption;
    if (part.finalFile) return judgeFinalFile(header);
    const auto differs = [&](const std::string& ours, const std::string& theirs) {
        return !ours.empty() && !theirs.empty() && ours != theirs;
    };
    const bool otherVersion = differs(part.record.etag, header.etag) || differs(part.record.lastModified, header.lastModified);
    if (header.status == 206 && !header.chunked && !header.codingUnsupported) {
        if (otherVersion || header.contentRangeTotal != part.record.size) {
            dropContinuation(StartOverReason::FileChanged);
            return Continuation::AskAgain;
        }
        if (header.contentRangeStart != part.from || (header.contentRangeEnd >= 0 && header.contentRangeEnd < part.from)) {
            dropContinuation(StartOverReason::NoRanges);
            return Continuation::AskAgain;
        }
        return Continuation::Continues;
    }
    if (header.status == 200) {
        // The whole file: the server ignores ranges, or If-Range found it changed.
        const bool otherSize = !header.chunked && header.contentLength >= 0 && header.contentLength != part.record.size;
        dropContinuation(otherVersion || otherSize ? StartOverReason::FileChanged : StartOverReason::NoRanges);
        return Continuation::WholeFile;
    }
    if (header.status == 416) {  // the file no longer reaches the bytes asked for
        dropContinuation(StartOverReason::FileChanged);
        return Continuation::AskAgain;
    }
    return Continuation::NoAnswer;
}

// The same for a file under the final name: it may be this file only when
// the server's is at least as large, and only parts can show it is.
HttpExchange::Continuation HttpExchange::judgeFinalFile(const ResponseHeader& header) {
    Resumption& part = *task_.resumption;
    if (header.status == 206 && !header.chunked && !header.codingUnsupported) {
        if (header.contentRangeTotal < part.heldBytes() || header.contentRangeStart != part.from ||
            (header.contentRangeEnd >= 0 && header.contentRangeEnd < part.from)) {
            dropContinuation(header.contentRangeTotal < 0 || header.contentRangeStart != part.from
                                 ? StartOverReason::NotChecked
                                 : StartOverReason::NotThisFile);
            return Continuation::AskAgain;
        }
        part.record.size = header.contentRangeTotal;
        return Continuation::Continues;
    }
    if (header.status == 200) {
        dropContinuation(StartOverReason::NotChecked);
        return Continuation::WholeFile;
    }
    if (header.status == 416) {  // the server's file is shorter than what is held
        dropContinuation(StartOverReason::NotThisFile);
        return Continuation::AskAgain;
    }
    return Continuation::NoAnswer;
}

void HttpExchange::dropContinuation(StartOverReason reason) { task_.dropResumption(connection_, reason); }

OpenResult HttpExchange::acceptContinuation(const ResponseHeader& header) {
    Resumption& part = *task_.resumption;
    const std::int64_t total = part.record.size;
    bodyEnd_ = header.contentRangeEnd >= 0 ? std::min(header.contentRangeEnd + 1, total)
               : header.contentLength >= 0 ? std::min(part.from + header.contentLength, total)
                                           : total;
    part.accepted = true;
    task_.totalSize = total;
    std::lock_guard lock(task_.answer.lock);
    task_.answer.serverFileName = header.fileName;
    task_.answer.bodyKind = BodyKind::Sized;
    // What the further connections' If-Range names: the version continued.
    task_.answer.etag = header.etag.empty() ? part.record.etag : header.etag;
    task_.answer.lastModified = header.lastModified.empty() ? part.record.lastModified : header.lastModified;
    return OpenResult::Accepted;
}

// Points the task's request at the redirection's target; Accepted when the
// next request may go there.
OpenResult HttpExchange::followRedirection(const ResponseHeader& header, int redirectsSoFar) {
    if (header.location.empty()) {
        log(logLevel::error, gbkFormat("获得重定向信息错误"));
        cause(CauseKind::BadReply, "a redirection without a target");
        return OpenResult::Refused;
    }
    log(logLevel::error, gbkFormat("重定向到 [%s]", header.location.c_str()));
    if (redirectsSoFar >= task_.settings.redirectLimit) {
        log(logLevel::error, gbkFormat("重定向次数过多"));
        cause(CauseKind::BadReply, "too many redirections");
        return OpenResult::Refused;
    }
    std::lock_guard lock(task_.answer.lock);
    if (!followRedirect(task_.answer.request, header.location, header.setCookie)) {
        log(logLevel::error, gbkFormat("COOKIE过长或获得重定向信息错误或不支持的协议"));
        cause(CauseKind::BadReply, "a redirection that cannot be followed");
        return OpenResult::Refused;
    }
    return OpenResult::Accepted;
}

OpenResult HttpExchange::refuse(int status) {
    cause(CauseKind::HttpStatus, {}, status);
    if (status == 400 || status == 403 || status == 404)
        log(logLevel::error, gbkFormat("出现错误"));
    else
        log(logLevel::error, gbkFormat("暂时不支持的返回, 返回号[%d]", status));
    return OpenResult::Refused;
}

OpenResult HttpExchange::retryLater(const ResponseHeader& header) {
    log(logLevel::error, gbkFormat("服务器暂时无法提供文件, 返回号[%d]", header.status));
    cause(CauseKind::HttpStatus, {}, header.status);
    if (header.retryAfterSeconds >= 0)
        retryAfterMs_ = static_cast<int>(std::min<std::int64_t>(header.retryAfterSeconds * 1000LL, longestRetryAfterMs));
    return OpenResult::Retry;
}

OpenResult HttpExchange::unsupportedCoding() {
    log(logLevel::error, gbkFormat("服务器使用了不支持的传输编码"));
    cause(CauseKind::BadReply, "a transfer coding that cannot be undone");
    return OpenResult::Refused;
}

OpenResult HttpExchange::changed() {
    log(logLevel::error, gbkFormat("文件在下载过程中被服务器更改"));
    cause(CauseKind::BadReply, "the file changed on the server");
    return OpenResult::Changed;
}

std::string HttpExchange::serverOf(const RequestFields& fields) {
    return std::string(fields.address.scheme == Scheme::Https ? "https://" : "http://") + fields.address.host + " " +
           fields.proxy;
}

// A connection an earlier answer left to the same server, when the task
// keeps them: no handshake at all.
bool HttpExchange::takeKept(const RequestFields& fields, bool first) {
    const auto& pool = task_.params.connectionPool;
    if (!pool) return false;
    std::optional<ConnectionPool::Kept> kept = pool->take(serverOf(fields));
    if (!kept) return false;
    socket_ = std::move(kept->socket);
    usedWarmSocket_ = true;
    log(logLevel::note, gbkFormat("使用保持的连接 [%s:%d]", kept->serverIp.c_str(), kept->serverPort));
    if (first) {
        std::lock_guard lock(task_.answer.lock);
        task_.answer.serverIp = kept->serverIp;
        task_.answer.serverPort = kept->serverPort;
    }
    return true;
}

void HttpExchange::keepOrClose() {
    const auto& pool = task_.params.connectionPool;
    if (!pool || !keepable_ || !socket_.isOpen()) {
        socket_.close();
        return;
    }
    keepable_ = false;
    RequestFields fields;
    ConnectionPool::Kept kept;
    {
        std::lock_guard lock(task_.answer.lock);
        fields = task_.answer.request;
        kept.serverIp = task_.answer.serverIp;
        kept.serverPort = task_.answer.serverPort;
    }
    kept.socket = std::move(socket_);
    pool->put(serverOf(fields), std::move(kept));
}

std::string HttpExchange::targetOf(const RequestFields& fields) {
    std::lock_guard lock(task_.answer.lock);
    return fields.address.host + " " + fields.proxy + " " + task_.answer.serverIp + ":" + std::to_string(task_.answer.serverPort);
}

bool HttpExchange::preOpen() {
    RequestFields fields;
    {
        std::lock_guard lock(task_.answer.lock);
        fields = task_.answer.request;
    }
    if (reach(fields, false) != OpenResult::Accepted) {
        socket_.close();
        return false;
    }
    earlyTarget_ = targetOf(fields);
    return true;
}

OpenResult HttpExchange::openRange(std::int64_t position, std::string& body, std::int64_t end) {
    bodyEnd_ = -1;
    retryAfterMs_ = 0;
    RequestFields fields;
    std::string validator;
    {
        std::lock_guard lock(task_.answer.lock);
        fields = task_.answer.request;
        validator = rangeValidator(task_.answer.etag, task_.answer.lastModified);
    }
    // A socket opened early serves while it leads where requests go now
    // (a redirection may have sent them elsewhere).
    usedWarmSocket_ = socket_.isOpen() && !earlyTarget_.empty() && earlyTarget_ == targetOf(fields);
    earlyTarget_.clear();
    if (!usedWarmSocket_) socket_.close();
    std::string lines = rangeLine(position, end);
    if (!validator.empty()) lines += "If-Range: " + validator + "\r\n";
    // The cookie of a redirection belongs to the redirected request only.
    const auto text = buildRequest(fields, lines, false);
    if (!text) {
        log(logLevel::error, gbkFormat("请求过长"));
        return OpenResult::Refused;
    }
    if (!usedWarmSocket_)
        if (const OpenResult r = reach(fields, false); r != OpenResult::Accepted) return r;
    ResponseHeader header;
    if (const OpenResult r = request(fields, *text, header, body); r != OpenResult::Accepted) return r;
    return checkRangeAnswer(header, position);
}

OpenResult HttpExchange::checkRangeAnswer(const ResponseHeader& header, std::int64_t position) {
    if (isTransient(header.status)) return retryLater(header);
    // A coded part cannot be stored at its place as it comes.
    if ((header.status == 200 || header.status == 206) && (header.chunked || header.codingUnsupported))
        return unsupportedCoding();
    const std::int64_t total = task_.totalSize.load();
    switch (header.status) {
        case 200:
            // With If-Range a changed file comes back whole; without it a
            // server that ignores ranges sends the same file whole.
            if (differsFromFirst(header, header.contentLength)) return changed();
            // The whole file: right only when the range asked for it all.
            if (position != 0 || header.contentLength != total) break;
            bodyEnd_ = total;
            return OpenResult::Accepted;
        case 206:
            if (differsFromFirst(header, header.contentRangeTotal)) return changed();
            // A part that does not start where we asked would land at the wrong place.
            if (header.contentRangeStart != position) break;
            if (header.contentRangeEnd >= 0)
                bodyEnd_ = std::min(header.contentRangeEnd + 1, total);
            else if (header.contentLength >= 0)
                bodyEnd_ = std::min(position + header.contentLength, total);
            // A part without a byte would be asked for again at once, for ever.
            if (bodyEnd_ >= 0 && bodyEnd_ <= position) break;
            return OpenResult::Accepted;
        case 416:
            if (header.contentRangeTotal >= 0 && header.contentRangeTotal != total) return changed();
            return refuse(header.status);
        default:
            return refuse(header.status);
    }
    log(logLevel::error, gbkFormat("出现错误"));
    cause(CauseKind::BadReply, "a part that does not fit what was asked for");
    return OpenResult::Refused;
}

// Whether an answer names another size, entity tag or date than the first
// answer did (what either leaves out proves nothing).
bool HttpExchange::differsFromFirst(const ResponseHeader& header, std::int64_t size) {
    if (size >= 0 && size != task_.totalSize.load()) return true;
    std::lock_guard lock(task_.answer.lock);
    if (!header.etag.empty() && !task_.answer.etag.empty()) return header.etag != task_.answer.etag;
    return !header.lastModified.empty() && !task_.answer.lastModified.empty() && header.lastModified != task_.answer.lastModified;
}

}  // namespace zorvan
