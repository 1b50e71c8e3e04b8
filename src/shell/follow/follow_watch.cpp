#include "shell/follow/follow_watch.h"

#include "follow/follow_check.h"
#include "store/library_db.h"
#include "web/http_fetch.h"


#include <mutex>
#include <thread>
#include <utility>

namespace zorvan {

namespace {

std::int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// What the worker and the watch share: the worker tells the watch only
// while the watch lives.
struct FollowWatch::Shared {
    std::mutex lock;
    FollowWatch* owner = nullptr;

    template <class Tell>
    void tell(Tell&& tell) {
        std::lock_guard hold(lock);
        // Queued while the owner lives: Qt drops it if the owner goes first.
        if (owner) QMetaObject::invokeMethod(owner, [owner = owner, tell] { tell(*owner); }, Qt::QueuedConnection);
    }
};

QString checkFailureText(int listingFault) {
    const QString prefix = FollowWatch::tr("检查失败：");
    switch (static_cast<ListingFault>(listingFault)) {
        case ListingFault::Unreachable: return prefix + FollowWatch::tr("无法连接服务");
        case ListingFault::NotFound: return prefix + FollowWatch::tr("服务说没有这个主播");
        case ListingFault::NotAList: return prefix + FollowWatch::tr("服务的回答不是作品列表");
        case ListingFault::None: break;
    }
    return {};
}

FollowWatch::FollowWatch(std::function<std::string()> service, std::chrono::milliseconds interval)
    : shared_(std::make_shared<Shared>()), service_(std::move(service)) {
    shared_->owner = this;
    timer_.setInterval(interval);
    connect(&timer_, &QTimer::timeout, this, &FollowWatch::checkNow);
    timer_.start();
    connect(this, &FollowWatch::checkStarted, this, [this](const QString& id) { checkingId_ = id; });
    connect(this, &FollowWatch::performerChecked, this, [this] { checkingId_.clear(); });
    connect(this, &FollowWatch::roundEnded, this, [this] {
        running_ = false;
        checkingId_.clear();
        if (std::exchange(again_, false)) checkNow();
    });
}

FollowWatch::~FollowWatch() {
    {
        std::lock_guard hold(shared_->lock);
        shared_->owner = nullptr;
    }
    worker_.request_stop();
}

void FollowWatch::checkNow() {
    if (running_) {
        again_ = true;  // a performer followed meanwhile is checked soon, not a round later
        return;
    }
    running_ = true;
    if (worker_.joinable()) worker_.join();  // the last round has told its end
    worker_ = std::jthread([shared = shared_, service = service_ ? service_() : std::string()](std::stop_token stop) {
        const FetchStopScope stoppable(stop);
        std::string error;
        std::vector<FollowedPerformer> list;
        std::unique_ptr<LibraryDb> db = LibraryDb::open(libraryDbPath(), error);
        if (db) list = db->follows().following(error);
        for (const FollowedPerformer& performer : list) {
            if (stop.stop_requested() || !error.empty()) break;
            const QString id = QString::fromStdString(performer.id);
            shared->tell([id](FollowWatch& watch) { emit watch.checkStarted(id); });
            const FollowCheck check = checkFollowed(
                *db, service, performer.id,
                [](ListingFault fault) { return checkFailureText(static_cast<int>(fault)).toStdString(); },
                nowSeconds());
            error = check.storeError;
            const QString failure = checkFailureText(static_cast<int>(check.fault));
            shared->tell([id, fresh = check.firstSeen, failure](FollowWatch& watch) {
                emit watch.performerChecked(id, fresh, failure);
            });
        }
        const QString problem = QString::fromStdString(error);
        shared->tell([problem](FollowWatch& watch) { emit watch.roundEnded(problem); });
    });
}

}  // namespace zorvan
