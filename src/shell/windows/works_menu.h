#pragma once

#include <QPoint>

namespace zorvan {

class MainWindow;

// Where the works list's popup menu opens: just right of and below the cursor.
QPoint worksMenuPosition(QPoint cursor);

// Pops up the items of the main window's works menu, with "全部下载" and
// "下载列表" after "下载", at the cursor and returns when the menu closes; a
// chosen item is routed like any command.
void showWorksMenu(MainWindow& window);

}  // namespace zorvan
