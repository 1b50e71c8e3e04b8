#pragma once

#include "download_policy/download_choices.h"
#include "download_policy/work_file.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace zorvan {

// The downloads page's choices, kept in zorvan.ini under [downloads].
struct DownloadSettings {
    static constexpr int mostParallel = downloadChoices::mostParallel;
    static constexpr int mostConnections = downloadChoices::mostConnections;
    static constexpr int mostSpeedLimitKiB = downloadChoices::mostSpeedLimitKiB;
    int parallel = 2;        // works fetched at once, 1 to mostParallel
    int connections = 5;     // per work, 1 to mostConnections
    int speedLimitKiB = 0;   // all works together, KiB/s; 0: none
    QString folder;          // empty: the program's default folder
    FileNaming naming = FileNaming::SongName;
    // Posters and .nfo files beside the videos for a media server; none
    // chosen: on with the per-performer naming.
    std::optional<bool> mediaFiles;
    // A part file no validator of the server vouches for is started over
    // instead of being sampled and taken up "not verified".
    bool strictResume = false;

    bool withMediaFiles() const { return mediaFilesBeside(mediaFiles, naming); }
    std::int64_t speedLimitBytes() const { return std::int64_t{speedLimitKiB} * 1024; }
    bool operator==(const DownloadSettings&) const = default;
};

// As saved, each value brought within its range; the chosen folder is made
// the download folder.
DownloadSettings loadDownloadSettings();
// Saves them and makes the folder the download folder.
void saveDownloadSettings(const DownloadSettings& settings);
// The naming in force: as last loaded or saved (loaded at first use).
FileNaming fileNaming();

}  // namespace zorvan
