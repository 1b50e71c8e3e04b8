#pragma once

#include "store/known_files.h"

#include "queue/queue_item.h"

#include <QString>

#include <string>
#include <vector>

namespace zorvan {

// "下载": every selected work goes into the download queue and into video/
// as its song name + ".mp4"; the download window above the main window
// shows the one being fetched. A work whose file is there is asked about
// first ("文件已存在,继续下载吗?"), so the engine never waits on a box.
void startDownload();

// "全部下载": every listed work whose file is not there yet.
void downloadAllWorks();
// The works whose file is neither there nor on its way are queued;
// `allThere` is said when none is left.
void downloadMissingWorks(std::vector<Work> works, const QString& allThere);
// After a listing: the works of the list whose files are saved have their
// media-server files brought up to the list's record (when chosen).
void refreshListedMediaFiles();
// A work (title and engine address, UTF-8) as the window saves it: in the
// download folder under its song name, or in its performer's folder under
// its sequence and song name, as the downloads page says.
Work workNamed(const std::string& title, const std::string& address, const std::string& performer = {},
               int sequence = 0, int repeat = 1);
// Who a queued work is, and where its listing would save it.
WorkIdentity identityOf(const Work& work);
// A work whose own file the library knows is damaged is fetched again in
// its place (the damaged copy set aside meanwhile); true when it is.
bool replaceIfDamaged(const KnownFiles& known, Work& work);

// The download window's creation: lays it out, docks it and shows the work
// being fetched.
void onDownloadWindowCreated();

// The download window's one-second tick: size, speed, amount and percentage
// of the work being fetched.
void onProgressTick();

// The download window's own commands.
void pauseCurrentDownload();
void cancelCurrentDownload();

// At start-up: the saved queue, taken up paused, and the downloads view
// when it holds work.
void restoreDownloads();

// Closing the program with downloads left asks first; false: stay.
bool confirmEnd();

}  // namespace zorvan
