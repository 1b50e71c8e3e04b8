#pragma once

#include "download/part_record.h"
#include "download/socket_io.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvan {

// Bytes already on the disk that a download is about to extend (a part
// file an earlier run left, or a file under the final name) must be the
// server's file before a byte is added to them. Without a validator for
// If-Range to lean on, windows of them are fetched again and compared byte
// for byte: the one just before the first byte to fetch, which the
// continuing request asks for anyway by starting that much earlier, and
// probes spread over all the rest, so that a file changed anywhere is
// likely caught. Together they cost a few tenths of a per cent of the bytes
// held (at least a few KiB a window); they sample, they never prove.
inline constexpr std::int64_t heldCheckWindow = 64 * 1024;       // the largest window
inline constexpr std::int64_t heldCheckSmallest = 4 * 1024;      // the smallest
inline constexpr double heldCheckShare = 0.004;                  // of the bytes held, for all windows together
// Each probe is a request of its own, a round trip before the download
// goes on: a few, spread, not many.
inline constexpr std::int64_t heldBytesPerProbe = 64 * 1024 * 1024;  // one probe for each this many held
inline constexpr int heldCheckFewestProbes = 2;
inline constexpr int heldCheckMostProbes = 4;

struct HeldBytesCheck {
    ByteRange overlap;              // ends at the first byte to fetch; empty when no held byte comes right before it
    std::vector<ByteRange> probes;  // each asked for on its own, in file order; none when the overlap covers all
    std::int64_t bytes() const {
        std::int64_t total = overlap.length();
        for (const ByteRange& p : probes) total += p.length();
        return total;
    }
};

// `held`: the ranges on the disk (joined, in order); `next`: the first byte
// to fetch. The probes sit at even steps through the held bytes outside the
// overlap, each inside one held stretch.
HeldBytesCheck planHeldBytesCheck(const std::vector<ByteRange>& held, std::int64_t next);

// A file opened for reading only, to compare what it holds; closed with
// its owner.
class HeldFile {
public:
    HeldFile() = default;
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(HeldFile&& other) noexcept;
    HeldFile& operator=(HeldFile&& other) noexcept;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // The file's size now; -1 when it is not open.
    std::int64_t size() const;
    // Whether the file holds exactly `bytes` at `position`.
    bool holds(std::int64_t position, std::string_view bytes) const;

private:
    int fd_ = -1;
};

// Takes `count` body bytes of an open answer: first from `pending` (what
// came with the header, which loses them), then from the socket.
// `received` says how many came from the socket, for the rate limit.
ReceiveResult takeBodyBytes(Socket& socket, std::string& pending, std::size_t count, std::string& out,
                            int timeoutMs, const StopCheck& stop);

}  // namespace zorvan
