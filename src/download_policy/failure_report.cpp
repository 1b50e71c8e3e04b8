#include "download_policy/failure_report.h"

#include "text/byte_count.h"

#include <cctype>
#include <cstring>

namespace zorvan {

std::string statusText(int status) {
    static const struct {
        int status;
        const char* phrase;
    } phrases[] = {
        {400, "Bad Request"},          {401, "Unauthorized"},        {403, "Forbidden"},
        {404, "Not Found"},            {405, "Method Not Allowed"},  {407, "Proxy Authentication Required"},
        {408, "Request Timeout"},      {410, "Gone"},                {416, "Range Not Satisfiable"},
        {429, "Too Many Requests"},    {500, "Internal Server Error"}, {501, "Not Implemented"},
        {502, "Bad Gateway"},          {503, "Service Unavailable"}, {504, "Gateway Timeout"},
    };
    for (const auto& p : phrases)
        if (p.status == status) return std::to_string(status) + " " + p.phrase;
    return std::to_string(status);
}

std::string systemText(int error) {
    if (error == 0) return "no reason given";
    std::string text = std::strerror(error);
    // "Connection refused" reads as a phrase inside a sentence.
    if (text.size() > 1 && std::isupper(static_cast<unsigned char>(text[0])) &&
        std::islower(static_cast<unsigned char>(text[1])))
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

namespace {

std::string withDetail(const std::string& text, const std::string& detail) {
    return detail.empty() ? text : text + " (" + detail + ")";
}

}  // namespace

std::string causeText(const FailureCause& cause) {
    if (!cause.proxy.empty() && cause.kind == CauseKind::NameLookup)
        return "the proxy " + cause.proxy + " cannot be reached: its name does not resolve";
    if (!cause.proxy.empty() && cause.kind == CauseKind::Connect)
        return "the proxy " + cause.proxy + " cannot be reached: " + systemText(cause.systemError);
    switch (cause.kind) {
        case CauseKind::None: return "the transfer failed";
        case CauseKind::NameLookup: return "cannot resolve host " + cause.detail;
        case CauseKind::Connect: return withDetail(systemText(cause.systemError), cause.detail);
        case CauseKind::Timeout: return withDetail("timed out", cause.detail);
        case CauseKind::Dropped:
            return cause.systemError ? withDetail("the connection broke: " + systemText(cause.systemError), cause.detail)
                                     : "the connection broke: " + cause.detail;
        case CauseKind::HttpStatus:
            return (cause.detail == "proxy" ? "the proxy answered " : "the server answered ") + statusText(cause.status);
        case CauseKind::BadReply: return "unusable answer: " + cause.detail;
        case CauseKind::Tls: return "TLS: " + cause.detail;
        case CauseKind::Disk:
            if (cause.available >= 0)
                return "not enough disk space: needs " + humanBytes(static_cast<double>(cause.needed)) + ", " +
                       humanBytes(static_cast<double>(cause.available)) + " free";
            return cause.detail + ": " + systemText(cause.systemError);
    }
    return "the transfer failed";
}

int exitCodeOf(const FailureCause& cause) {
    switch (cause.kind) {
        case CauseKind::HttpStatus:
        case CauseKind::BadReply: return exitCode::refused;
        case CauseKind::Tls: return exitCode::tls;
        case CauseKind::Disk: return exitCode::localFile;
        default: return exitCode::unreachable;
    }
}

Verdict downloadVerdict(TaskOutcome outcome, const FailureCause& cause) {
    const auto tls = [&](const char* what) {
        return Verdict{withDetail(what, cause.kind == CauseKind::Tls ? cause.detail : std::string()), exitCode::tls};
    };
    switch (outcome) {
        case TaskOutcome::Complete: return {"saved", exitCode::done};
        case TaskOutcome::Stopped: return {"stopped", exitCode::done};
        case TaskOutcome::GivenUp: return {"the file exists; not downloaded", exitCode::done};
        case TaskOutcome::AlreadyThere: return {std::string("the file is ") + alreadyThereSampled, exitCode::done};
        case TaskOutcome::NoSize: return {"the server names no size for the file", exitCode::refused};
        case TaskOutcome::CannotCreateFile:
        case TaskOutcome::NotSaved:
            if (cause.kind == CauseKind::Disk) return {causeText(cause), exitCode::localFile};
            return {"cannot save the file", exitCode::localFile};
        case TaskOutcome::Refused:
            if (cause.kind == CauseKind::None) return {"the server refused the download", exitCode::refused};
            return {causeText(cause), exitCodeOf(cause) == exitCode::tls ? exitCode::tls : exitCode::refused};
        case TaskOutcome::FileChanged: return {"the file kept changing on the server", exitCode::refused};
        case TaskOutcome::CertificateUntrusted: return tls("the server's certificate is not trusted");
        case TaskOutcome::CertificateNameMismatch: return tls("the server's certificate is for another host");
        case TaskOutcome::CertificateExpired: return tls("the server's certificate has expired or is not yet valid");
        case TaskOutcome::TlsHandshakeFailed: return tls("no secure connection could be agreed");
        case TaskOutcome::TlsClosedMidRecord:
            return {"the server kept cutting the secure stream off mid-record", exitCode::tls};
        case TaskOutcome::TransferFailed: break;
    }
    return {causeText(cause), exitCodeOf(cause)};
}

}  // namespace zorvan
