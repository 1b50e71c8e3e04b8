#include "shell/playback/preview.h"

#include "player/control_bar.h"
#include "player/flash_host.h"
#include "player/media_player.h"
#include "player/player_address.h"
#include "shell/playback/program_player.h"
#include "shell/library/stay_on_top.h"
#include "download_policy/download_folder.h"
#include "shell/program_state.h"
#include "shell/windows.h"
#include "shell/windows/local_player_window.h"
#include "shell/windows/main_window.h"
#include "shell/windows/preview_window.h"
#include "text/code_page.h"

#include <QTreeWidget>

namespace zorvan {

namespace {

// The player takes the window's inside but the bar's 26 pixels at the
// bottom (the inside, not the frame: a window manager's title bar would
// otherwise push the bar out of the window).
int playerHeight(const QWidget* window) { return window->height() - ControlBar::barHeight; }

}  // namespace

void previewSelectedWork() {
    MainWindow* main = mainWindow();
    PreviewWindow* preview = previewWindow();
    if (!main || !preview || !playerStarted()) return;
    QTreeWidget* list = main->worksList();
    if (list->topLevelItemCount() == 0) return;
    FlashHost& host = programFlashHost();
    host.StopMovie();
    // No current row: an empty address and an empty title, as listed.
    const QTreeWidgetItem* row = list->currentItem();
    const QString listed = row ? row->text(1) : QString();
    const std::string address = previewAddress(programState().serviceAddress, listed.toStdString());
    host.LoadMovie(QString::fromStdString(address));
    preview->setWindowTitle(row ? row->text(2) : QString());
    main->hide();
    preview->show();
    if (host.HostWindow()) host.HostWindow()->setFocus();
}

void createPreviewPlayer() {
    PreviewWindow* preview = previewWindow();
    if (!preview || !playerStarted()) return;
    FlashHost& host = programFlashHost();
    host.Create(preview, 0, 0, preview->width(), playerHeight(preview), 3);
    host.AllowFullScreen(true);
    // The player movie, loaded once before the first preview.
    host.LoadMovie(QString::fromStdString(previewAddress(programState().serviceAddress, "")));
}

void fitPreviewPlayer() {
    PreviewWindow* preview = previewWindow();
    if (!preview || !playerStarted()) return;
    programFlashHost().SetWidth(preview->width(), true);
    programFlashHost().SetHeight(playerHeight(preview), true);
}

void stopPreview() {
    if (playerStarted()) programFlashHost().StopMovie();
}

void applyPreviewStayOnTop() { applyStayOnTop(previewWindow()); }
void releasePreviewStayOnTop() { releaseStayOnTop(previewWindow()); }

void playDownloadedFile(const QString& entry) {
    MainWindow* main = mainWindow();
    if (!main) return;
    ProgramState& state = programState();
    state.localPlaybackPath = utf8ToGbk(downloadFolder() + "/" + entry.toStdString());
    state.localPlaybackName = utf8ToGbk(entry.toStdString());
    main->hide();
    if (!loadWindow(WindowKind::LocalPlayer)) main->show();
}

void createLocalPlayer() {
    LocalPlayerWindow* window = localPlayerWindow();
    if (!window) return;
    const ProgramState& state = programState();
    // The player's widgets belong to the window and play until it closes.
    auto* player = new MediaPlayer(window);
    player->Create(0, 0, window->width(), playerHeight(window));
    player->Open(QString::fromStdString(gbkToUtf8(state.localPlaybackPath)));
    window->setWindowTitle(QString::fromStdString(gbkToUtf8(state.localPlaybackName)));
    applyStayOnTop(window);
}

}  // namespace zorvan
