// A song name from the network becomes a file name: whatever it holds, the
// file lands in the download folder under a name that is not empty, not
// hidden and fits the file system with room for the renaming rule.
#include "download_policy/work_file.h"
#include "fuzz_check.h"

#include <string>

using namespace zorvan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string songName(reinterpret_cast<const char*>(data), size);
    const std::string name = songFileName(songName);
    const std::string& onDisk = name;
    FUZZ_CHECK(!onDisk.empty() && onDisk.front() != '.');
    FUZZ_CHECK(onDisk.find('/') == std::string::npos && onDisk.find('\\') == std::string::npos);
    for (const char c : onDisk) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    FUZZ_CHECK(onDisk.size() <= maxSongFileNameBytes);
    FUZZ_CHECK(songFileName(onDisk) == onDisk);  // whole characters only: nothing left to mend

    const std::string folder = "/videos";
    const std::string path = workFilePath(folder, songName);
    FUZZ_CHECK(path == folder + "/" + name + ".mp4");

    (void)engineAddress(songName);
    return 0;
}
