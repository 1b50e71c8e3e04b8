// The one download service under every face: what it tells, in what order,
// how a batch is counted, and what it keeps across a restart.
#include "service/download_service.h"
#include "service/queue_mirror.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zorvan {
namespace {

using namespace test;
using namespace std::chrono_literals;

// A face without an event loop: the service's events taken in on the
// test's thread into a mirror, every event kept in order. Its inbox may
// outlive it: the service tells of its own end last.
class Face {
public:
    explicit Face(DownloadService& service) {
        service.subscribe([inbox = inbox_](const std::vector<ServiceEvent>& events) {
            {
                std::lock_guard hold(inbox->lock);
                inbox->events.insert(inbox->events.end(), events.begin(), events.end());
            }
            inbox->changed.notify_all();
        });
    }
    // Takes in what came until `done` holds (bounded).
    bool until(const std::function<bool()>& done, std::chrono::milliseconds limit = 15s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            std::vector<ServiceEvent> events;
            {
                std::unique_lock hold(inbox_->lock);
                if (!inbox_->changed.wait_until(hold, end, [this] { return !inbox_->events.empty(); })) return done();
                events.swap(inbox_->events);
            }
            mirror.apply(events);
            seen.insert(seen.end(), events.begin(), events.end());
        }
        return true;
    }
    std::vector<ServiceEvent> of(ServiceEvent::Kind kind) const {
        std::vector<ServiceEvent> found;
        std::copy_if(seen.begin(), seen.end(), std::back_inserter(found), [kind](const ServiceEvent& e) { return e.kind == kind; });
        return found;
    }

    QueueMirror mirror;
    std::vector<ServiceEvent> seen;

private:
    struct Inbox {
        std::mutex lock;
        std::condition_variable changed;
        std::vector<ServiceEvent> events;
    };
    std::shared_ptr<Inbox> inbox_ = std::make_shared<Inbox>();
};

class DownloadServiceTest : public EngineTestBase {
protected:
    ServiceSetup setup(const std::string& library = {}) {
        ServiceSetup s;
        s.queue.taskParams = [] { return quickParams("", "", 2); };
        s.libraryPath = library;
        s.goOnAtStart = true;
        s.tickPause = 50ms;
        return s;
    }
    std::vector<Work> works(const LoopbackServer& server, int count, const std::string& prefix = "w") {
        std::vector<Work> out;
        for (int i = 0; i < count; ++i) {
            const std::string name = prefix + std::to_string(i) + ".mp4";
            out.push_back(Work{name, server.url("/" + name), folder + "/" + name});
        }
        return out;
    }
};

TEST_F(DownloadServiceTest, FacesSeeEachChangeBeforeItsAnswerAndABatchCountsAllItsWorksAcrossAPause) {
    const std::string content = patternBytes(600000, 5);
    LoopbackServer server(pacedFile(content, 1500000, 2));
    DownloadService service(setup(), {2, 2, 0, false});
    Face face(service);
    service.start();

    const std::vector<int> ids = service.enqueue(works(server, 3)).get();
    ASSERT_EQ(ids, (std::vector<int>{1, 2, 3}));
    ASSERT_TRUE(face.until([&] { return !face.of(ServiceEvent::Kind::Answered).empty(); }));
    // The answer comes after the works it added: a face that reads its
    // mirror at the answer finds them there.
    const auto answered = std::find_if(face.seen.begin(), face.seen.end(),
                                       [](const ServiceEvent& e) { return e.kind == ServiceEvent::Kind::Answered; });
    EXPECT_EQ(std::count_if(face.seen.begin(), answered,
                            [](const ServiceEvent& e) { return e.kind == ServiceEvent::Kind::Changed; }),
              3);

    // Paused by the user mid-way, and continued: one batch, counted whole.
    ASSERT_TRUE(face.until([&] { return face.mirror.totals().running == 2 && face.mirror.items()[0].done > 100000; }));
    service.pauseAll();
    ASSERT_TRUE(face.until([&] { return face.mirror.totals().paused == 3 && !face.mirror.active(); }));
    EXPECT_TRUE(face.mirror.status().pausedByUser);
    const ActionResult refused = service.act(QueueAction::Retry, {1, 99}).get();
    ASSERT_EQ(refused.refused.size(), 1u);
    EXPECT_EQ(refused.refused[0].second, "it is paused, not failed");
    EXPECT_EQ(refused.unknown, std::vector<int>{99});
    const std::size_t settledBefore = face.of(ServiceEvent::Kind::Settled).size();
    service.resumeAll();
    ASSERT_TRUE(face.until([&] { return face.of(ServiceEvent::Kind::Settled).size() > settledBefore; }));
    const ServiceEvent end = face.of(ServiceEvent::Kind::Settled).back();
    ASSERT_EQ(end.items.size(), 3u) << "the works run before the pause belong to the batch";
    for (const QueueItem& item : end.items) EXPECT_EQ(item.state, ItemState::Done) << item.work.title;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(readFile(folder + "/w" + std::to_string(i) + ".mp4") == content) << i;

    // The mirror is the queue: the same works in the same states.
    ASSERT_TRUE(face.until([&] { return !face.mirror.active(); }));
    const std::vector<QueueItem> items = service.items().get();
    face.until([] { return false; }, 100ms);  // what the last step told
    ASSERT_EQ(items.size(), face.mirror.items().size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].id, face.mirror.items()[i].id);
        EXPECT_EQ(items[i].state, face.mirror.items()[i].state);
        EXPECT_EQ(items[i].done, face.mirror.items()[i].done);
    }
    // Commands from many threads at once are carried out one after another.
    std::vector<std::thread> removers;
    for (int id : ids) removers.emplace_back([&service, id] { service.act(QueueAction::Remove, {id}).get(); });
    for (std::thread& remover : removers) remover.join();
    ASSERT_TRUE(face.until([&] { return face.mirror.items().empty(); }));
    EXPECT_EQ(face.of(ServiceEvent::Kind::Removed).size(), 3u);
}

TEST_F(DownloadServiceTest, AKeptQueueComesBackWithItsIdsAndTheUsersPauseAndGoesOnWithTheRest) {
    const std::string content = patternBytes(800000, 9);
    LoopbackServer server(pacedFile(content, 400000, 2));
    const std::string library = folder + "/library.db";
    std::vector<int> ids;
    {
        DownloadService service(setup(library), {2, 2, 0, false});
        Face face(service);
        service.start();
        ids = service.enqueue(works(server, 3)).get();
        ASSERT_TRUE(face.until([&] { return face.mirror.totals().running == 2; }));
        service.act(QueueAction::Pause, {ids[0]}).get();
        service.act(QueueAction::Remove, {ids[2]}).get();  // its id is never given again
        ASSERT_TRUE(face.until([&] { return face.mirror.items().size() == 2 && face.mirror.items()[1].done > 50000; }));
        service.stop();  // the second runs: it keeps its part and goes on
    }
    DownloadService again(setup(library), {2, 2, 0, false});
    Face face(again);
    again.start();
    ASSERT_TRUE(face.until([&] { return face.mirror.items().size() == 2; }));
    EXPECT_EQ(face.mirror.items()[0].id, ids[0]);
    EXPECT_EQ(face.mirror.items()[1].id, ids[1]);
    EXPECT_EQ(face.mirror.items()[0].state, ItemState::Paused) << "paused by the user: it stays paused";
    EXPECT_GT(face.mirror.items()[1].done, 0) << "its part file taken up";
    ASSERT_TRUE(face.until([&] { return face.mirror.item(ids[1])->state == ItemState::Done; }));
    const std::vector<int> more = again.enqueue(works(server, 1, "x")).get();
    EXPECT_GT(more.at(0), ids[2]);
    again.act(QueueAction::Cancel, {ids[0], more.at(0)}).get();
}

}  // namespace
}  // namespace zorvan
