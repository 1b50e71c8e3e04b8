#include "media_files/poster_worker.h"

#include "media_files/poster_maker.h"

#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

namespace zorvan {

PosterWorker::PosterWorker(Failed failed, Noted noted)
    : failed_(std::move(failed)), noted_(std::move(noted)), thread_([this](std::stop_token stop) { run(stop); }) {}

PosterWorker::~PosterWorker() {
    thread_.request_stop();
    changed_.notify_all();
}

void PosterWorker::add(Job job) {
    {
        std::lock_guard hold(lock_);
        jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
}

PosterWorker::Tally PosterWorker::finish() {
    std::unique_lock hold(lock_);
    changed_.wait(hold, [this] { return jobs_.empty() && busy_ == 0; });
    return tally_;
}

void PosterWorker::run(std::stop_token stop) {
    // Pictures wait for downloads, never the other way round.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    for (;;) {
        Job job;
        {
            std::unique_lock hold(lock_);
            if (!changed_.wait(hold, stop, [this] { return !jobs_.empty(); })) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            ++busy_;
        }
        const std::string& video = job.work.videoPath;
        const std::string target = job.besideVideo ? posterPathOf(video) : cachedPosterPathOf(video);
        std::error_code ignored;
        if (!job.besideVideo) std::filesystem::create_directories(std::filesystem::path(target).parent_path(), ignored);
        const bool kept = job.keepPoster && std::filesystem::exists(target, ignored);
        // Brought up to date only: a video already noted as giving none is not decoded again.
        const std::optional<std::string> noted =
            job.keepPoster && !kept && noted_ ? noted_(video) : std::optional<std::string>();
        const PosterResult poster = kept    ? PosterResult{true, {}, 0}
                                    : noted ? PosterResult{false, *noted, 0}
                                            : makePoster(job.work.videoPath, target);
        if (poster.made && job.folderPoster) giveFolderItsPoster(job.work.videoPath);
        std::string error;
        const bool nfo = !job.besideVideo || writeNfo(job.work, error);
        if (!poster.made && !noted && failed_) failed_(video, poster.why);
        if (job.done) job.done(poster);
        {
            std::lock_guard hold(lock_);
            --busy_;
            const std::string name = std::filesystem::path(job.work.videoPath).filename().string();
            if (kept || noted) {
                // Neither made nor failed: it was there, or known to be impossible.
            } else if (poster.made) {
                ++tally_.made;
                tally_.cpuSeconds += poster.cpuSeconds;
            } else {
                ++tally_.failed;
                tally_.notes.push_back(name + ": no poster, " + poster.why);
            }
            if (!nfo) tally_.notes.push_back(name + ": no .nfo, " + error);
        }
        changed_.notify_all();
    }
}

}  // namespace zorvan
