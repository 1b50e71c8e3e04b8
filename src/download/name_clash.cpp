#include "download/name_clash.h"

#include "download/part_record.h"
#include "download/target_file.h"
#include "download/task.h"
#include "text/code_page.h"

#include <algorithm>

namespace zorvan {

namespace {
constexpr int renameAttempts = 99;

// The size of what holds a name (code page 936): a file, or the part file
// of a download under way; -1 when the name is free.
std::int64_t holderSize(const std::string& path) {
    const std::string utf8 = gbkToUtf8(path);
    const std::int64_t size = existingFileSize(utf8);
    if (size >= 0 || !partFileInUse(utf8)) return size;
    return std::max<std::int64_t>(0, existingFileSize(partPathOf(utf8)));
}
}  // namespace

bool resolveNameClash(Task& task, int connection) {
    const std::string path = task.currentLocalPath();
    const std::int64_t existing = holderSize(path);
    if (existing < 0) return true;

    // A file found not to be this one is not asked about again: it stays.
    const int answer = task.renameHeldFile || !task.params.eventProcedure
                           ? clashAnswer::rename
                           : task.params.eventProcedure(event::nameClash, connection, existing, task.totalSize.load(),
                                                        task.id);
    if (answer == clashAnswer::rename) {
        const auto slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        std::string current = path;
        for (int attempt = 0; attempt < renameAttempts; ++attempt) {
            const std::string name = current.substr(folder.size());
            const auto next = buildNextName(name, maxLocalPathBytes + 1 - folder.size());
            if (!next) return false;
            current = folder + *next;
            if (holderSize(current) < 0) {
                {
                    std::lock_guard lock(task.pathLock);
                    task.localPath = current;
                }
                task.log(connection, logLevel::note, gbkFormat("发现同名文件, 系统自动更名为%s", current.c_str()));
                return true;
            }
        }
        task.log(connection, logLevel::error, gbkFormat("发现同名文件，超过系统自动更名次数"));
        return false;
    }
    if (answer == clashAnswer::giveUp) {
        task.log(connection, logLevel::note, gbkFormat("发现同名文件, 用户选择放弃下载"));
        return false;
    }
    if (answer == clashAnswer::pathChanged) {
        task.log(connection, logLevel::note,
                 gbkFormat("发现同名文件, 用户更名为%s", task.currentLocalPath().c_str()));
        return true;
    }
    return false;
}

}  // namespace zorvan
