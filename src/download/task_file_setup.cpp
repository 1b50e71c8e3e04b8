#include "download/task_file_setup.h"

#include "download/disk_space.h"
#include "download/name_clash.h"
#include "download/target_file.h"
#include "download/task.h"
#include "text/code_page.h"
#include "text/folder_of.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace zorvan {

namespace {
bool startCheckpoints(Task& task, int connection, std::vector<ByteRange> done);
}  // namespace

bool createTarget(Task& task, int connection, std::int64_t total, int connections) {
    TaskFile& target = task.target;
    if (total >= 0) target.segments.plan(total, connections);
    task.completeFolderPath();
    if (!resolveNameClash(task, connection)) {
        task.noteFailure(TaskOutcome::GivenUp);
        return false;
    }
    std::string path = gbkToUtf8(task.currentLocalPath());
    // A folder that takes no file is said as such: its free space (none, on
    // a read-only file system) is not the trouble.
    const auto cannotCreate = [&](int why) {
        task.noteCause({CauseKind::Disk, 0, why, "cannot create the file"});
        task.log(connection, logLevel::error,
                 gbkFormat("创建文件错误，超出最大支持下载长度或磁盘不可写或磁盘没有空间或同名文件已存在"));
        task.noteFailure(TaskOutcome::CannotCreateFile);
        return false;
    };
    if (const std::string folder = folderOf(path); ::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0)
        return cannotCreate(errno);
    // Refused before a byte is written, with both sizes, rather than a
    // file system's bare "no space".
    if (const std::int64_t space = spaceForFile(path); space >= 0 && total > space) {
        FailureCause cause{CauseKind::Disk, 0, ENOSPC, "not enough disk space"};
        cause.needed = total;
        cause.available = space;
        task.noteCause(cause);
        task.log(connection, logLevel::error, utf8ToGbk(diskSpaceText(total, space)));
        task.noteFailure(TaskOutcome::CannotCreateFile);
        return false;
    }
    for (int attempt = 0;; ++attempt) {
        target.file = TargetFile::create(path, total, task.fileOptions());
        if (target.file) break;
        // Another download (another program's) took the name between the
        // look and the lock: it is taken after all, and the same-name rule
        // finds the next free one.
        const int why = errno;
        if (why != EWOULDBLOCK || attempt == 3 || !partFileInUse(path)) return cannotCreate(why);
        if (!resolveNameClash(task, connection)) {
            task.noteFailure(TaskOutcome::GivenUp);
            return false;
        }
        path = gbkToUtf8(task.currentLocalPath());
    }
    if (!startCheckpoints(task, connection, {})) return false;
    target.ready = true;
    return true;
}

int takeUpPart(Task& task, int connection, Resumption& part, int connections) {
    TaskFile& target = task.target;
    target.file = std::move(part.file);
    const int first = target.segments.planRemaining(part.record.size, part.record.done, connections);
    if (first < 0 || !startCheckpoints(task, connection, part.record.done)) return -1;
    target.ready = true;
    return first;
}

namespace {

// A part file keeps its record up to date from now on.
bool startCheckpoints(Task& task, int connection, std::vector<ByteRange> done) {
    TaskFile& target = task.target;
    if (!target.file->isPartFile()) return true;
    PartRecord record;
    record.address = task.params.url;
    record.size = task.totalSize.load();
    {
        std::lock_guard lock(task.answer.lock);
        record.etag = task.answer.etag;
        record.lastModified = task.answer.lastModified;
    }
    record.done = std::move(done);
    target.checkpoint = std::make_unique<PartCheckpoint>(
        *target.file, std::move(record), [&target] { return target.segments.writtenRanges(); },
        std::chrono::milliseconds(task.settings.checkpointIntervalMs));
    try {
        target.checkpoint->start();
        return true;
    } catch (const std::system_error&) {
        target.checkpoint.reset();
        task.log(connection, logLevel::error, gbkFormat("无法启动线程"));
        task.noteFailure(TaskOutcome::TransferFailed);
        return false;
    }
}

}  // namespace

}  // namespace zorvan
