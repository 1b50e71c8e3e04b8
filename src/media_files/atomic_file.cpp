#include "media_files/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zorvan {

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const int why = written == bytes.size() ? 0 : errno;
    ::close(fd);
    if (why != 0 || written != bytes.size() || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = std::strerror(why ? why : errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace zorvan
