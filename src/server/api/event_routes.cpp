#include "server/api/api_routes.h"

#include "server/service/server_downloads.h"

#include <charconv>
#include <memory>

namespace zorvan {

namespace {

// A reader's place in the stream, held while its stream is open.
struct StreamReader {
    StreamReader(ServerParts* parts, std::uint64_t after) : parts(parts), after(after) {}
    ~StreamReader() { parts->streams--; }
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    ServerParts* parts;
    std::uint64_t after;
    std::uint64_t progressSeen = 0;
    bool first = true;
};

std::string eventText(const ServerEvent& event) {
    return "id: " + std::to_string(event.id) + "\nevent: " + event.type + "\ndata: " + event.data + "\n\n";
}

// Writes what came since the reader's place; a comment when nothing did, so
// a client that went away is noticed.
bool writeEvents(StreamReader& reader, httplib::DataSink& sink) {
    EventLog& log = reader.parts->downloads.events();
    std::string text;
    if (reader.first) text = "retry: 2000\n\n";
    reader.first = false;
    // A short wait: a client that went away is noticed at the next write,
    // and its stream's place freed, within seconds.
    const EventLog::Batch batch = log.read(reader.after, reader.progressSeen, std::chrono::seconds(2));
    // Changes it has not seen are gone: it reads the whole state again.
    if (batch.missed) text += "id: " + std::to_string(log.last()) + "\nevent: resync\ndata: {}\n\n";
    else
        for (const ServerEvent& event : batch.events) text += eventText(event);
    if (!batch.events.empty()) reader.after = batch.events.back().id;
    if (batch.missed) reader.after = log.last();
    // The last changes before the server stops still reach the client.
    if (batch.closed || reader.parts->stopping) {
        if (!batch.events.empty()) sink.write(text.data(), text.size());
        return false;
    }
    if (text.empty()) text = ": still here\n\n";
    return sink.write(text.data(), text.size());
}

void openStream(ServerParts& parts, Exchange& x) {
    if (++parts.streams > parts.mostStreams) {
        parts.streams--;
        refuse(503, "too many event streams are open");
    }
    auto reader = std::make_shared<StreamReader>(&parts, parts.downloads.events().last());
    // A client that reconnects names the last event it saw and gets every
    // change since (or is told to read the state again).
    const std::string last = x.request.get_header_value("Last-Event-ID");
    std::uint64_t given = 0;
    if (!last.empty() && std::from_chars(last.data(), last.data() + last.size(), given).ec == std::errc())
        reader->after = given;
    x.response.set_header("Cache-Control", "no-cache");
    x.response.set_header("X-Accel-Buffering", "no");
    x.response.set_chunked_content_provider("text/event-stream", [reader](std::size_t, httplib::DataSink& sink) {
        if (!writeEvents(*reader, sink)) {
            sink.done();
            return false;
        }
        return true;
    });
}

}  // namespace

void addEventRoutes(ApiRoutes& routes, ServerParts* parts) {
    routes.add("GET", "/api/events", Access::Session, [parts](Exchange& x) { openStream(*parts, x); });
}

}  // namespace zorvan
