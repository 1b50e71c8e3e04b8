#include "server/access/secret_file.h"

#include <sodium.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorvan {
namespace {

bool sodiumStarted() {
    static const bool started = sodium_init() >= 0;
    return started;
}

// Closes on every way out, so an error half way leaks no descriptor.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // The result of close(): a write can still fail there.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

std::string systemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// mkdir of each missing folder with 0700: the umask can only take bits away.
bool makeFolders(const std::filesystem::path& folder, std::string& error) {
    std::filesystem::path built;
    for (const auto& part : folder) {
        built /= part;
        if (::mkdir(built.c_str(), 0700) != 0 && errno != EEXIST) {
            error = systemError("cannot make the folder", built.string());
            return false;
        }
    }
    return true;
}

bool writeAll(int fd, const std::string& content) {
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// So the rename itself survives a power cut.
void syncFolder(const std::filesystem::path& folder) {
    FileDescriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) ::fsync(fd.get());
}

}  // namespace

std::string randomToken(std::size_t bytes) {
    if (!sodiumStarted()) return {};
    std::vector<unsigned char> random(bytes);
    randombytes_buf(random.data(), random.size());
    constexpr int variant = sodium_base64_VARIANT_URLSAFE_NO_PADDING;
    std::string text(sodium_base64_ENCODED_LEN(bytes, variant), '\0');
    sodium_bin2base64(text.data(), text.size(), random.data(), random.size(), variant);
    sodium_memzero(random.data(), random.size());
    text.resize(std::strlen(text.c_str()));
    return text;
}

bool sameSecret(const std::string& a, const std::string& b) {
    // The length of our tokens is no secret; their content is.
    return a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

bool writeSecretFile(const std::string& path, const std::string& content, std::string& error) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !makeFolders(folder, error)) return false;
    const std::string temporary = path + ".new-" + randomToken(6);
    FileDescriptor fd(::open(temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        error = systemError("cannot create", temporary);
        return false;
    }
    bool written = ::fchmod(fd.get(), 0600) == 0 && writeAll(fd.get(), content) && ::fsync(fd.get()) == 0;
    written = fd.close() && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = systemError(written ? "cannot replace" : "cannot write", written ? path : temporary);
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(folder);
    return true;
}

std::optional<std::string> readSecretFile(const std::string& path, std::string& error) {
    error.clear();
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno != ENOENT) error = systemError("cannot open", path);
        return std::nullopt;
    }
    // Checked on the open file, so it cannot be swapped between check and read.
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        error = systemError("cannot read", path);
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        error = path + " is not a regular file";
        return std::nullopt;
    }
    if (status.st_uid != ::geteuid()) {
        error = path + " belongs to another user: it is not trusted";
        return std::nullopt;
    }
    if ((status.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
        error = "permissions " + std::string(mode) + " for " + path +
                " are too open: others may read it, so it is not used (chmod 600 it, or remove it)";
        return std::nullopt;
    }
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = systemError("cannot read", path);
            return std::nullopt;
        }
        if (n == 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    while (!content.empty() && (content.back() == '\n' || content.back() == '\r')) content.pop_back();
    return content;
}

std::string loopbackToken(const std::string& path, bool& made, std::string& error) {
    made = false;
    std::optional<std::string> kept = readSecretFile(path, error);
    if (kept && !kept->empty()) return *kept;
    if (!error.empty()) return {};
    std::string token = randomToken();
    if (token.empty()) {
        error = "no random numbers to make a token with";
        return {};
    }
    if (!writeSecretFile(path, token + "\n", error)) return {};
    made = true;
    return token;
}

}  // namespace zorvan
