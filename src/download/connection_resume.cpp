// The first connection taking up bytes already on the disk: a part file an
// earlier download left, or a file under the final name that may be this
// file cut short. Nothing is added to them before they are known to be the
// server's file: by If-Range when the first run had a validator, else by
// comparing windows of them byte for byte, which is said to be a sample,
// not a proof (and refused outright when the caller asks for proof).
#include "download/connection.h"

#include "download/error_text.h"
#include "download/held_bytes.h"
#include "download/part_record.h"
#include "download/task.h"
#include "download/task_file_setup.h"
#include "text/code_page.h"

#include <algorithm>

namespace zorvan {

void Connection::findHeldBytes() {
    const std::string path = gbkToUtf8(task_.currentLocalPath());
    if (path.empty() || path.back() == '/') return;
    // A file under the name: only the caller's word lets it be extended;
    // else the same-name rule decides, as ever.
    if (existingFileSize(path) >= 0) {
        if (task_.params.completeExisting) findFinalFile(path);
        return;
    }
    if (task_.params.continuePart) findPartToContinue(path);
}

// A part file that an earlier download of this address left at the local
// path, and its record, to ask for only what it misses.
void Connection::findPartToContinue(const std::string& path) {
    std::string why;
    std::optional<PartRecord> record = loadPartRecord(recordPathOf(path), &why);
    if (!record) {
        if (!why.empty() || existingFileSize(partPathOf(path)) >= 0)
            task_.startedOver(number_, StartOverReason::RecordUnreadable, why);
        return;
    }
    // A work whose address moved is taken over as any part is: the server's
    // validator says whether the file there is the same (If-Range), else its
    // bytes are sampled. Nothing could prove them the server's: asked for
    // proof, they go.
    const bool validated = !rangeValidator(record->etag, record->lastModified).empty();
    if (!validated && task_.params.strictResume && !record->done.empty()) {
        task_.startedOver(number_, StartOverReason::Unprovable);
        return;
    }
    if (record->done.empty()) return;  // nothing to take up: started afresh, silently
    if (record->address != task_.params.url) {
        task_.log(number_, logLevel::note,
                  gbkFormat(validated ? "未完成文件的地址已更改: 由服务器的验证信息核对是否同一文件"
                                      : "未完成文件的地址已更改: 抽样核对是否同一文件"));
        record->address = task_.params.url;  // its record follows the work to its new address
    }
    std::unique_ptr<TargetFile> file = TargetFile::openPart(path, record->size, task_.fileOptions());
    if (!file) {
        // In use by a live download, the same-name rule keeps the two apart.
        if (!partFileInUse(path)) task_.startedOver(number_, StartOverReason::PartMissing);
        return;
    }
    std::vector<ByteRange> missing = missingRanges(record->done, record->size);
    if (missing.empty()) {
        if (record->size == 0) return;
        // Whole, but not yet named: the last byte is asked for again, which
        // shows whether the server still has this version.
        record->done = joinRanges({{0, record->size - 1}});
        missing = {{record->size - 1, record->size}};
    }
    auto resumption = std::make_unique<Resumption>();
    resumption->from = missing.front().begin;
    if (missing.front().end < record->size) resumption->until = missing.front().end;
    if (!validated) {
        resumption->check = planHeldBytesCheck(record->done, resumption->from);
        resumption->from = std::min(resumption->from, resumption->check.overlap.begin);
        resumption->held = HeldFile(partPathOf(path));
    }
    resumption->record = std::move(*record);
    resumption->file = std::move(file);
    task_.resumption = std::move(resumption);
}

// A file under the final name, which the caller would have completed if it
// is this file cut short: asked for from a window before its end, which
// the answer's first bytes are compared with.
void Connection::findFinalFile(const std::string& path) {
    HeldFile held(path);
    const std::int64_t size = held.size();
    if (size <= 0) return;  // nothing that could be checked: the same-name rule decides
    auto resumption = std::make_unique<Resumption>();
    resumption->finalFile = true;
    resumption->record.address = task_.params.url;
    resumption->record.size = -1;
    resumption->record.done = {{0, size}};
    resumption->check = planHeldBytesCheck(resumption->record.done, size);
    resumption->from = resumption->check.overlap.begin;
    resumption->held = std::move(held);
    task_.resumption = std::move(resumption);
}

// The answer continues the held bytes: they are compared with it, and with
// one more window, unless If-Range vouched for them.
Connection::Held Connection::checkHeldBytes(std::string& body) {
    Resumption& part = *task_.resumption;
    const HeldBytesCheck check = part.check;
    if (check.bytes() == 0) return Held::Same;
    if (const Held h = compareWindow(exchange_.socket(), body, check.overlap); h != Held::Same) return h;
    for (const ByteRange& probe : check.probes)
        if (const Held h = probeHeldBytes(probe); h != Held::Same) return h;
    if (part.finalFile && !adoptFinalFile()) return heldBytesDiffer();
    task_.log(number_, logLevel::note,
              gbkFormat("已抽样核对磁盘上的 %lld 字节 (%d 处): 与服务器上的文件相同, 其余未经核对",
                        static_cast<long long>(check.bytes()), static_cast<int>(check.probes.size()) + 1));
    task_.userEvent(event::heldChecked, number_, check.bytes(), part.finalFile ? 1 : 0);
    return Held::Same;
}

// The window's bytes from the stream (what came with the header first),
// compared with what the disk holds there.
Connection::Held Connection::compareWindow(Socket& socket, std::string& body, ByteRange window) {
    if (window.length() <= 0) return Held::Same;
    std::string bytes;
    const ReceiveResult r = takeBodyBytes(socket, body, static_cast<std::size_t>(window.length()), bytes,
                                          task_.params.receiveTimeout, [this] { return shouldStop(); });
    task_.limiter->charge(r.received);
    if (static_cast<std::int64_t>(bytes.size()) < window.length()) {
        if (r.code != 0) {
            task_.log(number_, logLevel::error, errorText(r.code));
            task_.noteCause(causeOfSocketError(r.code));
        }
        return Held::Again;
    }
    return task_.resumption->held.holds(window.begin, bytes) ? Held::Same : heldBytesDiffer();
}

// One more window, with a request of its own to the server the first
// request reached.
Connection::Held Connection::probeHeldBytes(ByteRange window) {
    HttpExchange probe(task_, number_, [this] { return shouldStop(); });
    std::string body;
    switch (probe.openRange(window.begin, body, window.end)) {
        case OpenResult::Accepted: break;
        case OpenResult::Retry: return Held::Again;
        // A server that will not give this part cannot vouch for the rest.
        case OpenResult::Refused:
        case OpenResult::Changed: return heldBytesDiffer();
    }
    task_.limiter->charge(body.size());
    return compareWindow(probe.socket(), body, window);
}

Connection::Held Connection::heldBytesDiffer() {
    const bool finalFile = task_.resumption->finalFile;
    task_.log(number_, logLevel::error,
              gbkFormat(finalFile ? "同名文件的内容与服务器上的文件不同" : "未完成文件的内容与服务器上的文件不同"));
    task_.dropResumption(number_, finalFile ? StartOverReason::NotThisFile : StartOverReason::FileChanged);
    return Held::Differ;
}

// A file under the final name, found to be this file's start, becomes the
// part file of this download (whole, it stays as it is).
bool Connection::adoptFinalFile() {
    Resumption& part = *task_.resumption;
    if (part.heldBytes() >= part.record.size) return true;
    const std::string path = gbkToUtf8(task_.currentLocalPath());
    part.file = TargetFile::adoptFinal(path, part.record.size, task_.fileOptions());
    if (!part.file) return false;
    {
        std::lock_guard lock(task_.answer.lock);
        part.record.etag = task_.answer.etag;
        part.record.lastModified = task_.answer.lastModified;
    }
    // Recorded at once: from now on it is a part file like any other.
    savePartRecord(recordPathOf(path), part.record, part.file->durable());
    return true;
}

// The server continues the held bytes: what is there stands, the missing
// ranges are shared among the connections, and progress starts at the
// share done. A file under the final name that is whole is left as it is.
int Connection::takeUpHeldBytes(std::string body) {
    Resumption& part = *task_.resumption;
    const std::int64_t total = part.record.size;
    const std::int64_t there = part.heldBytes();
    if (part.finalFile && there >= total) {
        task_.log(number_, logLevel::note, gbkFormat("同名文件与服务器上的文件抽样相符, 无需下载"));
        task_.noteFailure(TaskOutcome::AlreadyThere);
        return endedNormally;
    }
    const int first = takeUpPart(task_, number_, part, 1 + plannedExtra_);
    if (first < 0) return endedWithError;
    {
        std::lock_guard lock(task_.progressLock);
        task_.bytesDone += there;
    }
    task_.log(number_, logLevel::note,
              gbkFormat("继续上次未完成的下载: 已有 %lld / %lld 字节", static_cast<long long>(there),
                        static_cast<long long>(total)));
    task_.userEvent(event::continued, number_, there, total);
    segment_ = first;
    task_.target.segments.claim(segment_, number_);
    task_.startFurtherConnections(std::min(plannedExtra_, task_.target.segments.unfinishedCount() - 1));
    return transfer(std::move(body), event::firstSegment);
}

}  // namespace zorvan
