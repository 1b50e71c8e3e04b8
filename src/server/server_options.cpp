#include "server/server_options.h"

#include "store/library_db.h"
#include "web/service_address.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace zorvan {

const char* serverUsage() {
    return "usage: zorvan-server [OPTION...]\n"
           "Runs Zorvan's downloads, following and library without a window, steered over HTTP.\n"
           "\n"
           "  --listen ADDR:PORT     where to listen (default 127.0.0.1:8765; [::1]:PORT for IPv6;\n"
           "                         a port of 0 takes a free one). Any address but loopback needs a\n"
           "                         password (--set-password) and the names clients use (--allow-host)\n"
           "  --data DIR             the data folder: library, settings, token, password\n"
           "                         (default $XDG_DATA_HOME/zorvan)\n"
           "  --service URL          the video service (default $ZORVAN_SERVICE, else the built-in one)\n"
           "  --allow-host NAME      a host name or address clients reach the server by (repeatable),\n"
           "                         against DNS rebinding: other Host headers are refused\n"
           "  --cert FILE --key FILE serve over TLS with this certificate and key (PEM)\n"
           "  --login-pause-limit S  the longest pause failed logins from one address bring (default 30)\n"
           "  --set-password         set the password (read from standard input) and exit\n"
           "  --link                 print the loopback link that logs a browser in, and exit\n"
           "  --help, --version\n"
           "\n"
           "It stops on SIGTERM or SIGINT, the queue saved and every part file kept.\n";
}

std::string defaultDataFolder() {
    const std::string db = libraryDbPath();
    return db.substr(0, db.rfind('/'));
}

namespace {

// "ADDR:PORT", "[v6]:PORT" or ":PORT".
bool parseListen(const std::string& text, ServerOptions& options, std::string& error) {
    const std::size_t colon = text.rfind(':');
    std::string host = colon == std::string::npos ? text : text.substr(0, colon);
    int port = options.listenPort;
    if (colon != std::string::npos) {
        const std::string digits = text.substr(colon + 1);
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || port < 0 || port > 65535) {
            error = "--listen: the port must be a number from 0 to 65535";
            return false;
        }
    }
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.empty()) host = "127.0.0.1";
    options.listenHost = host;
    options.listenPort = port;
    return true;
}

bool takeValue(const std::vector<std::string>& args, std::size_t& at, std::string& value, std::string& error) {
    const std::string& arg = args[at];
    if (const std::size_t equals = arg.find('='); equals != std::string::npos) {
        value = arg.substr(equals + 1);
        return true;
    }
    if (at + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
    }
    value = args[++at];
    return true;
}

bool takeOption(const std::string& name, const std::string& value, ServerOptions& options, std::string& error) {
    if (name == "--listen") return parseListen(value, options, error);
    if (name == "--data") options.dataFolder = value;
    else if (name == "--service") options.serviceAddress = value;
    else if (name == "--allow-host") options.allowHosts.push_back(value);
    else if (name == "--cert") options.certFile = value;
    else if (name == "--key") options.keyFile = value;
    else if (name == "--login-pause-limit") {
        int& seconds = options.loginPauseLimitSeconds;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
        if (ec != std::errc() || end != value.data() + value.size() || options.loginPauseLimitSeconds < 1) {
            error = "--login-pause-limit: a number of seconds from 1";
            return false;
        }
    }
    return true;
}

}  // namespace

std::string ServerOptions::hostAndPort(int port) const {
    const bool v6 = listenHost.find(':') != std::string::npos;
    return (v6 ? "[" + listenHost + "]" : listenHost) + ":" + std::to_string(port);
}

bool ServerOptions::loopback() const {
    return listenHost == "localhost" || listenHost == "::1" || listenHost.rfind("127.", 0) == 0;
}

std::optional<ServerOptions> parseServerOptions(const std::vector<std::string>& args, std::string& error) {
    ServerOptions options;
    static const char* const valued[] = {"--listen", "--data", "--service", "--allow-host", "--cert", "--key",
                                         "--login-pause-limit"};
    for (std::size_t at = 0; at < args.size(); ++at) {
        const std::string& arg = args[at];
        const std::string name = arg.substr(0, arg.find('='));
        if (arg == "--help" || arg == "-h") options.task = ServerOptions::Task::Help;
        else if (arg == "--version") options.task = ServerOptions::Task::Version;
        else if (arg == "--set-password") options.task = ServerOptions::Task::SetPassword;
        else if (arg == "--link") options.task = ServerOptions::Task::PrintLink;
        else if (std::find(std::begin(valued), std::end(valued), name) != std::end(valued)) {
            std::string value;
            if (!takeValue(args, at, value, error) || !takeOption(name, value, options, error)) return std::nullopt;
        } else {
            error = "unknown option \"" + arg + "\"";
            return std::nullopt;
        }
    }
    if (options.certFile.empty() != options.keyFile.empty()) {
        error = "--cert and --key go together";
        return std::nullopt;
    }
    if (options.dataFolder.empty()) options.dataFolder = defaultDataFolder();
    if (options.serviceAddress.empty()) options.serviceAddress = serviceAddress({});
    while (options.serviceAddress.size() > 1 && options.serviceAddress.back() == '/') options.serviceAddress.pop_back();
    return options;
}

}  // namespace zorvan
