#include "cli/network_setup.h"

#include "download/tls_client.h"
#include "web/proxy_choice.h"
#include "web/url_parts.h"

#include <curl/curl.h>

#include <cstdio>

namespace zorvan::cli {

namespace {

// The proxy the works requests go through ("" : none), for their messages.
std::string fetchProxy;

std::optional<std::string> chosenProxy(const NetworkOptions& network, const std::string& address, std::string& error) {
    return proxyFor(address, {network.proxy, network.noProxy}, error);
}

}  // namespace

bool applyNetwork(const NetworkOptions& network, const std::string& address, JobSettings& job, std::string& error) {
    const auto proxy = chosenProxy(network, address, error);
    if (!proxy) return false;
    job.proxy = *proxy;
    job.headers = network.headers;
    if (network.timeoutSeconds > 0) job.timeoutMs = network.timeoutSeconds * 1000;
    if (!network.caFile.empty() || network.insecure) {
        job.tls = TlsClient::create({network.caFile, !network.insecure}, &error);
        if (!job.tls) return false;
    }
    return true;
}

bool applyFetchNetwork(const NetworkOptions& network, const std::string& serviceAddress, std::string& error) {
    const auto proxy = chosenProxy(network, serviceAddress, error);
    if (!proxy) return false;
    if (!network.caFile.empty()) {
        std::FILE* file = std::fopen(network.caFile.c_str(), "r");
        if (!file) {
            error = "cannot read the CA file " + network.caFile;
            return false;
        }
        std::fclose(file);
    }
    setHttpFetchNetwork({*proxy, network.caFile, network.insecure, network.headers});
    fetchProxy = *proxy;
    if (network.timeoutSeconds > 0) {
        HttpFetchLimits limits = httpFetchLimits();
        limits.connectTimeoutMs = network.timeoutSeconds * 1000L;
        limits.stallTimeoutS = network.timeoutSeconds;
        setHttpFetchLimits(limits);
    }
    return true;
}

// The cause in the tool's own words: libcurl's are not the user's.
FailureCause causeOfFetch(const HttpFetchReport& report, const std::string& address) {
    const std::string where = urlHost(address, true);
    const HttpFetchLimits limits = httpFetchLimits();
    switch (report.transferCode) {
        case CURLE_OK:
            if (report.status >= 400) return {CauseKind::HttpStatus, static_cast<int>(report.status), 0, {}};
            return {CauseKind::BadReply, 0, 0, "no works list"};
        case CURLE_COULDNT_RESOLVE_HOST: return {CauseKind::NameLookup, 0, 0, urlHost(address)};
        case CURLE_COULDNT_RESOLVE_PROXY: {
            FailureCause cause{CauseKind::NameLookup, 0, 0, fetchProxy};
            cause.proxy = fetchProxy;
            return cause;
        }
        case CURLE_COULDNT_CONNECT: {
            FailureCause cause{CauseKind::Connect, 0, report.systemError, where};
            cause.proxy = fetchProxy;  // through a proxy, it is the proxy that was not reached
            return cause;
        }
        case CURLE_OPERATION_TIMEDOUT:
            // No status: the connection was never made; else the answer stalled.
            if (report.status == 0 && report.systemError == 0 && report.error.find("onnect") != std::string::npos)
                return {CauseKind::Timeout, 0, 0,
                        "connecting to " + where + " took over " + std::to_string(limits.connectTimeoutMs / 1000) +
                            " s"};
            return {CauseKind::Timeout, 0, 0, "no data came for " + std::to_string(limits.stallTimeoutS) + " s"};
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_BAD_CONTENT_ENCODING:
            return {CauseKind::BadReply, 0, 0, "the server's answer is not HTTP"};
        case CURLE_GOT_NOTHING: return {CauseKind::Dropped, 0, 0, "the server closed the connection without answering"};
        case CURLE_PARTIAL_FILE: return {CauseKind::Dropped, 0, 0, "the answer was cut short"};
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR: return {CauseKind::Dropped, 0, report.systemError, where};
        case CURLE_TOO_MANY_REDIRECTS: return {CauseKind::BadReply, 0, 0, "too many redirections"};
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH: return {CauseKind::Tls, 0, 0, report.error};
        case CURLE_HTTP_RETURNED_ERROR: return {CauseKind::HttpStatus, static_cast<int>(report.status), 0, {}};
        case CURLE_WRITE_ERROR: return {CauseKind::BadReply, 0, 0, report.error};
        case CURLE_PROXY: {
            FailureCause cause{CauseKind::Connect, 0, report.systemError, where};
            cause.proxy = fetchProxy;
            return cause;
        }
        default: return {CauseKind::Dropped, 0, 0, "the transfer failed"};
    }
}

void warnIfInsecure(const NetworkOptions& network) {
    if (network.insecure)
        std::fprintf(stderr, "zorvan-cli: warning: --insecure: the server's certificate and name are not checked\n");
}

}  // namespace zorvan::cli
