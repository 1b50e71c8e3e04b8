#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace zorvan {

// Checks the followed performers in the background, one at a time, at
// start and then every `interval` while the program runs; each check is
// recorded in the library database (works seen, new works, a failure on
// the performer's row, tried again next round). The checks run on a
// worker of their own, so the window never waits for a slow service; the
// watch stops and joins it (its requests end at once).
class FollowWatch : public QObject {
    Q_OBJECT
public:
    // `service` is read as each round starts, on the GUI thread.
    FollowWatch(std::function<std::string()> service, std::chrono::milliseconds interval);
    // A round under way is stopped; nothing it says afterwards reaches anyone.
    ~FollowWatch() override;

    // A round now; while one runs, another after it.
    void checkNow();
    bool checking() const { return running_; }
    // The performer being checked; empty between checks.
    const QString& checkingId() const { return checkingId_; }

signals:
    void checkStarted(const QString& id);
    // `firstSeen`: works the library had not seen of it; `failure` empty
    // when the check went well.
    void performerChecked(const QString& id, int firstSeen, const QString& failure);
    // The round is over; `problem` says why it could not run, if it could not.
    void roundEnded(const QString& problem);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::jthread worker_;  // the round under way, or the last one
    std::function<std::string()> service_;
    QTimer timer_;
    bool running_ = false;
    bool again_ = false;
    QString checkingId_;
};

// How the window says a failed check (translated), e.g. "检查失败：无法连接服务".
QString checkFailureText(int listingFault);

}  // namespace zorvan
