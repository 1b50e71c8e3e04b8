#include "shell/startup.h"

#include "shell/gui_thread.h"
#include "place/app_id.h"
#include "place/program_directory.h"
#include "shell/fatal_error.h"
#include "shell/program_end.h"
#include "shell/signal_end.h"
#include "shell/language.h"
#include "shell/program_state.h"
#include "shell/settings/service_settings.h"
#include "web/service_address.h"

#include <QApplication>
#include <QFont>
#include <QIcon>

#include <memory>
#include <string>
#include <vector>

namespace zorvan {

void applyProgramLook() {
    QFont font = QApplication::font();
    font.setPixelSize(12);
    QApplication::setFont(font);
    // Window and task bar icon from the installed theme, and the desktop
    // entry the shell matches the windows to (Wayland's app id).
    QGuiApplication::setDesktopFileName(QString::fromLatin1(appId));
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(appId)));
    // The window's own Chinese texts, and the standard buttons of message
    // boxes in Chinese ("确定", "是", "否"), until a language is chosen.
    useLanguage(Language::Chinese);
}

int runMessageLoop() {
    if (QApplication::topLevelWidgets().isEmpty()) return 0;
    return QApplication::exec();
}

int programStart(int& argc, char** argv, const StartupSteps& steps) {
    // 1. Environment: this thread becomes the GUI thread; the program
    //    directory becomes the current directory.
    std::unique_ptr<QApplication> app;
    if (!QCoreApplication::instance()) app = std::make_unique<QApplication>(argc, argv);
    // The program ends through endProgram only, never by a last window closing.
    QApplication::setQuitOnLastWindowClosed(false);
    applyProgramLook();
    const std::vector<std::string> args(argv, argv + argc);
    useLanguage(chooseLanguage(args));
    markGuiThread();
    enterProgramDirectory();

    // 2. Program-wide state.
    createProgramState(serviceAddress(args, rememberedServiceAddress()));
    programState().givenServiceAddress = givenServiceAddress(args);

    if (steps.installRoutines) steps.installRoutines(programState().serviceAddress);

    // 3. The clean-up, which a termination signal runs as closing does.
    registerCleanup(cleanup);
    endOnTerminationSignals();

    // 4. Start-up routines of the other subsystems, in this order.
    steps.installFileHooks();
    steps.loadSkinModule();
    if (!steps.initHttpClient()) endProgram(0);

    // 5. The main window.
    if (!steps.loadMainWindow()) fatalError(std::nullopt, std::string("载入启动窗口失败"));

    // 6. The message loop.
    steps.runMessageLoop();
    return 0;
}

}  // namespace zorvan
