#include "download/held_bytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace zorvan {

HeldBytesCheck planHeldBytesCheck(const std::vector<ByteRange>& held, std::int64_t next, std::int64_t window) {
    HeldBytesCheck check;
    check.overlap = {next, next};
    for (const ByteRange& r : held)
        if (r.begin < next && r.end >= next) check.overlap = {std::max(r.begin, next - window), next};
    // The held bytes outside the overlap; the probe goes into the longest.
    ByteRange longest;
    for (const ByteRange& r : held) {
        for (ByteRange piece : {ByteRange{r.begin, std::min(r.end, check.overlap.begin)},
                                ByteRange{std::max(r.begin, check.overlap.end), r.end}}) {
            if (piece.length() > longest.length()) longest = piece;
        }
    }
    if (longest.length() <= 0) return check;
    const std::int64_t length = std::min(window, longest.length());
    const std::int64_t begin = longest.begin + (longest.length() - length) / 2;
    check.probe = {begin, begin + length};
    return check;
}

HeldFile::HeldFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

HeldFile::~HeldFile() {
    if (fd_ >= 0) ::close(fd_);
}

HeldFile::HeldFile(HeldFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

HeldFile& HeldFile::operator=(HeldFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

std::int64_t HeldFile::size() const {
    if (fd_ < 0) return -1;
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    return end < 0 ? -1 : static_cast<std::int64_t>(end);
}

bool HeldFile::holds(std::int64_t position, std::string_view bytes) const {
    if (fd_ < 0 || position < 0) return false;
    char piece[16 * 1024];
    std::size_t compared = 0;
    while (compared < bytes.size()) {
        const std::size_t want = std::min(sizeof piece, bytes.size() - compared);
        const ssize_t n = ::pread(fd_, piece, want, position + static_cast<off_t>(compared));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // the file ends before them
        if (!std::equal(piece, piece + n, bytes.data() + compared)) return false;
        compared += static_cast<std::size_t>(n);
    }
    return true;
}

ReceiveResult takeBodyBytes(Socket& socket, std::string& pending, std::size_t count, std::string& out,
                            int timeoutMs, const StopCheck& stop) {
    const std::size_t fromPending = std::min(count, pending.size());
    out.assign(pending, 0, fromPending);
    pending.erase(0, fromPending);
    ReceiveResult result;
    while (out.size() < count) {
        const std::size_t at = out.size();
        out.resize(count);
        const ReceiveResult r = receiveSome(socket, out.data() + at, count - at, count - at, timeoutMs, false, stop);
        out.resize(at + r.received);
        result.received += r.received;
        if (r.code != 0 || r.received == 0) {
            result.code = r.code;
            break;
        }
    }
    return result;
}

}  // namespace zorvan
