// The server's event log: a read-through's progress and the downloads'
// share the stream without pushing each other out.
#include "server/service/event_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorvan {
namespace {

std::vector<std::string> read(EventLog& log, std::uint64_t& after, std::uint64_t& progressSeen) {
    const EventLog::Batch batch = log.read(after, progressSeen, std::chrono::milliseconds(0));
    std::vector<std::string> seen;
    for (const ServerEvent& event : batch.events) seen.push_back(event.type + " " + event.data);
    if (!batch.events.empty()) after = batch.events.back().id;
    return seen;
}

TEST(EventLogTest, ProgressOfEachTypeGoesOutLatestOnlyBesideTheChanges) {
    EventLog log;
    std::uint64_t after = log.last(), progressSeen = 0;
    log.publishProgress("d1");
    log.publishProgress("v1", "verify");
    log.publishProgress("d2");
    EXPECT_EQ(read(log, after, progressSeen), (std::vector<std::string>{"verify v1", "progress d2"}));
    EXPECT_TRUE(read(log, after, progressSeen).empty()) << "nothing is said twice";

    log.publish("item", "i1");
    log.publishProgress("v2", "verify");
    log.publish("verifyDone", "v3");
    EXPECT_EQ(read(log, after, progressSeen), (std::vector<std::string>{"item i1", "verify v2", "verifyDone v3"}));
    log.publishProgress("d3");
    EXPECT_EQ(read(log, after, progressSeen), (std::vector<std::string>{"progress d3"}))
        << "the downloads' progress goes on after a read-through's";
}

}  // namespace
}  // namespace zorvan
