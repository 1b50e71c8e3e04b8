#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zorvan {

// The file-name part made from a song name, before its ".mp4" (UTF-8 in and
// out): path separators ("/" and "\") and control characters become "_",
// so the file always lands in the download folder, and so does a leading
// "." (no hidden files) or an empty name; a byte that starts no UTF-8
// character becomes "?". Names are cut at a character boundary so that,
// with ".mp4" and a "(99)" of the renaming rule, they fit the file
// system's 255 bytes; everything else, Chinese included, stays.
std::string songFileName(const std::string& songName);

// Where a work is saved: the folder + "/" + songFileName + ".mp4" (UTF-8),
// the one rule for the window and the command line.
std::string workFilePath(const std::string& folder, const std::string& songName);

// How works' files are named in the download folder.
enum class FileNaming {
    SongName,         // folder/歌名.mp4, every performer's works in one folder
    PerformerFolder,  // folder/主播ID/序号 歌名.mp4: two performers' same-named songs stay apart
};

// Whether posters and .nfo files go beside the videos for a media server:
// as the user chose, else on with the per-performer naming (whose folders
// are what such servers read).
inline bool mediaFilesBeside(std::optional<bool> chosen, FileNaming naming) {
    return chosen.value_or(naming == FileNaming::PerformerFolder);
}

// Where a work is saved under a naming (UTF-8). A work whose performer is
// not known is named by its song alone; the performer's folder name and
// the file name follow songFileName's rules. `repeat` > 1: the work is the
// repeat-th of its performer's list with this song name (workRepeats), and
// where its name alone would not tell it apart (song names in one folder)
// its file has " (repeat)" before ".mp4"; the per-performer naming's
// sequence number already does.
std::string workFilePath(const std::string& folder, const std::string& songName, FileNaming naming,
                         const std::string& performer, int sequence, int repeat = 1);

// The repeat number of each of a performer's listed works, in the list's
// order: 1 for a work whose song file name (songFileName, so names cut to
// the same start count as one) no earlier work of the list has; for a later
// one (a song sung twice: live, remix, another day) the first n >= 2 whose
// marked name " (n)" no work of the list has. The list's order decides,
// never which download ends first, so every run and every program gives
// each work the same file.
std::vector<int> workRepeats(const std::vector<std::string>& songNames);

// The title of a repeated work for people: "晴天 (2)".
std::string repeatedTitle(const std::string& songName, int repeat);

// The most bytes songFileName's result takes.
inline constexpr std::size_t maxSongFileNameBytes = 255 - 4 - 4;

// A media address as the engine needs it: the escapes a JSON encoder
// writes ("\/" for "/", "\u0026" for "&", ...) undone (UTF-8). The works
// list keeps the address as found.
std::string engineAddress(const std::string& listedAddress);

// What knows a work across runs, services and ports: its media address
// without scheme, host and port (the service's path names the performer
// and the work).
std::string workKey(const std::string& address);

}  // namespace zorvan
