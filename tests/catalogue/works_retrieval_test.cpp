#include "catalogue/works_retrieval.h"
#include "support/loopback_server.h"
#include "support/recording_works_view.h"
#include "text/code_page.h"
#include "web/http_client_init.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <string>
#include <vector>

namespace zorvan {
namespace {

using test::HttpRequest;
using test::LoopbackServer;
using test::RecordingWorksView;
using test::ScriptedReply;

struct Work {
    std::string name;
    std::string address;
};

std::string worksJson(const std::string& pagesText, const std::vector<Work>& works) {
    std::string json = "{\"code\":0,\"pages\":" + pagesText + ",\"data\":[";
    for (std::size_t i = 0; i < works.size(); ++i) {
        if (i) json += ",";
        json += "{\"songname\":\"" + works[i].name + "\",\"addtime\":\"2024-01-01\",\"resurl\":\"" +
                works[i].address + "\",\"lumono\":\"1\"}";
    }
    return json + "]}";
}

// Answers "?lumono=ID&p=N" from a table of page texts; other pages are empty.
class WorksService {
public:
    explicit WorksService(std::map<std::string, std::string> pages)
        : pages_(std::move(pages)), server_([this](const HttpRequest& request) {
              ScriptedReply reply;
              const auto p = request.target.find("&p=");
              const std::string page = p == std::string::npos ? "" : request.target.substr(p + 3);
              const auto it = pages_.find(page);
              reply.body = it != pages_.end() ? it->second : pages_.at("default");
              return reply;
          }) {}

    std::string address() const { return server_.url("/u/works/s"); }
    std::vector<std::string> targets() const {
        std::vector<std::string> result;
        for (const auto& request : server_.requests()) result.push_back(request.target);
        return result;
    }

private:
    std::map<std::string, std::string> pages_;
    LoopbackServer server_;
};

class WorksRetrievalTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(initHttpClient()); }
    RecordingWorksView view;
};

TEST_F(WorksRetrievalTest, FetchesEveryPageInOrderAndPairsNamesWithAddresses) {
    WorksService service({{"100", worksJson("3", {})},
                          {"1", worksJson("3", {{"晴天", "http://m/1.mp4"}, {"稻香", "http://m/2.mp4"}})},
                          {"2", worksJson("3", {{"夜曲", "http://m/3.mp4"}})},
                          {"3", worksJson("3", {{"Live 01", "http://m/4.mp4"}})},
                          {"default", ""}});
    retrieveWorks(view, service.address());

    EXPECT_EQ(service.targets(), (std::vector<std::string>{"/u/works/s?lumono=100001&p=100", "/u/works/s?lumono=100001&p=1",
                                                           "/u/works/s?lumono=100001&p=2", "/u/works/s?lumono=100001&p=3"}));
    ASSERT_EQ(view.rows.size(), 4u);
    const std::vector<std::string> names = {utf8ToGbk("晴天"), utf8ToGbk("稻香"), utf8ToGbk("夜曲"), "Live 01"};
    for (std::size_t j = 0; j < 4; ++j) {
        EXPECT_EQ(view.rows[j].cells[sequenceColumn], std::to_string(j + 1));
        EXPECT_EQ(view.rows[j].cells[songNameColumn], names[j]);
        EXPECT_EQ(view.rows[j].cells[mediaAddressColumn], "http://m/" + std::to_string(j + 1) + ".mp4");
    }
    EXPECT_EQ(view.buttonStates, (std::vector<std::pair<std::string, bool>>{{utf8ToGbk("请稍等"), false},
                                                                            {utf8ToGbk("确定"), true}}));
    EXPECT_EQ(view.titles.front(), utf8ToGbk("正在连接…")) << "busy from the click on";
    EXPECT_EQ(view.titles[1], utf8ToGbk("正在获取第1/3页"));
    EXPECT_EQ(view.titleAtAppend.front(), utf8ToGbk("正在获取数据：1\\4"));
    EXPECT_EQ(view.titles.back(), "Zorvan");
    EXPECT_EQ(view.waits, (std::vector<int>{100, 10, 10, 10, 10}));
    EXPECT_TRUE(view.notices.empty());
}

TEST_F(WorksRetrievalTest, PageOneHundredCountsTwiceButARunawayCountStopsAfterThreeEmptyPages) {
    WorksService service({{"100", worksJson("100", {{"a", "http://m/a.mp4"}})},
                          {"default", worksJson("100", {{"x", "http://m/x.mp4"}})}});
    retrieveWorks(view, service.address());
    EXPECT_EQ(service.targets().size(), 101u);
    EXPECT_EQ(service.targets().back(), "/u/works/s?lumono=100001&p=100");
    ASSERT_EQ(view.rows.size(), 101u);
    EXPECT_EQ(view.rows.front().cells[songNameColumn], "a");
    EXPECT_EQ(view.rows.back().cells[songNameColumn], "a");
    EXPECT_EQ(view.titleAtAppend[0], utf8ToGbk("正在获取数据：1\\101"));

    // A count far beyond the works: three empty pages in a row end the paging.
    WorksService runaway({{"100", worksJson("999999999", {{"a", "http://m/a.mp4"}})},
                          {"1", worksJson("999999999", {{"b", "http://m/b.mp4"}})},
                          {"default", worksJson("999999999", {})}});
    RecordingWorksView fresh;
    retrieveWorks(fresh, runaway.address());
    EXPECT_EQ(runaway.targets().size(), 5u) << "p=100, page 1, then three empty pages";
    EXPECT_EQ(fresh.rows.size(), 2u);
    EXPECT_EQ(fresh.titles.back(), "Zorvan");
}

TEST_F(WorksRetrievalTest, WithoutAPageCountTheFirstResponseIsAllThereIs) {
    for (const std::string& pagesText : {std::string("0"), std::string("\"x\"")}) {
        WorksService service({{"100", worksJson(pagesText, {{"only", "http://m/o.mp4"}})}, {"default", "unused"}});
        RecordingWorksView fresh;
        retrieveWorks(fresh, service.address());
        EXPECT_EQ(service.targets().size(), 1u) << pagesText;
        ASSERT_EQ(fresh.rows.size(), 1u) << pagesText;
        EXPECT_EQ(fresh.rows[0].cells[songNameColumn], "only");
    }
    // A space after the colon is trimmed away; one before ",\"data\":" hides the count.
    WorksService spaced({{"100", "{\"pages\": 2 ,\"data\":[]}"}, {"default", worksJson("2", {})}});
    retrieveWorks(view, spaced.address());
    EXPECT_EQ(spaced.targets().size(), 3u);
    WorksService broken({{"100", "{\"pages\":2, \"data\":[]}"}, {"default", worksJson("2", {})}});
    retrieveWorks(view, broken.address());
    EXPECT_EQ(broken.targets().size(), 1u);
}

TEST_F(WorksRetrievalTest, ValuesAreStoredAsFoundBetweenTheMarkers) {
    WorksService service({{"100", worksJson("0", {{" 起风了 ", "http:\\/\\/h\\/a.mp4"},
                                                  {"雨 🌧", "http://h/b.mp4"},
                                                  {"no address", ""},
                                                  {"after the gap", "http://h/d.mp4"}})},
                          {"default", ""}});
    retrieveWorks(view, service.address());
    // A work without an address is left out; the works after it are not.
    ASSERT_EQ(view.rows.size(), 3u);
    EXPECT_EQ(view.rows[0].cells[songNameColumn], utf8ToGbk("起风了"));
    EXPECT_EQ(view.rows[0].cells[mediaAddressColumn], "http:\\/\\/h\\/a.mp4") << "an address is kept as found";
    EXPECT_EQ(gbkToUtf8(view.rows[1].cells[songNameColumn]), "雨 🌧");
    EXPECT_EQ(view.rows[2].cells[sequenceColumn], "4") << "its place in the list";
    EXPECT_EQ(view.rows[2].cells[songNameColumn], "after the gap");
    EXPECT_EQ(view.titles[view.titles.size() - 2], utf8ToGbk("正在获取数据：4\\4"));
    EXPECT_EQ(view.titles.back(), "Zorvan");
}

// Names as a JSON service writes them are the names it means; a work it
// gave no name is listed all the same, under its performer and place; each
// work's own id is taken from its own record only.
TEST_F(WorksRetrievalTest, EscapedAndEmptyNamesAreListedAsMeantWithTheirOwnIds) {
    const std::string page =
        "{\"code\":0,\"pages\":0,\"data\":["
        "{\"songname\":\"\\u5c0f\\u5e78\\u8fd0\",\"addtime\":\"t\",\"id\":11,\"resurl\":\"http://h/1.mp4\",\"lumono\":\"1\"},"
        "{\"id\":\"b-12\",\"songname\":\"\",\"addtime\":\"t\",\"resurl\":\"http://h/2.mp4\",\"lumono\":\"1\"},"
        "{\"songname\":\"晴天 \\\"live\\\" \\ud83c\\udfb5\",\"addtime\":\"t\",\"resurl\":\"http://h/3.mp4\",\"lumono\":\"1\"},"
        "{\"songname\":\"a\\/b\\\\c \\ud800\",\"addtime\":\"t\",\"id\":14,\"resurl\":\"http://h/4.mp4\",\"lumono\":\"1\"}"
        "]}";
    WorksService service({{"100", page}, {"default", ""}});
    struct IdView : RecordingWorksView {
        std::map<int, std::string> ids;
        void setWorkId(int row, const std::string& id) override { ids[row] = id; }
    } listed;
    retrieveWorks(listed, service.address());
    ASSERT_EQ(listed.rows.size(), 4u) << "an empty name ends nothing";
    EXPECT_EQ(gbkToUtf8(listed.rows[0].cells[songNameColumn]), "小幸运");
    EXPECT_EQ(gbkToUtf8(listed.rows[1].cells[songNameColumn]), "100001 #2");
    EXPECT_EQ(gbkToUtf8(listed.rows[2].cells[songNameColumn]), "晴天 \"live\" 🎵");
    EXPECT_EQ(gbkToUtf8(listed.rows[3].cells[songNameColumn]), "a/b\\c ?") << "a lone surrogate is no character";
    EXPECT_EQ(listed.ids, (std::map<int, std::string>{{0, "11"}, {1, "b-12"}, {3, "14"}}))
        << "the third work has no id of its own, and none of its neighbours'";
}

TEST_F(WorksRetrievalTest, NothingAtAllAsksForAnotherTryAndNoWorksIsSaid) {
    std::string deadAddress;
    {
        LoopbackServer gone([](const HttpRequest&) { return ScriptedReply{}; });
        deadAddress = gone.url("/u/works/s");
    }
    retrieveWorks(view, deadAddress);
    EXPECT_EQ(view.notices, (std::vector<std::string>{utf8ToGbk("获取信息出错！请重试")}));
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(view.buttonStates.back(), std::make_pair(utf8ToGbk("确定"), true)) << "ready for another try";
    EXPECT_EQ(view.titles.back(), "Zorvan");

    WorksService empty({{"100", worksJson("0", {})}, {"default", ""}});
    RecordingWorksView none;
    retrieveWorks(none, empty.address());
    EXPECT_TRUE(none.notices.empty());
    EXPECT_EQ(none.titles.back(), utf8ToGbk("没有找到作品"));
}

// A view without a window may take several pages at once: the same works,
// in the same order, with several requests under way together.
TEST_F(WorksRetrievalTest, PagesAskedForSeveralAtOnceGiveTheSameWorksInOrder) {
    constexpr int pages = 7;
    std::atomic<int> underWay{0}, mostAtOnce{0};
    LoopbackServer server([&](const HttpRequest& request) {
        const int now = ++underWay;
        for (int most = mostAtOnce.load(); now > most && !mostAtOnce.compare_exchange_weak(most, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        const std::string page = request.target.substr(request.target.find("&p=") + 3);
        ScriptedReply reply;
        reply.body = page == "100" || std::stoi(page) > pages
                         ? worksJson(std::to_string(pages), {})
                         : worksJson(std::to_string(pages), {{"song " + page, "http://m/" + page + ".mp4"}});
        --underWay;
        return reply;
    });
    struct SeveralAtOnce : RecordingWorksView {
        int pagesAtOnce() override { return 3; }
    } several;
    retrieveWorks(several, server.url("/u/works/s"));
    ASSERT_EQ(several.rows.size(), static_cast<std::size_t>(pages));
    for (int j = 0; j < pages; ++j) {
        EXPECT_EQ(several.rows[static_cast<std::size_t>(j)].cells[songNameColumn], "song " + std::to_string(j + 1));
        EXPECT_EQ(several.rows[static_cast<std::size_t>(j)].cells[mediaAddressColumn],
                  "http://m/" + std::to_string(j + 1) + ".mp4");
    }
    EXPECT_EQ(mostAtOnce.load(), 3) << "three pages were asked for together";
    EXPECT_EQ(several.titles[1], utf8ToGbk("正在获取第1/7页")) << "progress still counts every page";
}

TEST(PerformerId, GoesIntoTheQueryUnchangedOrPercentEncoded) {
    EXPECT_EQ(queryPerformerId("100001"), "100001");
    EXPECT_EQ(queryPerformerId("-12"), "-12");
    EXPECT_EQ(queryPerformerId("12 3&p=9#x"), "12%203%26p%3D9%23x");
    EXPECT_EQ(queryPerformerId(utf8ToGbk("主播")), "%E4%B8%BB%E6%92%AD");
    EXPECT_EQ(worksAddressFor("http://h:1"), "http://h:1/u/works/s");
}

}  // namespace
}  // namespace zorvan
