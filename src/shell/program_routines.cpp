#include "shell/program_routines.h"

#include "catalogue/works_retrieval.h"
#include "shell/download_control.h"
#include "shell/routing.h"
#include "shell/window_commands.h"
#include "shell/works_list_view.h"

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

}  // namespace zorvan
