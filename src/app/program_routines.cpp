#include "app/program_routines.h"

#include "catalogue/works_retrieval.h"
#include "shell/downloads/download_control.h"
#include "shell/library/downloaded_view.h"
#include "shell/library/stay_on_top.h"
#include "shell/routing.h"
#include "shell/windows.h"
#include "shell/works/works_list_view.h"
#include "web/http_client_init.h"

namespace zorvan {

void installProgramRoutines(const std::string& serviceAddress) {
    Routines& r = routines();
    r.retrieveWorks = [worksAddress = worksAddressFor(serviceAddress)] {
        WorksListView view;
        retrieveWorks(view, worksAddress);
    };
    r.downloadSelectedWork = startDownload;
    r.startDownloadInWindow = onDownloadWindowCreated;
    r.showDownloadProgress = onProgressTick;
    r.toggleDownloadedView = toggleDownloadedView;
    r.toggleStayOnTop = toggleStayOnTop;
}

StartupSteps programStartupSteps() {
    StartupSteps steps;
    steps.installRoutines = installProgramRoutines;
    steps.installFileHooks = [] {};  // the player subsystem adds its hooks here
    steps.loadSkinModule = [] {};    // the skin subsystem maps its library here
    steps.initHttpClient = [] { return initHttpClient(); };
    steps.loadMainWindow = [] { return loadWindow(WindowKind::Main); };
    steps.runMessageLoop = [] { return runMessageLoop(); };
    return steps;
}

}  // namespace zorvan
