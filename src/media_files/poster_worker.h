#pragma once

#include "media_files/poster_maker.h"
#include "media_files/work_sidecars.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zorvan {

// Makes each finished work's poster and .nfo on a thread of its own, at a
// lower priority than the downloads, so the next work never waits for a
// picture.
class PosterWorker {
public:
    struct Job {
        WorkMedia work;
        bool folderPoster = false;  // the work's folder is its performer's: it takes the first poster
        // The media-server files beside the video (NAME-poster.jpg, NAME.nfo);
        // false: only a poster, in the user's cache.
        bool besideVideo = true;
        // A poster already there is kept (only the .nfo is brought up to date).
        bool keepPoster = false;
        // Told on the worker's thread once the job is done.
        std::function<void(const PosterResult&)> done{};
    };
    struct Tally {
        int made = 0;
        int failed = 0;
        double cpuSeconds = 0;              // spent on the posters made
        std::vector<std::string> notes;     // "NAME: why" for each that could not be made
    };

    // Told on the worker's thread of each video no poster could be made of,
    // before its job's own `done`: where the owner keeps the note.
    using Failed = std::function<void(const std::string& videoPath, const std::string& why)>;
    // Asked on the worker's thread, for a job that keeps a poster and finds
    // none: the note kept of a video no poster can be made of, if any.
    using Noted = std::function<std::optional<std::string>(const std::string& videoPath)>;

    explicit PosterWorker(Failed failed = {}, Noted noted = {});
    ~PosterWorker();
    PosterWorker(const PosterWorker&) = delete;
    PosterWorker& operator=(const PosterWorker&) = delete;

    void add(Job job);
    // A work a download just saved: its poster, with the media-server files
    // (`besideVideo`: its .nfo beside it; `folderPoster`: its performer's
    // folder.jpg) or else alone, in the user's cache.
    void addSaved(WorkMedia work, bool besideVideo, bool folderPoster) {
        add({std::move(work), folderPoster && besideVideo, besideVideo});
    }
    // A saved work as its performer's listing names it now: its .nfo
    // brought up to that record, a poster made only where none is.
    void addListed(WorkMedia work, bool folderPoster) { add({std::move(work), folderPoster, true, true}); }
    // Waits for every job added so far, then says how they went.
    Tally finish();

private:
    void run(std::stop_token stop);

    const Failed failed_;
    const Noted noted_;
    std::mutex lock_;
    std::condition_variable_any changed_;
    std::deque<Job> jobs_;
    int busy_ = 0;
    Tally tally_;
    std::jthread thread_;  // last: it stops and joins before the rest goes
};

}  // namespace zorvan
