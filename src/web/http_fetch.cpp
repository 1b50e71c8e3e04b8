#include "web/http_fetch.h"

#include "text/find_text.h"
#include "text/percent_coding.h"
#include "text/split_text.h"
#include "text/trim_spaces.h"
#include "web/cookies.h"
#include "web/default_headers.h"
#include "web/text_markers.h"
#include "web/url_parts.h"

#include <curl/curl.h>

#include <atomic>
#include <memory>

namespace zorvan {

namespace {

std::atomic<long> connectTimeoutMs{HttpFetchLimits{}.connectTimeoutMs};
std::atomic<long> stallTimeoutS{HttpFetchLimits{}.stallTimeoutS};
std::atomic<std::size_t> maxBodyBytes{HttpFetchLimits{}.maxBodyBytes};

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

void append(HeaderList& list, const std::string& line) {
    list.reset(curl_slist_append(list.release(), line.c_str()));
}

// The server is given exactly the path as the caller wrote it; only bytes
// a request line cannot carry are escaped.
std::string escapedPath(const std::string& path) {
    return percentEncode(path, [](unsigned char byte) { return byte > 0x20 && byte < 0x7F; });
}

// What one transfer brings back.
struct Exchange {
    Bytes body;
    std::string headers;  // the last response's raw header block
    std::size_t maxBody = 0;
    bool bodyTooLarge = false;
};

size_t collectBody(char* data, size_t size, size_t count, void* exchange) {
    auto& e = *static_cast<Exchange*>(exchange);
    if (e.body.size() + size * count > e.maxBody) {
        e.bodyTooLarge = true;
        return 0;  // ends the transfer
    }
    e.body.append(data, size * count);
    return size * count;
}

// Keeps the header block of the last response only: a redirect or an
// interim "100 Continue" starts a new block with its status line.
size_t collectHeaders(char* data, size_t size, size_t count, void* headers) {
    auto& block = *static_cast<std::string*>(headers);
    const std::string_view line(data, size * count);
    if (line.substr(0, 5) == "HTTP/") block.clear();
    if (block.size() < maxResponseHeaderBytes)
        block.append(line.substr(0, maxResponseHeaderBytes - block.size()));
    return size * count;
}

struct HeaderScan {
    std::string location;
    std::string newCookies;
};

HeaderScan scanResponseHeaders(const std::string& responseHeaders) {
    HeaderScan scan;
    for (const std::string& line : splitText(responseHeaders, "\r\n")) {
        if (findText(line, "Location:") != -1) scan.location = textAfterColon(line);
        if (findText(line, "Set-Cookie") != -1)
            scan.newCookies += trimSpaces(textBetween(line, "Set-Cookie:", ";")) + "; ";
    }
    if (scan.newCookies.size() >= 2) scan.newCookies.resize(scan.newCookies.size() - 2);
    if (scan.location.empty()) scan.location = responseHeaders;
    return scan;
}

// The address as the client is given it: scheme, host, port and the path
// as written.
std::string requestUrl(const std::string& address, bool https) {
    return std::string(https ? "https" : "http") + "://" + urlHost(address) + ":" + std::to_string(urlPort(address)) +
           escapedPath(urlPath(address));
}

// Exactly the caller's header lines, an agent when they name none, and
// nothing the client would add of its own beyond Host and Content-Length.
HeaderList headerLines(const std::string& headerText, bool viaProxy) {
    HeaderList list;
    if (!namesAgent(headerText)) append(list, std::string("User-Agent: ") + defaultUserAgent);
    for (const std::string& line : splitText(headerText, "\r\n"))
        if (!line.empty()) append(list, line);
    append(list, "Expect:");
    if (viaProxy) append(list, "Proxy-Connection:");
    return list;
}

// The body bytes, else the body text (which then becomes the bytes).
Bytes bodyToSend(const std::optional<std::string>& postText, Bytes* postBytes) {
    if (postBytes && !postBytes->empty()) return *postBytes;
    Bytes body = postText.value_or(std::string());
    if (postBytes) *postBytes = body;
    return body;
}

void setTransferOptions(CURL* h, const std::string& url, curl_slist* headers, const std::string& proxy,
                        bool followRedirects, Exchange& exchange) {
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());  // "": direct, whatever the environment says
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, followRedirects ? 1L : 0L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs.load());
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stallTimeoutS.load());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collectBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &exchange);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, collectHeaders);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &exchange.headers);
}

// A POST, or for any other verb but GET itself a GET that carries the body.
void setBody(CURL* h, const Bytes& body, int verb) {
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
    if (verb != 1) curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, "GET");
}

}  // namespace

void setHttpFetchLimits(HttpFetchLimits limits) {
    connectTimeoutMs = limits.connectTimeoutMs;
    stallTimeoutS = limits.stallTimeoutS;
    maxBodyBytes = limits.maxBodyBytes;
}

HttpFetchLimits httpFetchLimits() { return {connectTimeoutMs.load(), stallTimeoutS.load(), maxBodyBytes.load()}; }

Bytes httpFetch(const std::string& address, std::optional<int> method, std::optional<std::string> postText,
                std::string* cookies, std::string* newCookies, std::string* headers, std::string* location,
                std::optional<bool> noRedirect, Bytes* postBytes, std::optional<std::string> proxy,
                std::string* responseHeaders) {
    const int verb = method.value_or(0);
    const std::string cookieText = cookies ? *cookies : std::string();
    Easy easy(curl_easy_init());
    if (!easy) return {};

    const bool https = isHttpsAddress(address);
    const bool viaProxy = proxy && !proxy->empty() && !https;
    const std::string headerText = withDefaultHeaders(headers ? *headers : std::string(), address, cookieText);
    const HeaderList list = headerLines(headerText, viaProxy);
    Bytes sentBody;
    if (verb != 0) sentBody = bodyToSend(postText, postBytes);

    Exchange exchange;
    exchange.maxBody = maxBodyBytes.load();
    setTransferOptions(easy.get(), requestUrl(address, https), list.get(), viaProxy ? "http://" + *proxy : "",
                       !noRedirect.value_or(false), exchange);
    if (verb != 0) setBody(easy.get(), sentBody, verb);
    // A failed transfer shows as a short or empty body, like any other.
    curl_easy_perform(easy.get());

    HeaderScan scan = scanResponseHeaders(exchange.headers);
    std::string merged = cookieText;
    mergeCookies(merged, scan.newCookies);
    if (headers) *headers = headerText;
    if (responseHeaders) *responseHeaders = exchange.headers;
    if (location) *location = scan.location;
    if (newCookies) *newCookies = scan.newCookies;
    if (cookies) *cookies = merged;
    if (exchange.bodyTooLarge) return {};
    return std::move(exchange.body);
}

std::string httpFetchText(const std::string& address, std::optional<int> method,
                          std::optional<std::string> postText, std::string* cookies, std::string* newCookies,
                          std::string* headers, std::string* location, std::optional<bool> noRedirect,
                          Bytes* postBytes, std::optional<std::string> proxy, std::string* responseHeaders) {
    std::string cookiesHere, newCookiesHere, headersHere, locationHere, responseHeadersHere;
    Bytes postBytesHere;
    const Bytes body = httpFetch(address, method.value_or(0), postText.value_or(std::string()),
                                 cookies ? cookies : &cookiesHere, newCookies ? newCookies : &newCookiesHere,
                                 headers ? headers : &headersHere, location ? location : &locationHere,
                                 noRedirect.value_or(false), postBytes ? postBytes : &postBytesHere,
                                 proxy.value_or(std::string()),
                                 responseHeaders ? responseHeaders : &responseHeadersHere);
    return body.substr(0, body.find('\0'));
}

}  // namespace zorvan
