#include "download/http_exchange.h"

#include "download/error_text.h"
#include "download/task.h"

#include <algorithm>

namespace zorvan {

namespace {

// The proxy text split at its last ":"; port 80 when none is given.
std::pair<std::string, int> splitProxy(const std::string& proxy) {
    const auto colon = proxy.rfind(':');
    if (colon == std::string::npos) return {proxy, 80};
    const int port = std::atoi(proxy.c_str() + colon + 1);
    return {proxy.substr(0, colon), port > 0 && port <= 65535 ? port : 80};
}

// The host text without its ":port".
std::string hostName(const std::string& hostText) { return hostText.substr(0, hostText.find(':')); }

bool isRedirection(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

HttpExchange::HttpExchange(Task& task, int connection, StopCheck stop)
    : task_(task), connection_(connection), stop_(std::move(stop)) {}

void HttpExchange::log(int level, const std::string& message) { task_.log(connection_, level, message); }

OpenResult HttpExchange::connectTo(const std::string& host, int port, bool viaProxy, bool resolve) {
    std::string ip = host;
    if (resolve && !isDottedIPv4(host)) {
        log(logLevel::note, viaProxy ? gbkFormat("正在代理服务器解析域名 [%s]", host.c_str())
                                     : gbkFormat("正在解析域名 [%s]", host.c_str()));
        const auto resolved = resolveIPv4(host);
        if (!resolved) {
            log(logLevel::error, viaProxy ? gbkFormat("解析代理服务器域名 [%s]出错", host.c_str())
                                          : gbkFormat("解析域名 [%s]出错", host.c_str()));
            return OpenResult::Retry;
        }
        ip = *resolved;
    }
    log(logLevel::note, viaProxy ? gbkFormat("正在连接代理服务器 [%s:%d]", ip.c_str(), port)
                                 : gbkFormat("正在连接 [%s:%d]", ip.c_str(), port));
    switch (connectWithLimit(socket_, ip, port, task_.params.connectTimeout, stop_)) {
        case ConnectResult::Connected:
            log(logLevel::note, resolve ? gbkFormat("连接 [%s:%d]成功", ip.c_str(), port)
                                        : gbkFormat("连接[%s:%d]成功", ip.c_str(), port));
            if (resolve) {
                std::lock_guard lock(task_.requestLock);
                task_.serverIp = ip;
                task_.serverPort = port;
            }
            return OpenResult::Accepted;
        case ConnectResult::TimedOut:
            log(logLevel::error, gbkFormat("连接 [%s:%d]超时", ip.c_str(), port));
            return OpenResult::Retry;
        case ConnectResult::Failed:
            log(logLevel::error, gbkFormat("连接 [%s:%d]失败", ip.c_str(), port));
            return OpenResult::Retry;
        case ConnectResult::Stopped:
            break;
    }
    return OpenResult::Retry;
}

OpenResult HttpExchange::sendAndReadHeader(const std::string& request, ResponseHeader& header, std::string& body) {
    log(logLevel::sent, request);
    if (sendWithLimit(socket_, request, task_.params.sendTimeout, stop_) != 0) {
        log(logLevel::error, gbkFormat("发送请求失败"));
        return OpenResult::Retry;
    }
    std::string data;
    char chunk[4096];
    for (;;) {
        if (const auto span = findHeader(data)) {
            if (span->end - span->begin > maxResponseHeaderBytes) break;
            const std::string text = data.substr(span->begin, span->end - span->begin);
            log(logLevel::received, text);
            header = parseResponseHeader(text);
            body = data.substr(span->end);
            return OpenResult::Accepted;
        }
        // A header end that has not come within the limit never will.
        if (data.size() > maxResponseHeaderBytes + 16) break;
        const ReceiveResult r =
            receiveSome(socket_, chunk, sizeof chunk, sizeof chunk, task_.params.receiveTimeout, true, stop_);
        data.append(chunk, r.received);
        if (r.code < 0) {
            log(logLevel::error, errorText(r.code));
            return OpenResult::Retry;
        }
        if (r.received == 0) {  // stopped
            log(logLevel::error, errorText(socketError::receiveFailed));
            return OpenResult::Retry;
        }
    }
    log(logLevel::error, gbkFormat("HTTP返回头部信息过长"));
    return OpenResult::Refused;
}

OpenResult HttpExchange::openFirst(std::string& body) {
    for (int redirects = 0;; ++redirects) {
        ResponseHeader header;
        if (const OpenResult r = requestFirst(header, body); r != OpenResult::Accepted) return r;
        if (!isRedirection(header.status)) return acceptFirstAnswer(header);
        if (const OpenResult r = followRedirection(header, redirects); r != OpenResult::Accepted) return r;
        socket_.close();
    }
}

// The plain GET of the task's current address, to its server or the proxy.
OpenResult HttpExchange::requestFirst(ResponseHeader& header, std::string& body) {
    RequestFields fields;
    {
        std::lock_guard lock(task_.requestLock);
        fields = task_.request;
    }
    const bool viaProxy = !fields.proxy.empty();
    const auto [host, port] = viaProxy ? splitProxy(fields.proxy)
                                       : std::pair<std::string, int>{hostName(fields.address.host), fields.address.port};
    const auto request = buildRequest(fields, std::string(), true);
    if (!request) {
        log(logLevel::error, gbkFormat("请求过长"));
        return OpenResult::Refused;
    }
    if (const OpenResult r = connectTo(host, port, viaProxy, true); r != OpenResult::Accepted) return r;
    return sendAndReadHeader(*request, header, body);
}

OpenResult HttpExchange::acceptFirstAnswer(const ResponseHeader& header) {
    if (header.status != 200 && header.status != 206) return refuse(header.status);
    task_.totalSize = header.contentLength;
    std::lock_guard lock(task_.requestLock);
    task_.serverFileName = header.fileName;
    return OpenResult::Accepted;
}

// Points the task's request at the redirection's target; Accepted when the
// next request may go there.
OpenResult HttpExchange::followRedirection(const ResponseHeader& header, int redirectsSoFar) {
    if (header.location.empty()) {
        log(logLevel::error, gbkFormat("获得重定向信息错误"));
        return OpenResult::Refused;
    }
    log(logLevel::error, gbkFormat("重定向到 [%s]", header.location.c_str()));
    if (redirectsSoFar >= task_.settings.redirectLimit) {
        log(logLevel::error, gbkFormat("重定向次数过多"));
        return OpenResult::Refused;
    }
    std::lock_guard lock(task_.requestLock);
    if (!followRedirect(task_.request, header.location, header.setCookie)) {
        log(logLevel::error, gbkFormat("COOKIE过长或获得重定向信息错误或不支持的协议"));
        return OpenResult::Refused;
    }
    return OpenResult::Accepted;
}

OpenResult HttpExchange::refuse(int status) {
    if (status == 400 || status == 403 || status == 404)
        log(logLevel::error, gbkFormat("出现错误"));
    else
        log(logLevel::error, gbkFormat("暂时不支持的返回, 返回号[%d]", status));
    return OpenResult::Refused;
}

OpenResult HttpExchange::openRange(std::int64_t position, std::string& body) {
    RequestFields fields;
    std::string ip;
    int port;
    {
        std::lock_guard lock(task_.requestLock);
        fields = task_.request;
        ip = task_.serverIp;
        port = task_.serverPort;
    }
    // The cookie of a redirection belongs to the redirected request only.
    const auto request =
        buildRequest(fields, "Range: bytes=" + std::to_string(position) + "-\r\n", false);
    if (!request) {
        log(logLevel::error, gbkFormat("请求过长"));
        return OpenResult::Refused;
    }
    if (const OpenResult r = connectTo(ip, port, !fields.proxy.empty(), false); r != OpenResult::Accepted) return r;
    ResponseHeader header;
    if (const OpenResult r = sendAndReadHeader(*request, header, body); r != OpenResult::Accepted) return r;

    const std::int64_t total = task_.totalSize.load();
    if (header.status == 200) {
        // The whole file: right only when the range asked for it all.
        if (position == 0 && header.contentLength == total) return OpenResult::Accepted;
        log(logLevel::error, gbkFormat("出现错误"));
        return OpenResult::Refused;
    }
    if (header.status == 206) {
        // A part that does not start where we asked would land at the wrong place.
        if (header.contentRangeStart != position) {
            log(logLevel::error, gbkFormat("出现错误"));
            return OpenResult::Refused;
        }
        return OpenResult::Accepted;
    }
    return refuse(header.status);
}

}  // namespace zorvan
