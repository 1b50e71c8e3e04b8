#pragma once

#include <set>
#include <string>

namespace zorvan {

// The record of what a folder already holds: one media address per line,
// each appended (and flushed to the disk) only once its file is complete,
// so a later run fetches only what is new. A work is known by its address
// without scheme, host and port (the service's path, which names the
// performer and the work), so the same service under another port or name
// keeps its archive; older archives read the same.
class DownloadArchive {
public:
    static constexpr const char* fileName = "zorvan-archive.txt";

    DownloadArchive() = default;
    ~DownloadArchive();
    DownloadArchive(const DownloadArchive&) = delete;
    DownloadArchive& operator=(const DownloadArchive&) = delete;

    // Reads the folder's archive (none yet is an empty one) and keeps it
    // open for appending. False with `error` when it cannot.
    bool open(const std::string& folder, std::string& error);
    bool contains(const std::string& address) const;
    // Records a completed address. False with `error` when it cannot.
    bool add(const std::string& address, std::string& error);
    std::string path() const { return path_; }

    // The works it holds, by workKey.
    const std::set<std::string>& keys() const { return keys_; }

private:
    std::string path_;
    int file_ = -1;
    std::set<std::string> keys_;
};

}  // namespace zorvan
