#pragma once

#include "download_policy/work_file.h"

#include <QString>

#include <string>

namespace zorvan {

class MainWindow;

// What the works list does beside the retrieval's rows: the filter box
// narrows it to song names holding its text as it is typed, a click on a
// column's header sorts by it (sequence as a number, name; not while a
// retrieval fills it), the count beneath says how many works there are, and
// a tick marks each work whose file is already in the download folder (its
// own, as the library knows, or one of its name the library does not know).
void attachWorksListTools(MainWindow& window);

// Looks again which works are in the download folder: every row, with what
// the library knows now, or (after a download) only those of one song name.
void refreshDownloadedMarks(const QString& songName = {});

// "共 36 个作品", or "5 / 36 个作品" while the filter hides some; empty for
// an empty list.
QString worksCountText(int total, int shown);

}  // namespace zorvan
