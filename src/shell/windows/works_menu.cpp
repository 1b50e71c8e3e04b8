#include "shell/windows/works_menu.h"

#include "shell/windows/main_window.h"

#include <QCursor>
#include <QMenu>

namespace zorvan {

QPoint worksMenuPosition(QPoint cursor) { return cursor + QPoint(3, 3); }

void showWorksMenu(MainWindow& window) {
    // The queue's two commands stand after "下载" for this one display; the
    // menu itself keeps its own items.
    QMenu* menu = window.worksMenu();
    const QList<QAction*> items = menu->actions();
    const qsizetype at = items.indexOf(window.downloadCommand());
    const QList<QAction*> extra = {window.downloadAllCommand(), window.downloadListCommand()};
    menu->insertActions(at + 1 < items.size() ? items[at + 1] : nullptr, extra);
    QAction* separator = menu->addSeparator();
    const QList<QAction*> after = {window.followCommand(), window.followingCommand(), window.mediaWallCommand(),
                                   window.settingsCommand()};
    menu->addActions(after);
    menu->exec(worksMenuPosition(QCursor::pos()));
    for (QAction* action : extra + after) menu->removeAction(action);
    menu->removeAction(separator);
    delete separator;
}

}  // namespace zorvan
