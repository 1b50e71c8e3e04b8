#pragma once

#include <QString>

#include <cstdint>
#include <string>

class QListWidgetItem;

namespace zorvan {

class MainWindow;

// The file a library entry names, relative to the download folder: the
// entry's own name, or for a file in a subfolder (a performer's folder)
// its path there, which the entry keeps beside the name it shows.
QString entryOf(const QListWidgetItem& item);

// What the library view offers beside playing: its entries' popup menu
// with "打开所在文件夹" and "删除" (to the desktop's trash, after asking),
// and each entry's size and date as its tooltip.
void attachLibraryActions(MainWindow& window);

// "大小 19.7 MB，2026-12-08 05:31" for a file of `bytes` last written at
// `modified` (seconds since the epoch, local time).
QString libraryEntryDetails(std::int64_t bytes, std::int64_t modified);

// The folder of a file (UTF-8) in the desktop's file manager.
void openFolderOf(const std::string& path);

// Puts the entry's file into the trash after the user said yes; refreshes
// the list. False when nothing was removed (declined, gone, refused).
bool deleteLibraryEntry(const QString& entry);

}  // namespace zorvan
