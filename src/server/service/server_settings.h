#pragma once

#include "download_policy/work_file.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zorvan {

// The home server's download choices, kept as JSON in its data folder.
struct ServerSettings {
    int parallel = 2;          // works fetched at once
    int connections = 5;       // per work
    int speedLimitKiB = 0;     // all works together; 0: none
    std::string folder;        // empty: the program's download folder
    FileNaming naming = FileNaming::SongName;
    // Posters and .nfo files beside the videos for a media server; none
    // chosen: on with the per-performer naming.
    std::optional<bool> mediaFiles;
    int checkEveryMinutes = 60;  // followed performers are checked this often; 0: only when asked
    // A part file no validator of the server vouches for is started over
    // instead of being sampled and taken up "not verified".
    bool strictResume = false;

    std::int64_t speedLimitBytes() const { return std::int64_t{speedLimitKiB} * 1024; }
    bool withMediaFiles() const { return mediaFilesBeside(mediaFiles, naming); }
};

// The settings kept at `path`; the defaults when there are none. A file that
// cannot be read or holds values out of range: nothing, with `error`.
std::optional<ServerSettings> loadServerSettings(const std::string& path, std::string& error);
// Writes them atomically; false with `error`.
bool saveServerSettings(const std::string& path, const ServerSettings& settings, std::string& error);

// Settings as JSON text (mediaFiles as in force), and changed by a JSON
// object's members (those it names; a mediaFiles of null follows the
// naming): what is wrong with it (a member of the wrong type or out of
// range, a folder that is not absolute) in `error`, the settings untouched
// then.
std::string settingsJson(const ServerSettings& settings);
bool applySettingsJson(const std::string& json, ServerSettings& settings, std::string& error);

}  // namespace zorvan
