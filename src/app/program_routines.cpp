#include "app/program_routines.h"

#include "catalogue/works_retrieval.h"
#include "shell/playback/preview.h"
#include "shell/playback/program_player.h"
#include "shell/downloads/download_control.h"
#include "shell/downloads/downloads_view.h"
#include "shell/follow/follow_control.h"
#include "shell/gui_thread.h"
#include "shell/library/downloaded_view.h"
#include "shell/library/media_wall.h"
#include "shell/library/stay_on_top.h"
#include "shell/program_state.h"
#include "shell/routing.h"
#include "shell/settings/service_settings.h"
#include "shell/windows.h"
#include "shell/works/works_list_view.h"
#include "skin/program_skin.h"
#include "web/http_client_init.h"

#include <mutex>
#include <string>

namespace zorvan {

namespace {

// The service in use: the retrieval's worker reads it as it starts, the
// settings change it on the GUI thread.
std::mutex serviceLock;
std::string currentService;

std::string serviceInUse() {
    std::lock_guard hold(serviceLock);
    return currentService;
}

void useService(const std::string& address) {
    {
        std::lock_guard hold(serviceLock);
        currentService = address;
    }
    if (programStateExists()) programState().serviceAddress = address;
}

}  // namespace

void installProgramRoutines(const std::string& serviceAddress) {
    Routines& r = routines();
    useService(serviceAddress);
    r.attachSkin = attachSkin;
    r.retrieveWorks = [] {
        WorksListView view;
        retrieveWorks(view, worksAddressFor(serviceInUse()));
        postToGui(refreshListedMediaFiles);
    };
    r.changeService = useService;
    r.showSettings = [] { showServiceSettings(routines().changeService); };
    r.followPerformer = followShownPerformer;
    r.showFollowing = showFollowingView;
    r.showMediaWall = [] { showMediaWall(playDownloadedFile); };
    r.startFollowing = startFollowWatch;
    r.downloadSelectedWork = startDownload;
    r.downloadAllWorks = downloadAllWorks;
    r.showDownloadList = showDownloadsView;
    r.restoreDownloads = restoreDownloads;
    r.confirmEnd = confirmEnd;
    r.startDownloadInWindow = onDownloadWindowCreated;
    r.showDownloadProgress = onProgressTick;
    r.pauseDownload = pauseCurrentDownload;
    r.cancelDownload = cancelCurrentDownload;
    r.toggleDownloadedView = toggleDownloadedView;
    r.toggleStayOnTop = toggleStayOnTop;
    r.previewSelectedWork = previewSelectedWork;
    r.createPreviewPlayer = createPreviewPlayer;
    r.fitPreviewPlayer = fitPreviewPlayer;
    r.stopPreview = stopPreview;
    r.applyPreviewStayOnTop = applyPreviewStayOnTop;
    r.releasePreviewStayOnTop = releasePreviewStayOnTop;
    r.playDownloadedFile = playDownloadedFile;
    r.createLocalPlayer = createLocalPlayer;
}

StartupSteps programStartupSteps() {
    StartupSteps steps;
    steps.installRoutines = installProgramRoutines;
    steps.installFileHooks = startPlayer;
    steps.loadSkinModule = loadSkinModule;
    steps.initHttpClient = [] { return initHttpClient(); };
    steps.loadMainWindow = [] {
        wireWindows();
        return loadWindow(WindowKind::Main);
    };
    steps.runMessageLoop = [] { return runMessageLoop(); };
    return steps;
}

}  // namespace zorvan
