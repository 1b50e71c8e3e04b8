// The window in English or in its own Chinese, chosen by the desktop's
// language, the option or the settings.
#include "shell/language.h"

#include "shell/downloads/download_texts.h"
#include "shell/downloads/downloads_view.h"

#include "shell/settings/program_settings.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "shell/works/works_list_tools.h"
#include "support/program_fixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

#include <cerrno>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace zorvan {
namespace {

using LanguageTest = test::ProgramTest;

// Sets the locale variables for one choice and puts the old ones back.
class LocaleVariables {
public:
    explicit LocaleVariables(const std::map<std::string, std::string>& values) {
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            if (const char* old = std::getenv(name)) saved_[name] = old;
            ::unsetenv(name);
        }
        for (const auto& [name, value] : values) ::setenv(name.c_str(), value.c_str(), 1);
    }
    ~LocaleVariables() {
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(name);
        for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
    }

private:
    std::map<std::string, std::string> saved_;
};

Language chosenWith(const std::map<std::string, std::string>& variables, const std::vector<std::string>& args = {}) {
    LocaleVariables locale(variables);
    return chooseLanguage(args);
}

TEST_F(LanguageTest, TheDesktopsLanguageTheOptionAndTheSettingChooseIt) {
    EXPECT_EQ(chosenWith({{"LANG", "zh_CN.UTF-8"}}), Language::Chinese);
    EXPECT_EQ(chosenWith({{"LANG", "C"}}), Language::Chinese) << "a bare machine keeps the window's own texts";
    EXPECT_EQ(chosenWith({{"LANG", "C.UTF-8"}}), Language::Chinese);
    EXPECT_EQ(chosenWith({{"LANG", "en_US.UTF-8"}}), Language::English);
    EXPECT_EQ(chosenWith({{"LANG", "de_DE.UTF-8"}}), Language::English) << "no German: English";
    EXPECT_EQ(chosenWith({{"LANG", "en_US.UTF-8"}, {"LC_ALL", "zh_TW.UTF-8"}}), Language::Chinese);
    EXPECT_EQ(chosenWith({{"LANG", "zh_CN.UTF-8"}, {"LANGUAGE", "fr:zh"}}), Language::English);
    EXPECT_EQ(chosenWith({{"LANG", "en_US.UTF-8"}}, {"zorvan", "--lang", "zh"}), Language::Chinese);
    EXPECT_EQ(chosenWith({{"LANG", "zh_CN.UTF-8"}}, {"zorvan", "--lang=en"}), Language::English);
    programSettings().setValue("ui/language", "en");
    EXPECT_EQ(chosenWith({{"LANG", "zh_CN.UTF-8"}}), Language::English);
    EXPECT_EQ(chosenWith({{"LANG", "zh_CN.UTF-8"}}, {"zorvan", "--lang", "zh"}), Language::Chinese);
}

TEST_F(LanguageTest, TheWindowSpeaksEnglishAndComesBackToChinese) {
    const auto texts = [this] {
        QStringList shown = {main().performerLabel()->text(), main().fetchButton()->text(),
                             main().worksList()->headerItem()->text(2), main().filterEdit()->placeholderText()};
        for (QAction* action : main().worksMenu()->actions())
            if (!action->isSeparator()) shown << action->text();
        shown << worksCountText(36, 36);
        return shown;
    };
    QueueItem failed;
    failed.state = ItemState::Failed;
    failed.failureKind = FailureKind::Unreachable;
    failed.lastError = "连接 [127.0.0.1:1]失败";
    useLanguage(Language::English);
    // Without the engine's Chinese log line.
    EXPECT_EQ(stateText(failed), "Failed: The server cannot be reached");
    destroyAllWindows();
    ASSERT_TRUE(loadWindow(WindowKind::Main));
    EXPECT_EQ(texts(), (QStringList{"Lumo id:", "OK", "Song", "Search songs", "Play", "Download", "Show downloaded",
                                    "Stay on top", "36 works"}));
    EXPECT_LE(main().performerLabel()->geometry().right(), main().performerIdEdit()->x()) << "nothing clipped";

    useLanguage(Language::Chinese);
    destroyAllWindows();
    ASSERT_TRUE(loadWindow(WindowKind::Main));
    EXPECT_EQ(texts(), (QStringList{"主播Lumo：", "确定", "歌名", "搜索歌名", "播放", "下载", "查看已下载", "置顶",
                                    "共 36 个作品"}));
    EXPECT_EQ(stateText(failed), "失败：无法连接服务器（连接 [127.0.0.1:1]失败）");
    // The queue gives data; the window words it.
    failed.failureKind = FailureKind::Stalled;
    failed.stalledSeconds = 20;
    EXPECT_EQ(stateText(failed), "失败：20 秒没有收到数据");
    failed.failureKind = FailureKind::BadAddress;
    EXPECT_EQ(stateText(failed), "失败：地址无效或不受支持");
    failed.failureKind = FailureKind::Other;
    failed.cause = {CauseKind::Disk, 0, ENOENT, "the folder is gone: /x"};
    EXPECT_EQ(stateText(failed), "失败：文件夹不存在");
    EXPECT_EQ(queuePauseWords(failed.cause, Words::Chinese), "文件夹不存在");
    EXPECT_EQ(queuePauseWords({}, Words::Chinese), "无法连接服务器，下载已暂停");
}

}  // namespace
}  // namespace zorvan
