#pragma once

#include <string>

namespace zorvan {

// Negative results of the connection layer. Socket errors travel as the
// negated codes of the desktop socket library the log messages were written
// for; errors without such a code get socketErrorBase - errno.
namespace socketError {
inline constexpr int tlsBroken = -31;    // a TLS record that does not decrypt or a fatal alert
inline constexpr int tlsCutShort = -30;  // a TLS stream that ended without its closing alert, mid-record
inline constexpr int closedByServer = -22;
inline constexpr int receiveTimeout = -10;
inline constexpr int notReady = -9;
inline constexpr int receiveFailed = -8;
inline constexpr int sendFailed = -7;
inline constexpr int waitTimeout = -6;
inline constexpr int waitFailed = -5;
inline constexpr int badState = -3;
inline constexpr int unknownBase = -100000;
}  // namespace socketError

// The code for an errno value of a socket call.
int socketErrorFromErrno(int error);

// The errno value a negative code stands for; 0 when it names none.
int errnoOfSocketError(int code);

// The log message (code page 936) for a negative code.
std::string errorText(int code);

}  // namespace zorvan
