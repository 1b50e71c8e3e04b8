#include "server/api/api_routes.h"

#include "media_files/work_sidecars.h"
#include "server/service/server_downloads.h"
#include "server/service/library_files.h"
#include "server/service/library_verifier.h"
#include "words/item_json.h"

#include <sys/mman.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <memory>

namespace zorvan {

using nlohmann::json;

namespace {

void listLibrary(ServerParts& parts, Exchange& x) {
    std::string error;
    const std::vector<LibraryFile> files =
        libraryFiles(parts.downloads.place().libraryPath(), parts.downloads.folder(), error);
    if (!error.empty()) refuse(503, "the library cannot be read: " + error);
    json list = json::array();
    std::vector<std::string> withoutPoster;
    for (const LibraryFile& file : files) {
        const bool poster = file.present && !posterFor(file.entry.file.path).empty();
        const bool failed = !poster && file.posterNote.has_value();
        if (file.present && !poster && !failed) withoutPoster.push_back(file.entry.file.path);
        list.push_back({{"id", file.entry.id},
                        {"poster", poster},
                        {"posterFailed", failed},
                        {"posterNote", failed ? *file.posterNote : std::string()},
                        {"performer", file.entry.file.performer},
                        {"sequence", file.entry.file.sequence},
                        {"song", file.entry.file.songName},
                        {"path", file.relative},
                        {"present", file.present},
                        {"size", file.present ? file.size : file.entry.file.size},
                        {"recorded", file.entry.recorded},
                        {"modified", file.modified},
                        {"integrity", integrityName(file.integrity())},
                        {"sha256", file.digest ? json(file.digest->sha256) : json()},
                        {"checked", file.digest ? file.digest->checked : 0}});
    }
    // Files saved before posters were made get theirs now, for the next look.
    parts.downloads.makeMissingPosters(withoutPoster);
    x.reply({{"folder", parts.downloads.folder()}, {"files", std::move(list)}});
}

// What a client asks to check: performers named by their ids (all when
// none), and whether damaged files are fetched again.
VerifyRequest verifyRequestOf(const json& body) {
    VerifyRequest request;
    if (body.contains("performers")) {
        if (!body["performers"].is_array()) refuse(422, "\"performers\" must be a list of performer ids");
        for (const json& p : body["performers"]) {
            if (!p.is_string() || !validParam("performer", p.get<std::string>()))
                refuse(422, "\"performers\" must be a list of performer ids");
            request.performers.push_back(p.get<std::string>());
        }
    }
    if (body.contains("repair")) {
        if (!body["repair"].is_boolean()) refuse(422, "\"repair\" must be true or false");
        request.repair = body["repair"].get<bool>();
    }
    return request;
}

void startVerify(ServerParts& parts, Exchange& x) {
    const VerifyRequest request = verifyRequestOf(x.body());
    if (const std::string refused = parts.verifier.start(request); !refused.empty()) refuse(409, refused);
    x.response.status = 202;
    x.response.set_content(verifyStateText(parts.verifier.state()), "application/json");
}

void deleteFile(ServerParts& parts, Exchange& x) {
    std::string error;
    const int id = x.idParam(0);
    if (!deleteLibraryFile(parts.downloads.place().libraryPath(), parts.downloads.folder(), id, error)) {
        if (!error.empty()) refuse(409, error);
        refuse(404, "no such file in the library");
    }
    parts.downloads.events().publish("libraryRemoved", jsonText(json{{"id", id}}));
    parts.downloads.place().log("deleted library file #" + std::to_string(id));
    x.reply({{"deleted", id}});
}

std::string httpDate(std::int64_t seconds) {
    const std::time_t at = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&at, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

// The file mapped for the answer; unmapped when the last reader is done.
struct MappedFile {
    OpenedFile file;
    void* at = MAP_FAILED;
    ~MappedFile() {
        if (at != MAP_FAILED) ::munmap(at, static_cast<std::size_t>(file.size()));
    }
};

// Whether a conditional header names this very file's tag.
bool namesTag(const std::string& header, const std::string& tag) {
    return !header.empty() && (header == "*" || header.find(tag) != std::string::npos);
}

// The one range asked for, checked against the file's size before the
// library sees it (it would answer a range past the end with a length
// below zero): 416 when it starts past the end. Several ranges, or one that
// ends before it starts, are no range: the whole file goes.
void checkRange(const httplib::Request& request, ssize_t size, httplib::Response& response) {
    auto& ranges = const_cast<httplib::Request&>(request).ranges;
    if (ranges.empty()) return;
    auto& [first, last] = ranges.front();
    const bool suffix = first < 0;
    if (ranges.size() > 1 || (suffix && last < 0) || (!suffix && last >= 0 && last < first)) {
        ranges.clear();
        return;
    }
    if ((suffix && last == 0) || (!suffix && first >= size)) {
        response.set_header("Content-Range", "bytes */" + std::to_string(size));
        refuse(416, "the range asked for lies past the end of the file");
    }
    if (suffix) last = std::min<ssize_t>(last, size);
    else if (last >= size) last = static_cast<ssize_t>(size - 1);
}

// The file's validators (its tag, from size and time, and the time) and
// how it may be cached; true when the client's copy is this one (304 set).
// Returns the tag through `tag`.
bool answeredFromCache(Exchange& x, const OpenedFile& file, const char* tagPrefix, const char* cacheControl,
                       std::string& tag) {
    char text[64];
    std::snprintf(text, sizeof text, "\"%s%llx-%llx\"", tagPrefix, static_cast<unsigned long long>(file.size()),
                  static_cast<unsigned long long>(file.modified()));
    tag = text;
    x.response.set_header("ETag", tag);
    x.response.set_header("Last-Modified", httpDate(file.modified()));
    x.response.set_header("Cache-Control", cacheControl);
    if (!namesTag(x.request.get_header_value("If-None-Match"), tag)) return false;
    x.response.status = 304;
    return true;
}

void sendVideo(ServerParts& parts, Exchange& x) {
    auto mapped = std::make_shared<MappedFile>();
    mapped->file = openLibraryFile(parts.downloads.place().libraryPath(), parts.downloads.folder(), x.idParam(0));
    if (!mapped->file.isOpen()) refuse(404, "no such file in the library");
    const OpenedFile& file = mapped->file;
    std::string tag;
    if (answeredFromCache(x, file, "", "private, no-cache", tag)) return;
    // The request is the handler's alone: its ranges are put right here.
    // A range of an older copy of the file is no range of this one: the
    // whole file then.
    if (x.request.has_header("If-Range") && x.request.get_header_value("If-Range") != tag)
        const_cast<httplib::Request&>(x.request).ranges.clear();
    checkRange(x.request, file.size(), x.response);
    if (file.size() > 0) {
        mapped->at = ::mmap(nullptr, static_cast<std::size_t>(file.size()), PROT_READ, MAP_SHARED, file.fd(), 0);
        if (mapped->at == MAP_FAILED) refuse(503, "the file cannot be read");
        ::madvise(mapped->at, static_cast<std::size_t>(file.size()), MADV_SEQUENTIAL);
    }
    // The library answers a Range with 206 and its part (416 when none fits).
    x.response.set_header("Accept-Ranges", "bytes");
    x.response.set_content_provider(
        static_cast<std::size_t>(file.size()), videoType(file.name()),
        [mapped, stopping = &parts.stopping](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            if (*stopping) return false;
            constexpr std::size_t step = 1 << 20;
            const std::size_t n = std::min(length, step);
            return sink.write(static_cast<const char*>(mapped->at) + offset, n);
        });
}

// A work's poster: small, made once, cached by the browser and asked again
// only when it may have changed (a poster made anew).
void sendPoster(ServerParts& parts, Exchange& x) {
    OpenedFile file =
        openLibraryFile(parts.downloads.place().libraryPath(), parts.downloads.folder(), x.idParam(0), true);
    if (!file.isOpen()) refuse(404, "this file has no poster (yet)");
    std::string tag;
    if (answeredFromCache(x, file, "p", "private, max-age=3600", tag)) return;
    constexpr std::int64_t largestPoster = 4 << 20;  // a poster is tens of kilobytes
    if (file.size() > largestPoster) refuse(503, "the poster is too large");
    std::string bytes(static_cast<std::size_t>(file.size()), '\0');
    if (::pread(file.fd(), bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
        refuse(503, "the poster cannot be read");
    x.response.set_content(std::move(bytes), "image/jpeg");
}

}  // namespace

void addLibraryRoutes(ApiRoutes& routes, ServerParts* parts) {
    routes.add("GET", "/api/library", Access::Session, [parts](Exchange& x) { listLibrary(*parts, x); });
    routes.add("GET", "/api/library/verify", Access::Session, [parts](Exchange& x) {
        x.response.set_content(verifyStateText(parts->verifier.state()), "application/json");
    });
    routes.add("POST", "/api/library/verify", Access::Session, [parts](Exchange& x) { startVerify(*parts, x); });
    routes.add("DELETE", "/api/library/{id}", Access::Session, [parts](Exchange& x) { deleteFile(*parts, x); });
    routes.add("GET", "/api/library/{id}/video", Access::Session, [parts](Exchange& x) { sendVideo(*parts, x); });
    routes.add("GET", "/api/library/{id}/poster", Access::Session, [parts](Exchange& x) { sendPoster(*parts, x); });
}

}  // namespace zorvan
