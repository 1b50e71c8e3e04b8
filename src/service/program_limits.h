#pragma once

#include "download/task_param.h"

namespace zorvan {

// The values the program drives every download with, from the window and
// the command line alike: a download of five connections with the
// program's time limits and 10240-byte receive steps, in a part file that
// an interrupted download leaves to be continued.
inline void setProgramLimits(TaskParam& params) {
    params.mode = downloadMode;
    params.connections = 5;
    params.connectTimeout = 5000;
    params.sendTimeout = 5001;
    params.receiveTimeout = 10000;
    params.stopWait = 1000;
    params.chunkSize = 10240;
    params.partFile = true;
    params.continuePart = true;
}

}  // namespace zorvan
