#include "queue/download_archive.h"

#include "download_policy/work_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace zorvan {

bool DownloadArchive::contains(const std::string& address) const { return keys_.count(workKey(address)) != 0; }

DownloadArchive::~DownloadArchive() {
    if (file_ >= 0) close(file_);
}

bool DownloadArchive::open(const std::string& folder, std::string& error) {
    path_ = folder + "/" + fileName;
    file_ = ::open(path_.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (file_ < 0) {
        error = "cannot open the archive " + path_ + ": " + std::strerror(errno);
        return false;
    }
    std::ifstream in(path_);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) keys_.insert(workKey(line));
    }
    // A line cut short (a full disk, a crash) ends without a newline: the
    // next address starts on a line of its own, not glued to it.
    const off_t size = lseek(file_, 0, SEEK_END);
    char last = '\n';
    if (size > 0 && pread(file_, &last, 1, size - 1) == 1 && last != '\n' && write(file_, "\n", 1) != 1) {
        error = "cannot write the archive " + path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool DownloadArchive::add(const std::string& address, std::string& error) {
    const std::string line = address + "\n";
    if (write(file_, line.data(), line.size()) != static_cast<ssize_t>(line.size()) || fdatasync(file_) != 0) {
        error = "cannot write the archive " + path_ + ": " + std::strerror(errno);
        return false;
    }
    keys_.insert(workKey(address));
    return true;
}

}  // namespace zorvan
