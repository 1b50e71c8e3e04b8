#include "place/program_directory.h"

#include "text/folder_of.h"

#include <unistd.h>

#include <climits>
#include <vector>

namespace zorvan {

std::string programFilePath() {
    static const std::string path = [] {
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
        return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
    }();
    return path;
}

std::string programDirectory() {
    static const std::string directory = programFilePath().empty() ? std::string(".") : folderOf(programFilePath());
    return directory;
}

bool enterProgramDirectory() { return chdir(programDirectory().c_str()) == 0; }

}  // namespace zorvan
