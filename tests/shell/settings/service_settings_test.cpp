// "设置": the video service's address, checked, remembered and used.
#include "shell/settings/service_settings.h"

#include "shell/program_state.h"
#include "shell/routing.h"
#include "support/box_answerer.h"
#include "support/demo_service.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/program_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace zorvan {
namespace {

using ServiceSettingsTest = test::ProgramTest;

TEST_F(ServiceSettingsTest, AnAddressIsCheckedRememberedAndUsedFromThenOn) {
    const std::string media = test::freshFolder("settings-media");
    test::makeDemoClips(media, 1000);
    test::DemoService service(media);
    ASSERT_FALSE(service.url().empty());
    EXPECT_EQ(checkServiceAddress(service.url()), QString());
    test::LoopbackServer other([](const test::HttpRequest&) {
        test::ScriptedReply reply;
        reply.raw = "HTTP/1.1 200 OK\r\nContent-Length: 13\r\n\r\n<html></html>";
        return reply;
    });
    EXPECT_EQ(checkServiceAddress("http://127.0.0.1:" + std::to_string(other.port())), "服务有回答，但不是作品列表");
    EXPECT_TRUE(checkServiceAddress("http://127.0.0.1:1").startsWith("无法连接："));

    ServiceSettingsDialog dialog("http://127.0.0.1:1", "", nullptr);
    for (const char* bad : {"", "ftp://host", "host:8080", "http://"}) {
        dialog.addressEdit()->setText(bad);
        EXPECT_EQ(dialog.chosenAddress(), "") << bad;
    }
    dialog.addressEdit()->setText(QString::fromStdString(" " + service.url() + "/ "));
    EXPECT_EQ(dialog.chosenAddress(), service.url());

    // A verdict appears in room kept for it: the dialog keeps its size, and
    // an address in it is never broken after "http://".
    dialog.show();
    const QSize before = dialog.size();
    dialog.addressEdit()->setText("http://127.0.0.1:1");
    dialog.checkButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return dialog.verdictLabel()->text().startsWith("无法连接"); }, 10000));
    EXPECT_EQ(dialog.size(), before);
    dialog.addressEdit()->setText("ftp://host");
    dialog.checkButton()->click();
    EXPECT_TRUE(dialog.verdictLabel()->text().startsWith(QString::fromUtf8("地址应以 http:/\u2060/\u2060 或")))
        << dialog.verdictLabel()->text().toStdString();
    EXPECT_EQ(dialog.size(), before);

    rememberServiceAddress(service.url());
    EXPECT_EQ(rememberedServiceAddress(), service.url());
    routines().changeService(service.url());
    EXPECT_EQ(programState().serviceAddress, service.url());
}

}  // namespace
}  // namespace zorvan
