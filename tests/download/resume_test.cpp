// A download that stops short keeps its part file and a record of what is
// on the disk; the next download of the same address takes it up and
// fetches only what is missing, or, when the part cannot be trusted,
// starts over, says why, and never mixes two versions of the file.
#include "download/engine_settings.h"
#include "download/held_bytes.h"
#include "download/part_record.h"
#include "download/segment_table.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"
#include "text/code_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace zorvan {
namespace {

using namespace test;

TEST(PartRecordTest, ReadsBackWhatItWroteAndRefusesEveryDamagedCopy) {
    PartRecord record;
    record.address = "http://h/光年之外.mp4";
    record.size = 1000000;
    record.etag = "\"abc\"";
    record.lastModified = "Mon, 07 Dec 2026 10:00:00 GMT";
    record.done = {{500, 900}, {0, 100}, {100, 200}, {999000, 1000000}};
    const auto text = formatPartRecord(record);
    ASSERT_TRUE(text);
    const auto back = parsePartRecord(*text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->address, record.address);
    EXPECT_EQ(back->etag, record.etag);
    EXPECT_EQ(back->lastModified, record.lastModified);
    EXPECT_EQ(back->done, (std::vector<ByteRange>{{0, 200}, {500, 900}, {999000, 1000000}})) << "joined and sorted";
    EXPECT_EQ(back->doneBytes(), 200 + 400 + 1000);

    // Torn at any length, or any one byte changed: never taken for a record.
    for (std::size_t cut = 0; cut < text->size(); ++cut)
        EXPECT_FALSE(parsePartRecord(text->substr(0, cut))) << "cut at " << cut;
    for (std::size_t at = 0; at < text->size(); ++at) {
        std::string damaged = *text;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x04);
        EXPECT_FALSE(parsePartRecord(damaged)) << "byte " << at;
    }
    std::string why;
    EXPECT_FALSE(parsePartRecord("{\"url\": \"http://h/a.mp4\"}\n", &why));
    EXPECT_FALSE(why.empty());
    record.etag = "a\nb";
    EXPECT_FALSE(formatPartRecord(record)) << "a value with a line break cannot be written";

    // What is left to fetch: exactly the gaps, shared among the connections.
    SegmentTable table;
    const int first = table.planRemaining(1000000, back->done, 4);
    ASSERT_GE(first, 0);
    EXPECT_EQ(table.get(first).start, 200);
    EXPECT_EQ(table.doneTotal(), back->doneBytes());
    std::int64_t at = 0;
    int free = 0;
    for (int i = 0; i < table.size(); ++i) {
        const Segment s = table.get(i);
        EXPECT_EQ(s.start, at) << "segments follow each other";
        at = s.end();
        if (!s.finished()) ++free;
    }
    EXPECT_EQ(at, 1000000);
    EXPECT_GE(free, 4);
    EXPECT_LE(free, 6);
}

TEST(HeldBytesCheckTest, OneWindowEndsAtTheFirstMissingByteAndProbesSpreadOverTheRestForAFewTenthsOfAPerCent) {
    const auto inside = [](const HeldBytesCheck& c, const std::vector<ByteRange>& held) {
        for (const ByteRange& p : c.probes) {
            bool in = false;
            for (const ByteRange& r : held) in = in || (p.begin >= r.begin && p.end <= r.end);
            if (!in || (p.begin < c.overlap.end && p.end > c.overlap.begin)) return false;
        }
        return true;
    };
    // One connection's part of a small file: the smallest windows, two
    // probes, a quarter and three quarters in.
    HeldBytesCheck c = planHeldBytesCheck({{0, 1000000}}, 1000000);
    EXPECT_EQ(c.overlap, (ByteRange{1000000 - heldCheckSmallest, 1000000}));
    ASSERT_EQ(c.probes.size(), 2u);
    const std::int64_t rest = 1000000 - heldCheckSmallest;
    EXPECT_EQ(c.probes[0], (ByteRange{rest / 4 - heldCheckSmallest / 2, rest / 4 + heldCheckSmallest / 2}));
    EXPECT_EQ(c.probes[1].begin, rest * 3 / 4 - heldCheckSmallest / 2);
    // A 200 MiB work: probes spread over the whole of it, all together well
    // under 1 % of what is held.
    constexpr std::int64_t mib = 1024 * 1024;
    c = planHeldBytesCheck({{0, 200 * mib}}, 200 * mib);
    ASSERT_EQ(c.probes.size(), 4u);
    EXPECT_LT(c.probes[0].end, 200 * mib / 4);
    EXPECT_GT(c.probes[3].begin, 3 * 200 * mib / 4);
    EXPECT_LT(c.bytes(), 200 * mib / 500) << "under a fifth of a per cent";
    EXPECT_TRUE(inside(c, {{0, 200 * mib}}));
    // A gibibyte: the most probes, the largest windows, a twentieth of a per cent.
    c = planHeldBytesCheck({{0, 1024 * mib}}, 1024 * mib);
    EXPECT_EQ(c.probes.size(), static_cast<std::size_t>(heldCheckMostProbes));
    EXPECT_EQ(c.overlap.length(), heldCheckWindow);
    EXPECT_LT(c.bytes(), 1024 * mib / 2000);
    // Five connections' parts: probes only where bytes are held, never in the overlap.
    const std::vector<ByteRange> parts = {{0, 100000}, {200000, 500000}, {600000, 650000}};
    c = planHeldBytesCheck(parts, 100000);
    EXPECT_EQ(c.overlap.end, 100000);
    EXPECT_FALSE(c.probes.empty());
    EXPECT_TRUE(inside(c, parts));
    // Little held: one window covers it all, and no probe is needed.
    c = planHeldBytesCheck({{0, 13}}, 13);
    EXPECT_EQ(c.overlap, (ByteRange{0, 13}));
    EXPECT_TRUE(c.probes.empty());
    // The first byte missing: nothing comes right before it, the held bytes
    // are probed (a stretch of one window's length, once).
    c = planHeldBytesCheck({{300000, 302000}}, 0);
    EXPECT_EQ(c.overlap.length(), 0);
    ASSERT_EQ(c.probes.size(), 1u);
    EXPECT_EQ(c.probes[0], (ByteRange{300000, 302000}));
}

TEST(PartNamesTest, ALongNameGetsShortPartNamesThatKeepItsExtensionAndStayApart) {
    const std::string folder = "/v/";
    const auto nameOf = [](const std::string& path) { return path.substr(path.rfind('/') + 1); };
    EXPECT_EQ(partPathOf(folder + "a.mp4"), folder + "a.mp4.part") << "short names keep the plain suffix";
    std::string stem;
    for (int i = 0; i < 81; ++i) stem += "歌";  // 243 bytes
    const std::string one = folder + stem + "a.mp4", two = folder + stem + "b.mp4";
    for (const std::string& path : {one, two}) {
        const std::string part = nameOf(partPathOf(path)), record = nameOf(recordPathOf(path));
        EXPECT_LE(record.size() + 4, 255u) << "the record's temporary name fits";
        EXPECT_TRUE(part.ends_with(".mp4.part")) << part;
        EXPECT_EQ(record, part + ".state");
        EXPECT_EQ(part.rfind(stem.substr(0, 200), 0), 0u) << "cut at a character, the start kept";
        EXPECT_EQ(gbkToUtf8(utf8ToGbk(part)), part) << "still whole UTF-8";
    }
    EXPECT_NE(partPathOf(one), partPathOf(two)) << "names that begin alike stay apart";
}

// On both receive paths: what the record claims must be in the file
// whichever way the bytes went there.
class ResumeTest : public EngineTestBase, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        EngineTestBase::SetUp();
        EngineSettings settings = engineSettings();
        settings.checkpointIntervalMs = 100;
        settings.spliceReceive = GetParam();
        setEngineSettings(settings);
    }
    TaskParam params(const std::string& url, int connections = 5) {
        TaskParam p = quickParams(url, target(), connections);
        p.partFile = true;
        p.continuePart = true;
        return p;
    }
    std::string part() const { return partPathOf(target()); }
    std::string record() const { return recordPathOf(target()); }
};

TEST_P(ResumeTest, StoppedAnywhereAndContinuedTheFileIsWholeAndOnlyTheMissingBytesComeAgain) {
    const std::string content = patternBytes(3 * 1024 * 1024, 3);
    const auto size = static_cast<std::int64_t>(content.size());
    for (const int connections : {1, 5, 16}) {
        for (const int percent : {30, 60, 90}) {
            SCOPED_TRACE(std::to_string(connections) + " connections, stopped at " + std::to_string(percent) + " %");
            std::filesystem::remove(target());
            LoopbackServer server(pacedFile(content, 12 * 1024 * 1024, connections));
            const DownloadRecord first =
                runDownloadUntil(params(server.url("/a.mp4"), connections), size * percent / 100);
            ASSERT_EQ(first.outcome, TaskOutcome::Stopped);
            ASSERT_NE(first.first(event::partKept), nullptr);
            const std::int64_t kept = first.first(event::partKept)->value;
            EXPECT_GE(kept, size * percent / 100 - 256 * 1024) << "what had arrived when it stopped";
            EXPECT_FALSE(std::filesystem::exists(target())) << "nothing under the final name";
            const auto saved = loadPartRecord(record());
            ASSERT_TRUE(saved);
            EXPECT_EQ(saved->doneBytes(), kept);

            server.resetBytesSent();
            const std::size_t firstRunRequests = server.requests().size();
            const DownloadRecord second = runDownload(params(server.url("/a.mp4"), connections));
            ASSERT_EQ(second.outcome, TaskOutcome::Complete);
            EXPECT_TRUE(readFile(target()) == content);
            ASSERT_NE(second.first(event::continued), nullptr);
            EXPECT_EQ(second.first(event::continued)->value, kept);
            EXPECT_EQ(second.first(event::size)->value, size);
            EXPECT_TRUE(askedOnlyFor(missingRanges(saved->done, size), size, server.requests(), firstRunRequests));
            // Besides the missing bytes: headers, and what each stream of
            // this run receives past the end of its part (a buffer and what
            // is under way) before it is closed. Counted by the streams the
            // run opened, not the connections: a part split again opens
            // another, and how much is under way at each cut depends on the
            // machine's pace (under a sanitizer, more). Asking only for
            // missing bytes is checked above.
            const auto streams = static_cast<long long>(server.requests().size() - firstRunRequests);
            const long long slack = size / 20 + std::max<long long>(connections, streams) * (20480 + 16 * 1024);
            EXPECT_LE(server.bytesSent(), size - kept + slack) << "missing " << size - kept;
            EXPECT_EQ(filesIn(folder), std::vector<std::string>{"a.mp4"}) << "the part file and its record are gone";
        }
    }
}

// A part file made by hand: the given ranges of `bytes`, the rest garbage.
void writePart(const std::string& path, const std::string& bytes, const std::vector<ByteRange>& done) {
    std::string data(bytes.size(), '\xEE');
    for (const ByteRange& r : done)
        data.replace(static_cast<std::size_t>(r.begin), static_cast<std::size_t>(r.length()),
                     bytes.substr(static_cast<std::size_t>(r.begin), static_cast<std::size_t>(r.length())));
    std::ofstream(path, std::ios::binary) << data;
}

TEST_P(ResumeTest, APartThatCannotBeTakenUpIsStartedOverWithItsReasonAndNeverMixed) {
    const std::string before = patternBytes(400000, 7), after = patternBytes(400000, 8);
    const std::string longer = patternBytes(500000, 9);
    const std::vector<ByteRange> done = {{0, 150000}, {250000, 300000}};
    enum Serve { Same, NewTag, LongerUntagged, NoRanges, Gone };
    struct Case {
        const char* name;
        Serve serve;
        std::function<void(PartRecord&)> spoilRecord;
        std::function<void(std::string&)> spoilText;
        int reason;  // event 21's value; 0: continued
    };
    const std::vector<Case> cases = {
        {"untouched", Same, {}, {}, 0},
        {"torn record", Same, {}, [](std::string& t) { t.resize(t.size() / 2); },
         static_cast<int>(StartOverReason::RecordUnreadable)},
        {"another program's record", Same, {}, [](std::string& t) { t = "[Download]\nurl=x\n"; },
         static_cast<int>(StartOverReason::RecordUnreadable)},
        // A work whose address moved: the server's validator says it is the same file.
        {"another address", Same, [](PartRecord& r) { r.address += "?v=2"; }, {}, 0},
        {"part of another size", Same, [](PartRecord& r) { r.size += 1; }, {},
         static_cast<int>(StartOverReason::PartMissing)},
        {"file changed, new entity tag", NewTag, {}, {}, static_cast<int>(StartOverReason::FileChanged)},
        {"file changed, no validator, other size", LongerUntagged, [](PartRecord& r) { r.etag.clear(); }, {},
         static_cast<int>(StartOverReason::FileChanged)},
        {"server ignores ranges", NoRanges, {}, {}, static_cast<int>(StartOverReason::NoRanges)},
        {"file gone", Gone, {}, {}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        const std::string& served = c.serve == NewTag ? after : c.serve == LongerUntagged ? longer : before;
        LoopbackServer server(fileScript(served, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
            if (c.serve == Gone || c.serve == NoRanges) {
                reply.status = c.serve == Gone ? "404 Not Found" : "200 OK";
                reply.headers.clear();
                reply.body = c.serve == Gone ? "gone" : served;
            }
            if (c.serve != LongerUntagged) reply.headers.push_back(c.serve == NewTag ? "ETag: \"v2\"" : "ETag: \"v1\"");
            reply.keepAlive = false;
            reply.bytesPerSecond = 2 * 1024 * 1024;  // a stream sends little past where it is closed
        }));
        PartRecord r;
        r.address = server.url("/a.mp4");
        r.size = static_cast<std::int64_t>(before.size());
        r.etag = "\"v1\"";
        r.done = done;
        writePart(part(), before, done);
        if (c.spoilRecord) c.spoilRecord(r);
        std::string text = *formatPartRecord(r);
        if (c.spoilText) c.spoilText(text);
        std::ofstream(record(), std::ios::binary) << text;

        server.resetBytesSent();
        const DownloadRecord d = runDownload(params(server.url("/a.mp4")));
        if (c.serve == Gone) {
            EXPECT_EQ(d.outcome, TaskOutcome::Refused);
            EXPECT_TRUE(filesIn(folder).empty()) << "a part of a file that is gone is of no use";
            continue;
        }
        ASSERT_EQ(d.outcome, TaskOutcome::Complete);
        EXPECT_TRUE(readFile(target()) == served) << "one version, whole";
        EXPECT_EQ(filesIn(folder), std::vector<std::string>{"a.mp4"});
        if (c.reason == 0) {
            ASSERT_NE(d.first(event::continued), nullptr);
            EXPECT_EQ(d.first(event::continued)->value, 200000);
            EXPECT_EQ(d.count(event::startedOver), 0);
            EXPECT_TRUE(askedOnlyFor(missingRanges(done, r.size), r.size, server.requests(), 0));
            for (const HttpRequest& request : server.requests())
                EXPECT_NE(request.header("If-Range"), "") << "every request names the version it continues";
        } else {
            EXPECT_EQ(d.count(event::continued), 0);
            ASSERT_NE(d.first(event::startedOver), nullptr);
            EXPECT_EQ(d.first(event::startedOver)->value, c.reason);
            EXPECT_TRUE(d.logged("重新开始下载"));
        }
    }
}

TEST_P(ResumeTest, TwoDownloadsNeverShareAPartFile) {
    // The second download of the same name, while the first is under way,
    // meets the first one's part file: the same-name rule gives it another.
    const std::string one = patternBytes(2 * 1024 * 1024, 1), two = patternBytes(300000, 2);
    // Slow enough to be under way still when the second has ended, even under TSan.
    LoopbackServer slow(pacedFile(one, 256 * 1024, 5));
    LoopbackServer fast(pacedFile(two, 50 * 1024 * 1024, 5));
    Download first;
    TaskParam p1 = params(slow.url("/a.mp4"));
    ASSERT_TRUE(first.startTask(p1));
    for (int i = 0; i < 500 && !std::filesystem::exists(part()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(std::filesystem::exists(part()));
    const DownloadRecord d = runDownload(params(fast.url("/a.mp4")));
    EXPECT_EQ(d.outcome, TaskOutcome::Complete);
    ASSERT_NE(d.first(event::nameClash), nullptr) << "the name is held by a download under way";
    EXPECT_TRUE(readFile(folder + "/a(1).mp4") == two);
    first.stopTask();
    EXPECT_TRUE(first.waitUntilIdle(std::chrono::seconds(10)));
    ASSERT_TRUE(std::filesystem::exists(part())) << "the first one's part is its own";
    const auto kept = loadPartRecord(record());
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->address, p1.url);
}

// A server that names no validator (as much generated or proxied media):
// what is on the disk is compared with the server's bytes before a byte is
// added to it, and a file replaced by another of the same size is fetched
// whole, never mixed.
TEST_P(ResumeTest, WithoutValidatorsThePartIsComparedWithTheServersBytesBeforeItIsContinued) {
    const std::string before = patternBytes(400000, 7);
    const std::vector<ByteRange> done = {{0, 150000}, {250000, 300000}};
    const HeldBytesCheck plan = planHeldBytesCheck(done, 150000);
    ASSERT_FALSE(plan.probes.empty());
    const auto changedAt = [&](std::int64_t at) {
        std::string changed = before;
        changed[static_cast<std::size_t>(at)] = static_cast<char>(changed[static_cast<std::size_t>(at)] ^ 0x5A);
        return changed;
    };
    struct Case {
        const char* name;
        std::string served;
        bool strict;
        int reason;  // 0: continued
    };
    const int changed = static_cast<int>(StartOverReason::FileChanged);
    const std::vector<Case> cases = {
        {"the same file", before, false, 0},
        {"another file of the same size", patternBytes(400000, 8), false, changed},
        {"the same but for one byte a probe holds", changedAt(plan.probes.back().begin + 10), false, changed},
        {"the same but for one byte the overlap holds", changedAt(plan.overlap.begin + 1), false, changed},
        // A sample is no proof: a byte between the windows goes unseen,
        // which is why such a continuation is never called verified, and
        // why proof may be asked for.
        {"one byte no window holds", changedAt(plan.probes.front().begin - 1000), false, 0},
        {"the same file, proof asked for", before, true, static_cast<int>(StartOverReason::Unprovable)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        LoopbackServer server(fileScript(c.served, [](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
            reply.keepAlive = false;
            reply.bytesPerSecond = 2 * 1024 * 1024;  // a stream sends little past where it is closed
        }));
        PartRecord r{server.url("/a.mp4"), static_cast<std::int64_t>(before.size()), "", "", done};
        writePart(part(), before, done);
        std::ofstream(record(), std::ios::binary) << *formatPartRecord(r);

        server.resetBytesSent();
        TaskParam p = params(server.url("/a.mp4"));
        p.strictResume = c.strict;
        const DownloadRecord d = runDownload(p);
        ASSERT_EQ(d.outcome, TaskOutcome::Complete);
        EXPECT_EQ(filesIn(folder), std::vector<std::string>{"a.mp4"});
        if (c.reason == 0) {
            ASSERT_NE(d.first(event::continued), nullptr);
            EXPECT_EQ(d.first(event::continued)->value, 200000);
            ASSERT_NE(d.first(event::heldChecked), nullptr) << "said to be sampled";
            EXPECT_EQ(d.first(event::heldChecked)->value, plan.bytes()) << "the check's own bytes";
            EXPECT_EQ(d.first(event::heldChecked)->extra, 0) << "a part file";
            EXPECT_TRUE(d.logged("其余未经核对"));
            EXPECT_EQ(server.requests().front().header("Range"),
                      "bytes=" + std::to_string(plan.overlap.begin) + "-249999")
                << "the continuation starts a window early";
            // The missing 200000 bytes, the windows, and for each stream
            // opened (however many a loaded machine's pace makes: a part
            // split again opens another) its headers and what it receives
            // past its part before it is closed.
            const std::int64_t streams = static_cast<std::int64_t>(server.requests().size());
            EXPECT_LE(server.bytesSent(), 200000 + plan.bytes() + std::max<std::int64_t>(streams, 5) * (20480 + 16 * 1024) + 20000)
                << streams << " streams";
        } else {
            EXPECT_TRUE(readFile(target()) == c.served) << "one version, whole";
            EXPECT_EQ(d.count(event::continued), 0);
            ASSERT_NE(d.first(event::startedOver), nullptr);
            EXPECT_EQ(d.first(event::startedOver)->value, c.reason);
            if (c.reason == changed) {
                EXPECT_TRUE(d.logged("未完成文件的内容与服务器上的文件不同"));
            }
        }
    }
}

// A file already under the name (the user's own, a download cut short by
// another tool, or this very file) is extended only when its bytes are
// the server's file's start; anything else is left untouched and the
// download saved beside it.
TEST_P(ResumeTest, AFileUnderTheNameIsCompletedOnlyWhenItIsThisFilesStartAndElseLeftAlone) {
    const std::string content = patternBytes(400000, 3);
    std::string middleChanged = content;
    const HeldBytesCheck plan = planHeldBytesCheck({{0, 400000}}, 400000);
    ASSERT_FALSE(plan.probes.empty());
    const auto sampled = static_cast<std::size_t>(plan.probes.front().begin + 5);
    middleChanged[sampled] = static_cast<char>(middleChanged[sampled] ^ 0x11);  // inside a probe
    enum Outcome { Completed, AlreadyThere, SavedBeside };
    struct Case {
        const char* name;
        std::string existing;
        bool ranges;
        Outcome outcome;
        int reason;  // event 21 when saved beside
    };
    const int notThis = static_cast<int>(StartOverReason::NotThisFile);
    const std::vector<Case> cases = {
        {"the user's own notes", "my own notes\n", true, SavedBeside, notThis},
        {"the file's start", content.substr(0, 250000), true, Completed, 0},
        {"the file's first bytes only", content.substr(0, 1000), true, Completed, 0},
        {"the file, whole", content, true, AlreadyThere, 0},
        {"a larger file", content + "tail", true, SavedBeside, notThis},
        {"the same size, one byte changed", middleChanged, true, SavedBeside, notThis},
        {"a start the server cannot show", content.substr(0, 250000), false, SavedBeside,
         static_cast<int>(StartOverReason::NotChecked)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::ofstream(target(), std::ios::binary) << c.existing;
        LoopbackServer server(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
            if (!c.ranges) {
                reply.status = "200 OK";
                reply.headers.clear();
                reply.body = content;
            }
            reply.keepAlive = false;
            reply.bytesPerSecond = 2 * 1024 * 1024;  // a stream sends little past where it is closed
        }));
        TaskParam p = params(server.url("/a.mp4"));
        p.completeExisting = true;
        const DownloadRecord d = runDownload(p, [](std::int64_t) { return clashAnswer::giveUp; });
        EXPECT_EQ(d.count(event::nameClash), 0) << "nobody is asked: the check decides";
        switch (c.outcome) {
            case Completed:
                ASSERT_EQ(d.outcome, TaskOutcome::Complete);
                EXPECT_TRUE(readFile(target()) == content);
                EXPECT_EQ(filesIn(folder), std::vector<std::string>{"a.mp4"});
                ASSERT_NE(d.first(event::continued), nullptr);
                EXPECT_EQ(d.first(event::continued)->value, static_cast<std::int64_t>(c.existing.size()));
                ASSERT_NE(d.first(event::heldChecked), nullptr);
                EXPECT_EQ(d.first(event::heldChecked)->extra, 1) << "a file under the final name";
                break;
            case AlreadyThere:
                EXPECT_EQ(d.outcome, TaskOutcome::AlreadyThere);
                EXPECT_EQ(d.bytes, static_cast<std::int64_t>(content.size()));
                EXPECT_EQ(filesIn(folder), std::vector<std::string>{"a.mp4"});
                EXPECT_LE(server.bytesSent(), 128 * 1024 + 2 * 64 * 1024) << "the two windows, and little past them";
                break;
            case SavedBeside:
                ASSERT_EQ(d.outcome, TaskOutcome::Complete);
                EXPECT_TRUE(readFile(target()) == c.existing) << "never written to";
                EXPECT_TRUE(readFile(folder + "/a(1).mp4") == content);
                EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"a(1).mp4", "a.mp4"}));
                ASSERT_NE(d.first(event::startedOver), nullptr);
                EXPECT_EQ(d.first(event::startedOver)->value, c.reason);
                EXPECT_TRUE(d.logged("保留同名文件"));
                break;
        }
    }
}

TEST_P(ResumeTest, ANameNearTheFileSystemsLimitCanBeStoppedAndTakenUp) {
    const std::string content = patternBytes(3 * 1024 * 1024, 5);
    std::string name;
    for (int i = 0; i < 82; ++i) name += "歌";  // 246 bytes, with ".mp4" 250
    name += ".mp4";
    LoopbackServer server(pacedFile(content, 8 * 1024 * 1024, 5));
    TaskParam p = params(server.url("/a.mp4"));
    p.localPath = utf8ToGbk(target(name));
    const DownloadRecord first = runDownloadUntil(p, 1024 * 1024);
    ASSERT_EQ(first.outcome, TaskOutcome::Stopped);
    EXPECT_EQ(first.count(event::startedOver), 0) << "there was no record to call unusable";
    ASSERT_NE(first.first(event::partKept), nullptr) << "the part is kept";
    const DownloadRecord second = runDownload(p);
    ASSERT_EQ(second.outcome, TaskOutcome::Complete);
    ASSERT_NE(second.first(event::continued), nullptr);
    EXPECT_EQ(second.first(event::continued)->value, first.first(event::partKept)->value);
    EXPECT_TRUE(readFile(target(name)) == content);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{name});
}

INSTANTIATE_TEST_SUITE_P(BothPaths, ResumeTest, ::testing::Bool(), receivePathName);

}  // namespace
}  // namespace zorvan
