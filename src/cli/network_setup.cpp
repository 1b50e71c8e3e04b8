#include "cli/network_setup.h"

#include "download/tls_client.h"
#include "web/proxy_choice.h"
#include "web/url_parts.h"

#include <curl/curl.h>

#include <cstdio>

namespace zorvan::cli {

namespace {

std::optional<std::string> chosenProxy(const NetworkOptions& network, const std::string& address, std::string& error) {
    return proxyFor(address, {network.proxy, network.noProxy}, error);
}

}  // namespace

bool applyNetwork(const NetworkOptions& network, const std::string& address, JobSettings& job, std::string& error) {
    const auto proxy = chosenProxy(network, address, error);
    if (!proxy) return false;
    job.proxy = *proxy;
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
    setHttpFetchNetwork({*proxy, network.caFile, network.insecure});
    if (network.timeoutSeconds > 0) {
        HttpFetchLimits limits = httpFetchLimits();
        limits.connectTimeoutMs = network.timeoutSeconds * 1000L;
        limits.stallTimeoutS = network.timeoutSeconds;
        setHttpFetchLimits(limits);
    }
    return true;
}

FailureCause causeOfFetch(const HttpFetchReport& report, const std::string& address) {
    const std::string where = urlHost(address, true);
    switch (report.transferCode) {
        case CURLE_OK:
            if (report.status >= 400) return {CauseKind::HttpStatus, static_cast<int>(report.status), 0, {}};
            return {CauseKind::BadReply, 0, 0, "no works list"};
        case CURLE_COULDNT_RESOLVE_HOST: return {CauseKind::NameLookup, 0, 0, urlHost(address)};
        case CURLE_COULDNT_RESOLVE_PROXY: return {CauseKind::NameLookup, 0, 0, "of the proxy"};
        case CURLE_COULDNT_CONNECT: return {CauseKind::Connect, 0, report.systemError, where};
        case CURLE_OPERATION_TIMEDOUT: return {CauseKind::Timeout, 0, 0, report.error};
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
        default: return {CauseKind::Dropped, 0, 0, report.error};
    }
}

void warnIfInsecure(const NetworkOptions& network) {
    if (network.insecure)
        std::fprintf(stderr, "zorvan-cli: warning: --insecure: the server's certificate and name are not checked\n");
}

}  // namespace zorvan::cli
