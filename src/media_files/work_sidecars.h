#pragma once

#include <cstdint>
#include <string>

namespace zorvan {

// What a media server (Kodi, Jellyfin, Plex) is told of a work's video.
struct WorkMedia {
    std::string videoPath;    // UTF-8
    std::string songName;     // the title
    std::string performer;    // the artist
    int sequence = 0;         // the track
    std::int64_t firstSeen = 0;  // seconds since the epoch: when the work was first seen; 0: when its file was written
    std::string service;      // the service's address: where it came from
};

// The files such servers look for beside "NAME.mp4": "NAME-poster.jpg"
// and "NAME.nfo"; and a folder's own picture, "folder.jpg".
std::string posterPathOf(const std::string& videoPath);
std::string nfoPathOf(const std::string& videoPath);
std::string folderPosterOf(const std::string& videoPath);

// The music video's .nfo (UTF-8 XML): title, artist, track, the day it was
// first seen (premiered, year, dateadded), the service as its studio, and
// the poster as its thumb.
std::string nfoText(const WorkMedia& work);

// Writes the .nfo atomically, only when it differs from the one there (a
// work whose record changed gets it anew); false with `error`.
bool writeNfo(const WorkMedia& work, std::string& error);

// The folder's picture, from this poster, when it has none yet.
void giveFolderItsPoster(const std::string& videoPath);

// The .nfo and the poster go with their video (a missing one is fine).
void removeSidecars(const std::string& videoPath);

// Where a video's poster is kept when no media-server files are written
// beside it: the user's cache ($XDG_CACHE_HOME/zorvan/posters, else
// ~/.cache/zorvan/posters), named by a hash of the video's whole path.
std::string cachedPosterPathOf(const std::string& videoPath);

// The poster a video has: the one beside it, else the cached one; empty
// when it has none yet.
std::string posterFor(const std::string& videoPath);

}  // namespace zorvan
