#pragma once

#include "download/engine_settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zorvan {

class ConnectionPool;
class RateLimiter;
class TlsClient;

using TaskId = std::uint64_t;

// Receives the engine's numbered events (see `event`); only the name-clash
// question reads the result. Called on the task thread, except the
// name-clash question, which comes from the first connection's thread.
using EventProcedure =
    std::function<int(int type, int connection, std::int64_t value, std::int64_t extra, TaskId task)>;

// Receives one log line: the local time text, the message (code page 936)
// and its level (see `logLevel`). Called on the task thread.
using LogProcedure =
    std::function<void(int connection, const std::string& time, const std::string& message, int level, TaskId task)>;

// What a caller gives startTask. The members, their order and their start
// values are those every caller of the engine relies on.
struct TaskParam {
    int mode = 1;                        // 0x1000 (download) is always added
    // This task's sizes and counts; unset: the program's (engineSettings()).
    std::optional<EngineSettings> engine;
    std::string url;                     // the remote address
    std::string localPath;               // full path (code page 936); ending in "/": a folder
    std::string userName = "anonymous";  // FTP only
    std::string password = "zorvan@localhost";  // FTP only
    int connections = 1;                 // segments of a new download
    std::int64_t speedLimit = 0;         // bytes per second for the task; 0: unlimited
    int connectTimeout = 20000;          // ms
    int sendTimeout = 20000;             // ms
    int receiveTimeout = 20000;          // ms of silence
    int stopWait = 1000;                 // ms stopTask waits for the connections
    int chunkSize = 20480;               // bytes asked for per receive step
    int sendChunkSize = 1024;            // uploads only
    LogProcedure logProcedure;
    EventProcedure eventProcedure;
    std::string ftpAuxText;              // FTP only
    int ftpTransferType = 1;             // FTP only
    std::string imageModeExtensions = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";  // FTP only
    std::string proxy;                   // HTTP proxy "host[:port]"; empty: direct
    std::string referer;                 // empty: derived from the address
    // Header lines of the caller's ("Name: value", checked by the caller:
    // no line breaks); each replaces the engine's line of that name.
    std::vector<std::string> headers;
    // One limit for several tasks at once (a whole run of downloads); when
    // set, it holds this task instead of speedLimit.
    std::shared_ptr<RateLimiter> sharedLimiter;
    // How https connections are checked (and the sessions they resume);
    // empty: the system's trust store, always verified.
    std::shared_ptr<TlsClient> tlsClient;
    // Connections kept open across a batch's works: its requests ask for
    // keep-alive, an answer read to its end leaves its connection here, and
    // requests to the same server take one from here before connecting.
    // Empty: every connection is closed after its answer, as ever.
    std::shared_ptr<ConnectionPool> connectionPool;
    // The download lives in a part file beside its final name, with a
    // record of what is on the disk, and a download that stops short keeps
    // it (event 22). Off, an unfinished file leaves nothing behind.
    bool partFile = false;
    // A part file an earlier download of the same address left at the local
    // path is taken up: only the missing bytes are fetched (event 20), or,
    // when it cannot be, the download starts over and says why (event 21).
    bool continuePart = false;
    // A file already under the final name may be this file cut short, or
    // whole. Its bytes are compared with the server's before anything is
    // added: when they are this file's it is completed (event 20), or, whole,
    // left as it is (TaskOutcome::AlreadyThere); when they are not, or
    // cannot be checked, it is never touched and the download takes the
    // next free name (event 21 says why). Needs partFile.
    bool completeExisting = false;
    // Further connections only when they pay: the first connection fetches
    // alone until its rate shows that the rest would take longer than a few
    // requests' time (and half a second); a small work, or any work over a
    // fast line, then goes over one connection, as a batch of them is
    // fetched fastest. Off, the planned connections start at once.
    bool splitOnlyWhenWorthIt = false;
    // A connection whose stream broke after it brought bytes reconnects
    // without the pause before a retry (a reset on a working line costs a
    // round trip, not five seconds); one that brought nothing still waits.
    bool reconnectAtOnceAfterBytes = false;
    // A refusal keeps the part file too: the caller looks for the file at
    // another address (a link that expired) and removes the part itself
    // when there is none.
    bool keepPartWhenRefused = false;
    // Bytes on the disk are taken up only when a validator of the server
    // (If-Range) can vouch for them: a part file without one is started
    // over instead of being sampled (event 21 says why).
    bool strictResume = false;
};

inline constexpr int downloadMode = 0x1000;

namespace event {
inline constexpr int resumeSupported = 2;    // FTP only
inline constexpr int size = 3;               // value: total size
inline constexpr int end = 4;                // value: bytes really done; extra: TaskOutcome
inline constexpr int connectionStarted = 5;
inline constexpr int firstSegment = 6;       // value: start + done; extra: start + length
inline constexpr int furtherSegment = 7;     // the same for a later segment
inline constexpr int connectionEnded = 8;    // value: position reached
inline constexpr int connectionFailed = 9;   // value: position reached
inline constexpr int received = 16;          // value: byte count
inline constexpr int nameClash = 18;         // value: existing size; extra: total size
inline constexpr int retrying = 19;          // a connection pauses to try again; value: ms; extra: tries left
inline constexpr int continued = 20;         // a part file is taken up; value: bytes there; extra: total size
inline constexpr int startedOver = 21;       // a part file could not be taken up; value: StartOverReason
inline constexpr int partKept = 22;          // before event 4: the part file stays; value: bytes in it; extra: total
inline constexpr int allReceived = 24;       // every byte is in the file, which is now brought to the disk and named;
                                             // the connections are closed (value: total size)
inline constexpr int heldChecked = 23;       // bytes on the disk matched the server's where sampled (no validator
                                             // vouched for them); value: bytes fetched to compare;
                                             // extra: 1 for a file under the final name, 0 for a part file
}  // namespace event

// Why a part file left by an earlier download was not taken up (event 21).
enum class StartOverReason : int {
    RecordUnreadable = 1,  // its record is missing, torn, another program's or another version's
    PartMissing = 2,       // the record's part file is gone or has another size
    OtherAddress = 3,      // it belongs to the download of another address
    FileChanged = 4,       // the file on the server is another version now
    NoRanges = 5,          // the server does not send parts of the file
    NotThisFile = 6,       // the file under the final name is not this file (its bytes differ): left alone
    NotChecked = 7,        // the file under the final name cannot be checked (no parts sent): left alone
    Unprovable = 8,        // no validator can vouch for its bytes, and proof was asked for (strictResume)
};

namespace logLevel {
inline constexpr int note = 0;
inline constexpr int sent = 1;
inline constexpr int received = 2;
inline constexpr int error = 3;
}  // namespace logLevel

// Answers to the name-clash question.
namespace clashAnswer {
inline constexpr int rename = 0;     // pick a free "name(n)" automatically
inline constexpr int giveUp = 1;
inline constexpr int pathChanged = 2;  // the procedure changed the path (see changeTaskLocalPath)
}  // namespace clashAnswer

// How a task ended, carried as the extra value of event 4 so a caller can
// tell a complete file from everything else.
enum class TaskOutcome : int {
    Complete = 0,          // every byte is in the file under its final name
    Stopped = 1,           // stopTask ended it
    GivenUp = 2,           // the name-clash rule gave up; nothing was written
    NoSize = 3,            // the server named no size
    CannotCreateFile = 4,  // the file could not be created or mapped
    Refused = 5,           // the server's answer refused the download (status, redirect)
    TransferFailed = 6,    // connections failed and retries ran out
    FileChanged = 7,       // the file changed on the server, again after starting over
    NotSaved = 8,          // every byte arrived, but the file could not take its final name
    CertificateUntrusted = 9,     // https: the certificate does not lead to a trusted CA
    CertificateNameMismatch = 10, // https: the certificate is for another host
    CertificateExpired = 11,      // https: the certificate is outside its validity
    TlsHandshakeFailed = 12,      // https: no secure connection could be agreed
    TlsClosedMidRecord = 13,      // https: the server kept cutting the stream off mid-record
    AlreadyThere = 14,     // the file under the final name is this file, whole, where sampled; nothing written
};

}  // namespace zorvan
