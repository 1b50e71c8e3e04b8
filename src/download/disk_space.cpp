#include "download/disk_space.h"

#include "download/part_record.h"
#include "text/byte_count.h"
#include "text/folder_of.h"

#include <cerrno>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace zorvan {

std::int64_t spaceForFile(const std::string& finalPath) {
    struct statvfs disk {};
    const std::string folder = folderOf(finalPath);
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &disk) != 0) return -1;
    std::int64_t space = static_cast<std::int64_t>(disk.f_bavail) * static_cast<std::int64_t>(disk.f_frsize);
    struct stat part {};
    if (::stat(partPathOf(finalPath).c_str(), &part) == 0) space += static_cast<std::int64_t>(part.st_blocks) * 512;
    return space;
}

std::string diskSpaceText(std::int64_t needed, std::int64_t available) {
    return "磁盘空间不足：需要 " + humanBytes(static_cast<double>(needed)) + "，可用 " +
           humanBytes(static_cast<double>(available));
}

std::string diskTroubleText(const FailureCause& cause) {
    if (cause.kind != CauseKind::Disk) return {};
    if (cause.available >= 0) return diskSpaceText(cause.needed, cause.available);
    switch (cause.systemError) {
        case ENOSPC:
        case EDQUOT: return "磁盘空间不足";
        case EROFS: return "文件夹是只读的";
        case EACCES:
        case EPERM: return "没有写入文件夹的权限";
        case ENOENT:
        case ENOTDIR: return "文件夹不存在";
        default: return {};
    }
}

}  // namespace zorvan
