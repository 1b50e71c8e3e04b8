#include "app/program_routines.h"

#include "catalogue/works_retrieval.h"
#include "player/preview.h"
#include "player/program_player.h"
#include "shell/downloads/download_control.h"
#include "shell/downloads/downloads_view.h"
#include "shell/library/downloaded_view.h"
#include "shell/library/stay_on_top.h"
#include "shell/routing.h"
#include "shell/windows.h"
#include "shell/works/works_list_view.h"
#include "skin/program_skin.h"
#include "web/http_client_init.h"

namespace zorvan {

void installProgramRoutines(const std::string& serviceAddress) {
    Routines& r = routines();
    r.attachSkin = attachSkin;
    r.retrieveWorks = [worksAddress = worksAddressFor(serviceAddress)] {
        WorksListView view;
        retrieveWorks(view, worksAddress);
    };
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
    steps.loadMainWindow = [] { return loadWindow(WindowKind::Main); };
    steps.runMessageLoop = [] { return runMessageLoop(); };
    return steps;
}

}  // namespace zorvan
