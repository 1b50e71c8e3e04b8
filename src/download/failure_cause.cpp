#include "download/failure_cause.h"

#include "download/error_text.h"

namespace zorvan {

FailureCause causeOfSocketError(int code) {
    switch (code) {
        case socketError::receiveTimeout:
        case socketError::waitTimeout: return {CauseKind::Timeout, 0, 0, "no data came in time"};
        case socketError::closedByServer: return {CauseKind::Dropped, 0, 0, "the server closed the connection"};
        case socketError::tlsCutShort: return {CauseKind::Dropped, 0, 0, "the secure stream was cut off mid-record"};
        case socketError::tlsBroken: return {CauseKind::Tls, 0, 0, "the secure connection broke"};
        default: return {CauseKind::Dropped, 0, errnoOfSocketError(code), {}};
    }
}

}  // namespace zorvan
