// Starts the real demo service as a process on a free loopback port and
// reads it the way Zorvan does.
#include "catalogue/works_retrieval.h"
#include "support/demo_service.h"
#include "support/recording_works_view.h"
#include "text/code_page.h"
#include "web/http_client_init.h"
#include "web/http_fetch.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace zorvan {
namespace {

class DemoServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(initHttpClient());
        media_ = ::testing::TempDir() + "zorvan-demo-media";
        test::makeDemoClips(media_, 5000);
        service_ = new test::DemoService(media_);
    }
    static void TearDownTestSuite() { delete service_; }

    test::RecordingWorksView retrieve(const std::string& id) {
        test::RecordingWorksView view;
        view.id = id;
        retrieveWorks(view, worksAddressFor(service_->url()));
        return view;
    }

    static inline std::string media_;
    static inline test::DemoService* service_ = nullptr;
};

TEST_F(DemoServiceTest, ServesEachPerformerInTheServiceShape) {
    ASSERT_FALSE(service_->url().empty()) << "the demo service did not start";
    const auto standard = retrieve("100001");
    ASSERT_EQ(standard.rows.size(), 36u);
    EXPECT_EQ(standard.rows[0].cells[songNameColumn], utf8ToGbk("小幸运"));
    EXPECT_EQ(standard.rows[35].cells[mediaAddressColumn], service_->url() + "/media/100001/36.mp4");

    EXPECT_EQ(retrieve("100002").rows.size(), 1000u);
    const auto empty = retrieve("100003");
    EXPECT_TRUE(empty.rows.empty());
    EXPECT_TRUE(empty.notices.empty());
    const auto escaped = retrieve("100004");
    ASSERT_FALSE(escaped.rows.empty());
    EXPECT_EQ(escaped.rows[0].cells[mediaAddressColumn].rfind("http:\\/\\/127.0.0.1:", 0), 0u);
    const auto emoji = retrieve("100005");
    ASSERT_FALSE(emoji.rows.empty());
    EXPECT_NE(gbkToUtf8(emoji.rows[0].cells[songNameColumn]).find("😀"), std::string::npos);
}

TEST_F(DemoServiceTest, MediaAnswersRangesExactly) {
    ASSERT_FALSE(service_->url().empty());
    std::ifstream file(media_ + "/clip1.mp4", std::ios::binary);
    const std::string clip((std::istreambuf_iterator<char>(file)), {});

    std::string headers = "Range: bytes=100-199", responseHeaders;
    const std::string address = service_->url() + "/media/100001/2.mp4";  // the second work plays clip 1
    EXPECT_EQ(httpFetch(address, 0, {}, nullptr, nullptr, &headers, nullptr, {}, nullptr, {}, &responseHeaders),
              clip.substr(100, 100));
    EXPECT_EQ(responseHeaders.rfind("HTTP/1.1 206", 0), 0u);
    EXPECT_NE(responseHeaders.find("Content-Range: bytes 100-199/" + std::to_string(clip.size())), std::string::npos);

    EXPECT_EQ(httpFetch(address), clip);
    headers = "Range: bytes=-10";
    EXPECT_EQ(httpFetch(address, 0, {}, nullptr, nullptr, &headers), clip.substr(clip.size() - 10));
    headers = "Range: bytes=99999999-";
    httpFetch(address, 0, {}, nullptr, nullptr, &headers, nullptr, {}, nullptr, {}, &responseHeaders);
    EXPECT_EQ(responseHeaders.rfind("HTTP/1.1 416", 0), 0u);
    EXPECT_EQ(httpFetchText(service_->url() + "/res/play/player.swf").empty(), false);
}

}  // namespace
}  // namespace zorvan
