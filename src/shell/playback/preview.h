#pragma once

#include <QString>

namespace zorvan {

// The preview of a listed work in the preview window, through the
// program-wide media host, and the playback of a downloaded file in the
// local player window. GUI thread.

// "播放" and a double-click in the works list: the current work's player
// address into the host, its song name as the title; the preview window
// takes the main window's place. Nothing when the list is empty.
void previewSelectedWork();

// The preview window's events.
void createPreviewPlayer();  // created: the host in the window, the player movie preloaded
void fitPreviewPlayer();     // resized
void stopPreview();          // close requested (it hides instead)
void applyPreviewStayOnTop();
void releasePreviewStayOnTop();

// A double-click in the downloaded-files list: the file in video/ plays in
// a local player window, the main window hidden until it closes.
void playDownloadedFile(const QString& entry);
// The local player window's creation: its player, the file, its title.
void createLocalPlayer();

}  // namespace zorvan
