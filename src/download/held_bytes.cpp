#include "download/held_bytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace zorvan {

HeldBytesCheck planHeldBytesCheck(const std::vector<ByteRange>& held, std::int64_t next) {
    std::int64_t heldTotal = 0;
    for (const ByteRange& r : held) heldTotal += std::max<std::int64_t>(r.length(), 0);
    const int probeCount = static_cast<int>(
        std::clamp<std::int64_t>((heldTotal + heldBytesPerProbe - 1) / heldBytesPerProbe, heldCheckFewestProbes,
                                 heldCheckMostProbes));
    const auto share = static_cast<std::int64_t>(static_cast<double>(heldTotal) * heldCheckShare) / (probeCount + 1);
    const std::int64_t window = std::clamp(share, heldCheckSmallest, heldCheckWindow);

    HeldBytesCheck check;
    check.overlap = {next, next};
    for (const ByteRange& r : held)
        if (r.begin < next && r.end >= next) check.overlap = {std::max(r.begin, next - window), next};
    // The held bytes outside the overlap, in order.
    std::vector<ByteRange> rest;
    std::int64_t restTotal = 0;
    for (const ByteRange& r : held)
        for (ByteRange piece : {ByteRange{r.begin, std::min(r.end, check.overlap.begin)},
                                ByteRange{std::max(r.begin, check.overlap.end), r.end}})
            if (piece.length() > 0) {
                rest.push_back(piece);
                restTotal += piece.length();
            }
    if (restTotal == 0) return check;
    // Probe k sits around the point (2k + 1) / 2n of the way through the rest.
    std::size_t at = 0;
    std::int64_t before = 0;  // held bytes of the pieces before rest[at]
    for (int k = 0; k < probeCount; ++k) {
        const std::int64_t point = restTotal * (2 * k + 1) / (2 * probeCount);
        while (before + rest[at].length() <= point) before += rest[at++].length();
        const ByteRange& piece = rest[at];
        const std::int64_t length = std::min(window, piece.length());
        const std::int64_t centre = piece.begin + (point - before);
        const std::int64_t begin = std::clamp(centre - length / 2, piece.begin, piece.end - length);
        const ByteRange probe{begin, begin + length};
        if (!check.probes.empty() && probe.begin < check.probes.back().end) continue;  // a small piece: once
        check.probes.push_back(probe);
    }
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
