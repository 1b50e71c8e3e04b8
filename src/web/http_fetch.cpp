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

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <memory>
#include <utility>

namespace zorvan {

namespace {

std::atomic<long> connectTimeoutMs{HttpFetchLimits{}.connectTimeoutMs};
std::atomic<long> stallTimeoutS{HttpFetchLimits{}.stallTimeoutS};
std::atomic<std::size_t> maxBodyBytes{HttpFetchLimits{}.maxBodyBytes};

std::mutex networkLock;
HttpFetchNetwork network;

thread_local HttpFetchReport lastReport;
thread_local std::stop_token fetchStop;  // see FetchStopScope

int checkFetchStop(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) { return fetchStop.stop_requested() ? 1 : 0; }

HttpFetchNetwork currentNetwork() {
    std::lock_guard hold(networkLock);
    return network;
}

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

// The request's own lines with those the network settings name replaced
// by the settings' (the command line's -H, -A, ...).
std::string withNetworkHeaders(const std::string& headerText) {
    const std::vector<std::string> chosen = currentNetwork().headers;
    if (chosen.empty()) return headerText;
    const auto named = [](const std::string& line) {
        std::string name = line.substr(0, line.find(':') + 1);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        return name;
    };
    std::string text;
    for (const std::string& line : splitText(headerText, "\r\n")) {
        const bool replaced = std::any_of(chosen.begin(), chosen.end(),
                                          [&](const std::string& mine) { return named(mine) == named(line); });
        if (!line.empty() && !replaced) text += (text.empty() ? "" : "\r\n") + line;
    }
    for (const std::string& line : chosen) text += (text.empty() ? "" : "\r\n") + line;
    return text;
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

void setHttpFetchNetwork(HttpFetchNetwork settings) {
    std::lock_guard hold(networkLock);
    network = std::move(settings);
}

HttpFetchReport lastHttpFetchReport() { return lastReport; }

FetchStopScope::FetchStopScope(std::stop_token stop) : outer_(std::exchange(fetchStop, std::move(stop))) {}
FetchStopScope::~FetchStopScope() { fetchStop = std::move(outer_); }

HttpFetchLimits httpFetchLimits() { return {connectTimeoutMs.load(), stallTimeoutS.load(), maxBodyBytes.load()}; }

namespace {

// The CA a user added beside the system's own, and trust turned off when asked.
void setTrust(CURL* h, const HttpFetchNetwork& net) {
    if (!net.caFile.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, net.caFile.c_str());
        curl_easy_setopt(h, CURLOPT_CAPATH, "/etc/ssl/certs");
    }
    if (net.insecure) {
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    }
}

// How a transfer ended, for whoever asks why.
HttpFetchReport reportOf(CURL* h, CURLcode result, const char* errorText) {
    HttpFetchReport report;
    report.transferCode = static_cast<int>(result);
    report.error = errorText[0] ? errorText : curl_easy_strerror(result);
    long systemError = 0;
    curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &systemError);
    report.systemError = static_cast<int>(systemError);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &report.status);
    return report;
}

}  // namespace

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
    const std::string headerText =
        withDefaultHeaders(withNetworkHeaders(headers ? *headers : std::string()), address, cookieText);
    const HeaderList list = headerLines(headerText, viaProxy);
    Bytes sentBody;
    if (verb != 0) sentBody = bodyToSend(postText, postBytes);

    Exchange exchange;
    exchange.maxBody = maxBodyBytes.load();
    const HttpFetchNetwork net = currentNetwork();
    const std::string proxyUrl = viaProxy ? "http://" + *proxy : net.proxy.empty() ? "" : "http://" + net.proxy;
    setTransferOptions(easy.get(), requestUrl(address, https), list.get(), proxyUrl, !noRedirect.value_or(false),
                       exchange);
    setTrust(easy.get(), net);
    if (verb != 0) setBody(easy.get(), sentBody, verb);
    if (fetchStop.stop_possible()) {
        curl_easy_setopt(easy.get(), CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy.get(), CURLOPT_XFERINFOFUNCTION, checkFetchStop);
    }
    char errorText[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(easy.get(), CURLOPT_ERRORBUFFER, errorText);
    // A failed transfer shows as a short or empty body, like any other.
    const CURLcode result = curl_easy_perform(easy.get());
    lastReport = reportOf(easy.get(), result, errorText);
    if (exchange.bodyTooLarge) lastReport.error = "the answer is larger than " + std::to_string(exchange.maxBody) + " bytes";

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

namespace {

struct StreamState {
    const std::function<bool(const char*, std::size_t)>* sink;
    const std::function<bool()>* stop;
};

size_t passBody(char* data, size_t size, size_t count, void* state) {
    return (*static_cast<StreamState*>(state)->sink)(data, size * count) ? size * count : 0;
}

int checkStop(void* state, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto& stop = *static_cast<StreamState*>(state)->stop;
    return stop && stop() ? 1 : 0;
}

}  // namespace

HttpFetchReport httpStream(const std::string& address, const std::function<bool(const char*, std::size_t)>& sink,
                           std::int64_t speedLimit, const std::function<bool()>& stop) {
    HttpFetchReport report;
    Easy easy(curl_easy_init());
    if (!easy) {
        report.transferCode = CURLE_FAILED_INIT;
        report.error = "the transfer could not be set up";
        return report;
    }
    CURL* h = easy.get();
    const HttpFetchNetwork net = currentNetwork();
    StreamState state{&sink, &stop};
    char errorText[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(h, CURLOPT_URL, address.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROXY, net.proxy.empty() ? "" : ("http://" + net.proxy).c_str());
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, defaultUserAgent);
    HeaderList chosen;
    for (const std::string& line : net.headers) append(chosen, line);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, chosen.get());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs.load());
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stallTimeoutS.load());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, passBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, checkStop);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &state);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    if (speedLimit > 0) curl_easy_setopt(h, CURLOPT_MAX_RECV_SPEED_LARGE, static_cast<curl_off_t>(speedLimit));
    setTrust(h, net);
    return reportOf(h, curl_easy_perform(h), errorText);
}

}  // namespace zorvan
