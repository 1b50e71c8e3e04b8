#include "download/task.h"

#include "download/http_address.h"
#include "download/log_time.h"
#include "download/tls_client.h"
#include "text/code_page.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace zorvan {

std::string gbkFormat(const char* utf8Format, ...) {
    const std::string format = utf8ToGbk(utf8Format);
    va_list args;
    va_start(args, utf8Format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format.c_str(), args);
    va_end(args);
    std::string out;
    if (length > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format.c_str(), again);
        out.assign(buffer.data(), static_cast<std::size_t>(length));
    }
    va_end(again);
    return out;
}

std::shared_ptr<TlsClient> Task::tlsClient() {
    std::lock_guard lock(answer.lock);
    if (!tls) tls = params.tlsClient ? params.tlsClient : TlsClient::create({});
    return tls;
}

void Task::log(int connection, int level, const std::string& message) {
    if (params.logProcedure) queue.post(InternalEvent::logLine(connection, level, message, logTimeNow()));
}

void Task::logNow(int connection, int level, const std::string& message) {
    if (params.logProcedure) params.logProcedure(connection, logTimeNow(), message, level, id);
}

void Task::userEvent(int type, int connection, std::int64_t value, std::int64_t extra) {
    if (params.eventProcedure) queue.post(InternalEvent::user(type, connection, value, extra));
}

void Task::eventNow(int type, std::int64_t value, std::int64_t extra) {
    if (params.eventProcedure) params.eventProcedure(type, 0, value, extra, id);
}

void Task::startedOver(int connection, StartOverReason reason, const std::string& detail) {
    const char* why = "";
    switch (reason) {
        case StartOverReason::RecordUnreadable: why = "未完成文件的记录无法使用"; break;
        case StartOverReason::PartMissing: why = "未完成的文件不见了或大小不符"; break;
        case StartOverReason::OtherAddress: why = "未完成的文件属于另一个地址"; break;
        case StartOverReason::FileChanged: why = "服务器上的文件已更改"; break;
        case StartOverReason::NoRanges: why = "服务器不支持断点续传"; break;
        case StartOverReason::NotThisFile: why = "同名文件不是这个文件"; break;
        case StartOverReason::NotChecked: why = "服务器不支持断点续传, 无法核对同名文件"; break;
        case StartOverReason::Unprovable: why = "服务器没有给出验证信息, 无法证明未完成的文件与服务器上的相同"; break;
    }
    const bool leftAlone = reason == StartOverReason::NotThisFile || reason == StartOverReason::NotChecked;
    log(connection, logLevel::note,
        gbkFormat(leftAlone ? "保留同名文件 (%s%s%s), 另存为新文件" : "无法继续上次未完成的下载 (%s%s%s), 重新开始下载",
                  utf8ToGbk(why).c_str(), detail.empty() ? "" : ": ", detail.c_str()));
    userEvent(event::startedOver, connection, static_cast<std::int64_t>(reason), 0);
}

void Task::dropResumption(int connection, StartOverReason reason) {
    if (resumption && resumption->finalFile) renameHeldFile = true;
    startedOver(connection, reason);
    resumption.reset();  // a part file goes: a new download replaces it
}

void Task::startFurtherConnections(int count) {
    const int early = preOpened.load();
    plan = Plan::Ready;
    for (int i = early; i < count; ++i) queue.post(InternalEvent::of(InternalEvent::Kind::StartConnection));
}

TargetFileOptions Task::fileOptions() const {
    return {settings.mappedWrites, settings.syncBeforeNaming, params.partFile};
}

void Task::addProgress(std::int64_t count) {
    std::lock_guard lock(progressLock);
    bytesDone += count;
    bytesSinceQuery += count;
}

void Task::noteFailure(TaskOutcome outcome) {
    int none = -1;
    failure.compare_exchange_strong(none, static_cast<int>(outcome));
}

void Task::noteCause(FailureCause cause) {
    // Through a proxy every connection is to the proxy: one that cannot be
    // made is the proxy's trouble, not the server's.
    if (!params.proxy.empty() && (cause.kind == CauseKind::Connect || cause.kind == CauseKind::NameLookup))
        cause.proxy = params.proxy;
    std::lock_guard lock(slot->lock);
    if (slot->lastCause.kind != CauseKind::Disk) slot->lastCause = std::move(cause);
}

void Task::noteFileChanged() {
    fileChanged = true;
    queue.post(InternalEvent::of(InternalEvent::Kind::Finish, true, attempt.load()));
}

std::int64_t Task::storedBytes() const {
    return totalSize.load() < 0 ? bodyBytesStored.load() : target.segments.doneTotal();
}

void Task::noteRequestTime(std::chrono::steady_clock::duration took) {
    const std::int64_t micros = std::chrono::duration_cast<std::chrono::microseconds>(took).count();
    std::int64_t longest = longestRequestMicros.load();
    while (micros > longest && !longestRequestMicros.compare_exchange_weak(longest, micros)) {
    }
}

std::string Task::currentLocalPath() {
    std::lock_guard lock(pathLock);
    return localPath;
}

void Task::completeFolderPath() {
    std::lock_guard lock(pathLock);
    if (localPath.empty() || localPath.back() != '/') return;
    std::string name;
    {
        std::lock_guard fields(answer.lock);
        name = answer.serverFileName.substr(answer.serverFileName.rfind('/') + 1);
        if (name.empty()) name = fileNameFromPath(answer.request.address.path);
    }
    localPath += name.empty() ? std::string("index.html") : name;
}

}  // namespace zorvan
