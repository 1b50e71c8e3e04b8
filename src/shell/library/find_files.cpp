#include "shell/library/find_files.h"

#include <fnmatch.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace zorvan {

namespace {

void findBelow(const std::string& folder, const std::string& prefix, const std::string& pattern,
               const std::function<void(const std::string&, const std::string&)>& add,
               const std::function<void()>& between) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<fs::path> files, folders;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (it->is_symlink(error) && it->is_directory(error)) continue;  // no loops through links
        if (it->is_directory(error)) {
            if (!name.empty() && name.front() != '.') folders.push_back(it->path());
        } else if (::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
            files.push_back(it->path());
        }
    }
    bool first = true;
    for (const fs::path& file : files) {
        if (!first && between) between();
        first = false;
        add(file.filename().string(), prefix + file.filename().string());
    }
    for (const fs::path& sub : folders) {
        if (between) between();
        findBelow(sub.string(), prefix + sub.filename().string() + "/", pattern, add, between);
    }
}

}  // namespace

void findFiles(const std::string& folder, const std::string& pattern,
               const std::function<void(const std::string&, const std::string&)>& add,
               const std::function<void()>& between) {
    findBelow(folder, {}, pattern, add, between);
}

}  // namespace zorvan
