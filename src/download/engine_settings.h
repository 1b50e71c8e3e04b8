#pragma once

#include <cstddef>

namespace zorvan {

// Sizes and counts that hold for every task. A task copies them when it
// starts, so a change applies to tasks started afterwards. The GUI keeps
// the start values; tests shorten the pauses, the command-line tool may
// use larger buffers.
struct EngineSettings {
    std::size_t receiveBufferSize = 20480;  // per connection
    int retryPauseMs = 5000;
    int retriesPerConnection = 999;
    int redirectLimit = 20;                 // a redirection loop ends after this many steps
    // Connections copy their bytes into one shared writable mapping of the
    // file. Off, they write through the file descriptor instead, which
    // keeps the file's pages out of the process's resident size and spares
    // the kernel zero-filling each page before it is overwritten; the
    // command-line tool turns it off (see its notes), the GUI keeps the
    // mapping.
    bool mappedWrites = true;
    // A complete file reaches the disk (fsync) before it takes its final
    // name, so a power cut never leaves a name on a file of holes.
    bool syncBeforeNaming = true;
    // A connection that finishes its segment when no free one is left
    // splits the busy segment that will take longest to finish and fetches
    // its upper half, so a slow or stalled connection does not hold up the
    // end of a download. Off, it ends, as the GUI's engine always has.
    bool splitForIdleConnections = false;
    // Connection threads run as bulk work (SCHED_BATCH): when data wakes
    // them they wait for the running task's turn to end instead of
    // preempting it. Against a rate-limited server on a busy machine this
    // keeps the server's pacing prompt (16 capped connections: 2.60 s ->
    // 2.56 s, ideal 2.56 s); unlimited loopback transfers lose about 10%,
    // which a real network never shows. The command-line tool turns it on.
    bool bulkScheduling = false;
    // A plain (not TLS) answer's body goes from the socket into the file
    // inside the kernel, through a pipe of each connection's own, never
    // through its buffer; an unlimited step is then a pipe's worth, not
    // chunkSize. A 1 GiB loopback download took a quarter of the CPU. Off,
    // every body passes through the buffer, as chunked and TLS ones do.
    bool spliceReceive = true;
    // How often a part file's record is brought up to date (and at the end
    // of each range): what a killed download may have to fetch again.
    int checkpointIntervalMs = 1000;
    // A first connection that takes this long to be made means a long round
    // trip: the further connections are then made while its answer is under
    // way (on a LAN or loopback a connection takes well under a millisecond;
    // a slow answer alone says nothing, a busy server is slow over any line).
    int longRoundTripMs = 20;
};

void setEngineSettings(const EngineSettings& settings);
EngineSettings engineSettings();

}  // namespace zorvan
