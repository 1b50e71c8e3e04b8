#include "kept_queue/program_queue.h"

#include "download_policy/program_limits.h"
#include "follow/performer_works.h"
#include "web/server_check.h"

namespace zorvan {

QueueSettings programQueueSettings(int parallel, std::shared_ptr<RateLimiter> limiter,
                                   std::shared_ptr<std::atomic<int>> connections,
                                   std::shared_ptr<std::atomic<bool>> strictResume, std::function<void()> wake) {
    QueueSettings settings;
    settings.parallel = parallel;
    settings.taskParams = [limiter = std::move(limiter), connections = std::move(connections),
                           strict = std::move(strictResume)] {
        TaskParam params;
        setProgramLimits(params);
        params.connections = connections->load();
        params.sharedLimiter = limiter;
        params.strictResume = strict && strict->load();
        return params;
    };
    settings.findAddress = [](const Work& work) {
        return listedAddressOf(work.service, work.performer, work.workId, work.sequence, work.songName);
    };
    settings.serverWait.serverAnswers = [](const Work& work) { return serverAnswers(work.address); };
    settings.wake = std::move(wake);
    return settings;
}

}  // namespace zorvan
