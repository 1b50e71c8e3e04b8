#pragma once

#include "shell/windows.h"

#include <QString>

#include <functional>
#include <string>

namespace zorvan {

// The routines that the windows' events reach and that other subsystems
// supply. Each event has exactly one routine; an unset one does nothing.
// The shell's own routines (the popup menu, the working-set trim, docking,
// ending the program) are wired directly in routing.cpp.
struct Routines {
    // Main window
    std::function<void()> attachSkin;              // once the main window exists
    std::function<void()> retrieveWorks;           // runs on a new worker per "确定"
    std::function<void()> previewSelectedWork;     // double-click and "播放"
    std::function<void()> downloadSelectedWork;    // "下载"
    std::function<void()> downloadAllWorks;        // "全部下载"
    std::function<void()> showDownloadList;        // "下载列表"
    std::function<void()> restoreDownloads;        // once the main window exists
    std::function<bool()> confirmEnd;              // closing the main window; false: it stays
    std::function<void()> toggleDownloadedView;    // "查看已下载"
    std::function<void()> toggleStayOnTop;         // "置顶"
    std::function<void(const QString& entry)> playDownloadedFile;  // downloaded list double-click
    std::function<void()> followPerformer;         // "关注"
    std::function<void()> showFollowing;           // "关注列表"
    std::function<void()> showMediaWall;           // "媒体库"
    std::function<void()> startFollowing;          // once the main window exists: the checks of those followed
    std::function<void()> showSettings;            // "设置"
    std::function<void(const std::string& address)> changeService;  // the settings chose another service

    // Preview window
    std::function<void()> createPreviewPlayer;
    std::function<void()> fitPreviewPlayer;
    std::function<void()> stopPreview;             // before the window hides on close
    std::function<void()> applyPreviewStayOnTop;   // shown
    std::function<void()> releasePreviewStayOnTop; // hidden

    // Local player window
    std::function<void()> createLocalPlayer;

    // Download window
    std::function<void()> startDownloadInWindow;
    std::function<void()> showDownloadProgress;    // its timer's tick
    std::function<void()> pauseDownload;           // its menu: the work it shows
    std::function<void()> cancelDownload;
};

Routines& routines();

// Gives loadWindow the routes and creation events below; once, at start.
void wireWindows();

// Connect each window's events to its routines (used by loadWindow).
void routeMainWindow(MainWindow& window);
void routePreviewWindow(PreviewWindow& window);
void routeLocalPlayerWindow(LocalPlayerWindow& window);
void routeDownloadWindow(DownloadWindow& window);

// Creation events.
void mainWindowCreated();
void previewWindowCreated();
void localPlayerWindowCreated();
void downloadWindowCreated();

}  // namespace zorvan
