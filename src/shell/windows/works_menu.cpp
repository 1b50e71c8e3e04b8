#include "shell/windows/works_menu.h"

#include "shell/windows/main_window.h"

#include <QCursor>
#include <QMenu>

namespace zorvan {

QPoint worksMenuPosition(QPoint cursor) { return cursor + QPoint(3, 3); }

void showWorksMenu(MainWindow& window) {
    window.worksMenu()->exec(worksMenuPosition(QCursor::pos()));
}

}  // namespace zorvan
