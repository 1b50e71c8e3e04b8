#include "service/program_queue.h"

#include "service/program_limits.h"
#include "catalogue/performer_works.h"
#include "web/server_check.h"

namespace zorvan {

QueueSettings programQueueSettings() {
    QueueSettings settings;
    settings.taskParams = [] {
        TaskParam params;
        setProgramLimits(params);
        return params;
    };
    settings.findAddress = [](const Work& work) {
        return listedAddressOf(work.service, work.performer, work.workId, work.sequence, work.songName);
    };
    settings.serverWait.serverAnswers = [](const Work& work) { return serverAnswers(work.address); };
    return settings;
}

}  // namespace zorvan
