#include "support/nginx_server.h"

#include "support/child_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

namespace zorvan::test {

namespace {

int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(s);
    return port;
}

bool accepts(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

}  // namespace

std::string patternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t x = 2463534242u ^ seed;
    for (std::size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x);
    }
    return bytes;
}

namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

NginxServer::NginxServer(const std::string& extraServerLines, const std::optional<NginxTls>& tls) {
    char pattern[] = "/tmp/zorvan-nginx-XXXXXX";
    if (!::mkdtemp(pattern)) {
        error_ = "cannot make a folder";
        return;
    }
    dir_ = pattern;
    root_ = dir_ + "/www";
    ::chmod(dir_.c_str(), 0755);  // nginx workers run as another user
    ::mkdir(root_.c_str(), 0755);
    ::mkdir((dir_ + "/tmp").c_str(), 0755);
    port_ = freePort();
    std::string tlsLines, logLines = "  access_log off;\n";
    if (tls) {
        tlsPort_ = freePort();
        tlsLines = "    listen 127.0.0.1:" + std::to_string(tlsPort_) + " ssl;\n    ssl_certificate " + tls->certificate +
                   ";\n    ssl_certificate_key " + tls->key + ";\n    ssl_protocols TLSv1.2 TLSv1.3;\n";
        logLines = "  log_format zorvan '$ssl_session_reused $status \"$http_range\" \"$http_cookie\" $uri';\n"
                   "  access_log " + dir_ + "/access.log zorvan;\n";
    }
    const std::string serverLines = replaced(replaced(extraServerLines, "@TLS_PORT@", std::to_string(tlsPort_)), "@PORT@",
                                             std::to_string(port_));
    const std::string conf = dir_ + "/nginx.conf";
    std::ofstream(conf) << "worker_processes 1;\n"
                        << "error_log " << dir_ << "/error.log;\n"
                        << "pid " << dir_ << "/nginx.pid;\n"
                        << "events { worker_connections 256; }\n"
                        << "http {\n"
                        << logLines
                        << "  client_body_temp_path " << dir_ << "/tmp/body;\n"
                        << "  proxy_temp_path " << dir_ << "/tmp/proxy;\n"
                        << "  fastcgi_temp_path " << dir_ << "/tmp/fastcgi;\n"
                        << "  uwsgi_temp_path " << dir_ << "/tmp/uwsgi;\n"
                        << "  scgi_temp_path " << dir_ << "/tmp/scgi;\n"
                        << "  sendfile on;\n"
                        << "  server {\n"
                        << "    listen 127.0.0.1:" << port_ << ";\n"
                        << tlsLines
                        << "    root " << root_ << ";\n"
                        << "    " << serverLines << "\n"
                        << "  }\n"
                        << "}\n";
    pid_ = spawnChild({"/usr/sbin/nginx", "-c", conf, "-p", dir_, "-g", "daemon off;"});
    if (pid_ <= 0) {
        error_ = "cannot start /usr/sbin/nginx (is nginx-light installed?)";
        return;
    }
    for (int i = 0; i < 200 && !(accepts(port_) && (tlsPort_ == 0 || accepts(tlsPort_))); ++i) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error_ = "nginx ended at once; see " + dir_ + "/error.log";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (!accepts(port_)) error_ = "nginx does not answer on its port";
}

NginxServer::~NginxServer() {
    stopChild(pid_);
    if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
}

std::string NginxServer::url(const std::string& path) const {
    if (tlsPort_ > 0) return "https://localhost:" + std::to_string(tlsPort_) + path;
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string NginxServer::plainUrl(const std::string& path) const {
    return "http://localhost:" + std::to_string(port_) + path;
}

std::string NginxServer::accessLog() const {
    std::ifstream in(dir_ + "/access.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string NginxServer::addFile(const std::string& name, std::size_t size) {
    std::string bytes = patternBytes(size, static_cast<unsigned>(size));
    std::ofstream(root_ + "/" + name, std::ios::binary) << bytes;
    return bytes;
}

}  // namespace zorvan::test
