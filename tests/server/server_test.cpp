// zorvan-server driven over its API end to end, against the demo service:
// a performer's works queued, steered and saved exactly, its events
// followed, a followed performer's new work fetched, a stop on SIGTERM
// taken up at the next start, and the library's files checked against
// their digests, damaged ones fetched again.
#include "server/api/api_routes.h"
#include "server/server_process.h"
#include "store/file_sha256.h"
#include "store/library_db.h"
#include "support/demo_service.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace zorvan::test {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

json getJson(httplib::Client& client, const std::string& path, int expected = 200) {
    const auto answer = client.Get(path.c_str());
    EXPECT_TRUE(answer) << path;
    if (!answer) return {};
    EXPECT_EQ(answer->status, expected) << path << ": " << answer->body;
    return json::parse(answer->body, nullptr, false);
}

json send(httplib::Client& client, const char* method, const std::string& path, const json& body,
          int expected = 200) {
    const std::string text = body.dump();
    const auto answer = std::string(method) == "PUT" ? client.Put(path.c_str(), text, "application/json")
                        : std::string(method) == "DELETE"
                            ? client.Delete(path.c_str(), text, "application/json")
                            : client.Post(path.c_str(), text, "application/json");
    EXPECT_TRUE(answer) << method << " " << path;
    if (!answer) return {};
    EXPECT_EQ(answer->status, expected) << method << " " << path << ": " << answer->body;
    return json::parse(answer->body, nullptr, false);
}

// Polls the queue until `done` says so, at most `seconds`.
json waitForQueue(httplib::Client& client, const std::function<bool(const json&)>& done, int seconds = 60) {
    json queue;
    for (int waited = 0; waited < seconds * 10; ++waited) {
        queue = getJson(client, "/api/queue");
        if (queue.is_object() && done(queue)) return queue;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ADD_FAILURE() << "the queue did not come to the state waited for: " << queue.dump().substr(0, 2000);
    return queue;
}

const json* itemOf(const json& queue, int id) {
    for (const json& item : queue["items"])
        if (item["id"] == id) return &item;
    return nullptr;
}

// The live stream read on a thread of its own until the server ends it.
class EventReader {
public:
    explicit EventReader(const ServerProcess& server) : client_(server.client()) {
        thread_ = std::thread([this] {
            client_->Get("/api/events", [this](const char* data, std::size_t length) {
                std::lock_guard hold(lock_);
                text_.append(data, length);
                return true;
            });
        });
    }
    ~EventReader() {
        if (thread_.joinable()) thread_.join();
    }
    // Once the server has stopped.
    void join() { thread_.join(); }
    std::multiset<std::string> types() {
        std::lock_guard hold(lock_);
        std::multiset<std::string> seen;
        std::istringstream lines(text_);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("event: ", 0) == 0) seen.insert(line.substr(7));
        return seen;
    }

private:
    std::unique_ptr<httplib::Client> client_;
    std::mutex lock_;
    std::string text_;
    std::thread thread_;
};

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::path(::testing::TempDir()) / ("server-" + std::to_string(::getpid()) + "-" +
                                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "media");
        fs::create_directories(downloads());
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path downloads() const { return root_ / "videos"; }
    std::string data() const { return (root_ / "data").string(); }

    fs::path root_;
};

TEST_F(ServerTest, QueuesAPerformersWorksStreamsTheirEventsAndSavesThemExactly) {
    const std::vector<std::string> clips = makeDemoClips((root_ / "media").string(), 150000);
    DemoService service((root_ / "media").string(), {"--rate", "200000"});
    ServerProcess server(data(), downloads().string(), service.url());
    ASSERT_TRUE(server.running()) << server.log();
    auto client = server.client();
    send(*client, "PUT", "/api/settings", {{"parallel", 4}});

    const json works = getJson(*client, "/api/performers/100001/works");
    ASSERT_EQ(works["works"].size(), 36u);
    EXPECT_EQ(works["works"][0]["downloaded"], false);
    // Refusals carry the server's own cause, not the status's name.
    EXPECT_EQ(getJson(*client, "/api/performers/999999/works", 404).value("cause", ""),
              "the service knows no performer 999999");

    EventReader events(server);
    const json queued = send(*client, "POST", "/api/performers/100001/download", json::object(), 201);
    ASSERT_EQ(queued["ids"].size(), 36u);
    const int last = queued["ids"][35], cancelled = queued["ids"][34];
    send(*client, "POST", "/api/queue/" + std::to_string(last) + "/pause", json::object());
    send(*client, "POST", "/api/queue/actions", {{"action", "cancel"}, {"ids", {cancelled}}});
    send(*client, "POST", "/api/queue/" + std::to_string(last) + "/retry", json::object(), 409);
    send(*client, "POST", "/api/queue/99999/pause", json::object(), 404);
    EXPECT_NE(send(*client, "POST", "/api/queue/actions", {{"action", "explode"}, {"ids", {1}}}, 422)
                  .value("cause", "")
                  .find("pause, continue, retry"),
              std::string::npos);

    // A running work paused and continued goes on from its part file (one
    // that ends before the pause reaches it is done: another is tried).
    bool pausedOne = false;
    for (int attempt = 0; attempt < 5 && !pausedOne; ++attempt) {
        const json queue = waitForQueue(*client, [](const json& q) {
            for (const json& item : q["items"])
                if (item["state"] == "running" && item["total"] > 0 && item["done"] < item["total"].get<int>() / 2)
                    return true;
            return false;
        });
        int running = 0;
        for (const json& item : queue["items"])
            if (item["state"] == "running" && item["total"] > 0 && item["done"] < item["total"].get<int>() / 2)
                running = item["id"];
        // 409 when it ended meanwhile.
        const auto paused = client->Post(("/api/queue/" + std::to_string(running) + "/pause").c_str(), "{}",
                                         "application/json");
        ASSERT_TRUE(paused);
        ASSERT_TRUE(paused->status == 200 || paused->status == 409) << paused->body;
        const std::string state = getJson(*client, "/api/queue/" + std::to_string(running))["state"];
        if (paused->status != 200 || state != "paused") continue;
        pausedOne = true;
        send(*client, "POST", "/api/queue/" + std::to_string(running) + "/continue", json::object());
    }
    EXPECT_TRUE(pausedOne);

    const json queue = waitForQueue(*client, [](const json& q) { return q["totals"]["done"] == 34; });
    EXPECT_EQ((*itemOf(queue, last))["state"], "paused");
    EXPECT_EQ(itemOf(queue, cancelled), nullptr);
    send(*client, "POST", "/api/queue/" + std::to_string(last) + "/continue", json::object());
    waitForQueue(*client, [](const json& q) { return q["totals"]["done"] == 35; });

    // Every file is the clip its work plays, and the cancelled one is not there.
    const json listed = getJson(*client, "/api/performers/100001/works");
    int downloaded = 0;
    for (const json& work : listed["works"]) {
        const fs::path file = downloads() / (work["song"].get<std::string>() + ".mp4");
        if (work["sequence"] == 35) {
            EXPECT_FALSE(fs::exists(file));
            continue;
        }
        EXPECT_EQ(work["downloaded"], true) << work.dump();
        downloaded += work["downloaded"] == true;
        EXPECT_TRUE(fileText(file) == clips[(work["sequence"].get<int>() - 1) % 3]) << file;
    }
    EXPECT_EQ(downloaded, 35);

    // The library serves what it holds, a range of it too, and deletes it.
    const json library = getJson(*client, "/api/library");
    ASSERT_EQ(library["files"].size(), 35u);
    const json& first = library["files"][0];
    const std::string video = "/api/library/" + std::to_string(first["id"].get<int>()) + "/video";
    const auto part = client->Get(video.c_str(), {{"Range", "bytes=100-199"}});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206);
    EXPECT_TRUE(part->body == fileText(downloads() / first["path"].get<std::string>()).substr(100, 100));
    EXPECT_EQ(part->get_header_value("Content-Type"), "video/mp4");
    const auto again = client->Get(video.c_str(), {{"If-None-Match", part->get_header_value("ETag")}});
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 304);
    // Listing asked for the posters the files lack; these clips are no
    // video, so a later look says none can be made.
    bool failed = false;
    for (int i = 0; i < 100 && !failed; ++i) {
        failed = getJson(*client, "/api/library")["files"][0]["posterFailed"] == true;
        if (!failed) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(failed);
    const json noted = getJson(*client, "/api/library")["files"][0];
    EXPECT_NE(noted["posterNote"], "") << "why, as the library keeps it";
    {
        std::string error;
        const std::unique_ptr<LibraryDb> db = LibraryDb::open(data() + "/library.db", error);
        ASSERT_TRUE(db) << error;
        EXPECT_TRUE(db->posterNotes().current((downloads() / noted["path"].get<std::string>()).string()))
            << "kept for the next start, which does not try again";
    }
    // Its poster is served with the browser's caching, and goes with it.
    const fs::path firstFile = downloads() / first["path"].get<std::string>();
    const fs::path poster = firstFile.parent_path() / (firstFile.stem().string() + "-poster.jpg");
    const std::string poster_url = "/api/library/" + std::to_string(first["id"].get<int>()) + "/poster";
    getJson(*client, poster_url, 404);
    std::ofstream(poster) << "JPEG-BYTES";
    std::ofstream(firstFile.parent_path() / (firstFile.stem().string() + ".nfo")) << "<musicvideo/>";
    const auto shown = client->Get(poster_url.c_str());
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->status, 200);
    EXPECT_EQ(shown->body, "JPEG-BYTES");
    EXPECT_EQ(shown->get_header_value("Content-Type"), "image/jpeg");
    EXPECT_EQ(shown->get_header_value("Cache-Control"), "private, max-age=3600");
    const auto cached = client->Get(poster_url.c_str(), {{"If-None-Match", shown->get_header_value("ETag")}});
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->status, 304);
    EXPECT_EQ(getJson(*client, "/api/library")["files"][0]["poster"], true);
    send(*client, "DELETE", "/api/library/" + std::to_string(first["id"].get<int>()), json::object());
    EXPECT_FALSE(fs::exists(downloads() / first["path"].get<std::string>()));
    EXPECT_FALSE(fs::exists(poster));
    EXPECT_FALSE(fs::exists(firstFile.parent_path() / (firstFile.stem().string() + ".nfo")));
    getJson(*client, video, 404);

    EXPECT_EQ(server.stop(), 0) << server.log();
    events.join();
    const std::multiset<std::string> seen = events.types();
    EXPECT_GE(seen.count("item"), 36u * 2);
    EXPECT_GE(seen.count("progress"), 4u);
    EXPECT_GE(seen.count("removed"), 1u);
    EXPECT_GE(seen.count("settled"), 1u);
    EXPECT_GE(seen.count("libraryRemoved"), 1u);
}

TEST_F(ServerTest, FollowsAPerformerAndFetchesItsNewWork) {
    const std::vector<std::string> clips = makeDemoClips((root_ / "media").string(), 20000);
    DemoService service((root_ / "media").string());
    ServerProcess server(data(), downloads().string(), service.url());
    ASSERT_TRUE(server.running()) << server.log();
    auto client = server.client();

    send(*client, "PUT", "/api/following/100001", json::object());
    const auto checked = [&] {
        for (int waited = 0; waited < 300; ++waited) {
            const json following = getJson(*client, "/api/following");
            if (!following["following"].empty() && following["following"][0]["lastChecked"] != 0)
                return following["following"][0];
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return json();
    };
    const json first = checked();
    ASSERT_TRUE(first.is_object()) << server.log();
    EXPECT_EQ(first["works"], 36);
    EXPECT_EQ(first["newWorks"], 0);

    httplib::Client demo(service.url());
    ASSERT_TRUE(demo.Get("/admin/add-work?lumono=100001"));
    send(*client, "POST", "/api/following/check", {{"performer", "100001"}}, 202);
    json fresh;
    for (int waited = 0; waited < 300 && (!fresh.is_object() || fresh["works"].empty()); ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        fresh = getJson(*client, "/api/following/100001/new");
    }
    ASSERT_EQ(fresh["works"].size(), 1u) << server.log();
    EXPECT_EQ(fresh["works"][0]["sequence"], 37);

    EXPECT_EQ(send(*client, "POST", "/api/following/download-new", json::object())["queued"], 1);
    waitForQueue(*client, [](const json& q) { return q["totals"]["done"] == 1; });
    EXPECT_TRUE(fileText(downloads() / (fresh["works"][0]["song"].get<std::string>() + ".mp4")) == clips[36 % 3]);
    EXPECT_TRUE(getJson(*client, "/api/following/100001/new")["works"].empty());

    send(*client, "DELETE", "/api/following/100001", json::object());
    send(*client, "DELETE", "/api/following/100001", json::object(), 404);
    send(*client, "PUT", "/api/settings", {{"parallel", 99}}, 422);
    send(*client, "PUT", "/api/settings", {{"naming", "performer"}, {"folder", "relative"}}, 422);
    EXPECT_EQ(getJson(*client, "/api/settings")["naming"], "song");
    // The media server's files follow the naming unless chosen apart.
    EXPECT_EQ(getJson(*client, "/api/settings")["mediaFiles"], false);
    EXPECT_EQ(send(*client, "PUT", "/api/settings", {{"naming", "performer"}})["mediaFiles"], true);
    EXPECT_EQ(send(*client, "PUT", "/api/settings", {{"mediaFiles", false}})["mediaFiles"], false);
    send(*client, "PUT", "/api/settings", {{"mediaFiles", "yes"}}, 422);
    EXPECT_EQ(getJson(*client, "/api/settings")["mediaFiles"], false);
    EXPECT_EQ(send(*client, "PUT", "/api/settings", {{"mediaFiles", nullptr}})["mediaFiles"], true);
    EXPECT_EQ(send(*client, "PUT", "/api/settings", {{"naming", "song"}})["mediaFiles"], false);
}

// In performers' folders each saved work gets the files a media server
// reads, and a later listing brings an .nfo that no longer tells the work's
// record up to date.
TEST_F(ServerTest, PerformersFoldersGetMediaServerFilesThatFollowTheListing) {
    makeDemoClips((root_ / "media").string(), 20000);
    DemoService service((root_ / "media").string());
    ServerProcess server(data(), downloads().string(), service.url());
    ASSERT_TRUE(server.running()) << server.log();
    auto client = server.client();
    EXPECT_EQ(send(*client, "PUT", "/api/settings", {{"naming", "performer"}})["mediaFiles"], true);
    const json listed = getJson(*client, "/api/performers/100001/works")["works"][1];
    send(*client, "POST", "/api/performers/100001/download", {{"sequences", {2}}}, 201);
    waitForQueue(*client, [](const json& q) { return q["totals"]["done"] == 1; });
    const fs::path nfo = downloads() / "100001" / ("2 " + listed["song"].get<std::string>() + ".nfo");
    const std::string title = "<title>" + listed["song"].get<std::string>() + "</title>";
    const auto tells = [&] {
        for (int i = 0; i < 100; ++i) {
            if (fileText(nfo).find(title) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    ASSERT_TRUE(tells()) << server.log();
    EXPECT_NE(fileText(nfo).find("<track>2</track>"), std::string::npos);

    std::ofstream(nfo, std::ios::trunc) << "<musicvideo><title>an older name</title></musicvideo>\n";
    EXPECT_EQ(getJson(*client, "/api/performers/100001/works")["works"][1]["downloaded"], true);
    EXPECT_TRUE(tells()) << "rewritten by the listing";
}

// Reads the stream from `lastSeen` until `enough` says so (at most 10 s).
std::string readEvents(const ServerProcess& server, const std::string& lastSeen,
                       const std::function<bool(const std::string&)>& enough) {
    auto client = server.client();
    client->set_read_timeout(10, 0);
    std::string text;
    client->Get("/api/events", {{"Last-Event-ID", lastSeen}}, [&](const char* data, std::size_t length) {
        text.append(data, length);
        return !enough(text);
    });
    return text;
}

TEST_F(ServerTest, AClientThatReconnectsGetsEveryChangeSinceItsLastEvent) {
    ServerProcess server(data(), downloads().string(), "http://127.0.0.1:9");
    ASSERT_TRUE(server.running()) << server.log();
    auto client = server.client();
    const std::string before = std::to_string(getJson(*client, "/api/queue")["eventId"].get<std::uint64_t>());
    // Changes made while no client listens.
    send(*client, "POST", "/api/queue/pause-all", json::object());
    send(*client, "PUT", "/api/settings", {{"parallel", 3}});
    send(*client, "POST", "/api/queue/continue-all", json::object());
    const std::string missed = readEvents(server, before, [](const std::string& text) {
        return text.find("\"paused\":false") != std::string::npos;
    });
    const std::size_t paused = missed.find("event: queue\ndata: {\"paused\":true}");
    const std::size_t settings = missed.find("event: settings");
    const std::size_t resumed = missed.find("event: queue\ndata: {\"paused\":false}");
    ASSERT_NE(paused, std::string::npos) << missed;
    EXPECT_LT(paused, settings) << "in the order they happened";
    EXPECT_LT(settings, resumed);
    EXPECT_EQ(missed.find("resync"), std::string::npos);
    // One that saw the last of them gets none of them again.
    const std::size_t idAt = missed.rfind("id: ", resumed);
    const std::string last = missed.substr(idAt + 4, missed.find('\n', idAt) - idAt - 4);
    send(*client, "PUT", "/api/settings", {{"parallel", 2}});
    const std::string after = readEvents(server, last, [](const std::string& text) {
        return text.find("event: settings") != std::string::npos;
    });
    EXPECT_EQ(after.find("event: queue"), std::string::npos) << after;
    // One from long ago (an earlier run of the server) reads the state again.
    const std::string ancient = readEvents(server, "1", [](const std::string& text) {
        return text.find("event: ") != std::string::npos;
    });
    EXPECT_NE(ancient.find("event: resync"), std::string::npos) << ancient;
}

TEST_F(ServerTest, StopsOnSigtermWithItsPartsAndGoesOnAtTheNextStart) {
    const std::vector<std::string> clips = makeDemoClips((root_ / "media").string(), 1500000);
    DemoService service((root_ / "media").string(), {"--rate", "300000"});
    std::vector<int> ids;
    {
        ServerProcess server(data(), downloads().string(), service.url());
        ASSERT_TRUE(server.running()) << server.log();
        auto client = server.client();
        // Ids given before are never given again, and a work keeps its id.
        send(*client, "POST", "/api/performers/100001/download", {{"sequences", {9}}}, 201);
        send(*client, "POST", "/api/queue/actions", {{"action", "remove"}, {"ids", {1}}});
        const json queued =
            send(*client, "POST", "/api/performers/100001/download", {{"sequences", {1, 2, 3, 4}}}, 201);
        ASSERT_EQ(queued["ids"].size(), 4u);
        for (const json& id : queued["ids"]) ids.push_back(id);
        EXPECT_EQ(ids.front(), 2);
        waitForQueue(*client, [](const json& q) {
            for (const json& item : q["items"])
                if (item["done"] > 200000) return true;
            return false;
        });
        EXPECT_EQ(server.stop(), 0);
        EXPECT_NE(server.log().find("stopped"), std::string::npos) << server.log();
    }
    // Nothing complete yet: the parts wait beside their names.
    std::size_t whole = 0;
    for (const auto& entry : fs::directory_iterator(downloads())) whole += entry.path().extension() == ".mp4";
    EXPECT_LT(whole, 4u);

    ServerProcess again(data(), downloads().string(), service.url());
    ASSERT_TRUE(again.running()) << again.log();
    auto client = again.client();
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(getJson(*client, "/api/queue/" + std::to_string(ids[static_cast<std::size_t>(n)]))["sequence"], n + 1)
            << "the same id names the same work after a restart";
    const json queue = waitForQueue(*client, [](const json& q) { return q["totals"]["done"] == 4; });
    EXPECT_NE(again.log().find("took up 4 queued works, 4 of them go on"), std::string::npos) << again.log();
    const json added = send(*client, "POST", "/api/performers/100001/download", {{"sequences", {7}}}, 201);
    EXPECT_EQ(added["ids"][0], 6) << "an id once given is not given again";
    const json works = getJson(*client, "/api/performers/100001/works");
    for (int n = 0; n < 4; ++n)
        EXPECT_TRUE(fileText(downloads() / (works["works"][n]["song"].get<std::string>() + ".mp4")) == clips[n % 3])
            << n;
    waitForQueue(*client, [](const json& q) { return q["totals"]["done"] == 5; });
    EXPECT_EQ(again.stop(), 0);

    // What finished stays as the queue's history, under the same ids.
    ServerProcess third(data(), downloads().string(), service.url());
    ASSERT_TRUE(third.running()) << third.log();
    auto last = third.client();
    const json history = getJson(*last, "/api/queue");
    ASSERT_EQ(history["items"].size(), 5u) << history.dump();
    EXPECT_EQ(history["totals"]["done"], 5);
    EXPECT_EQ(getJson(*last, "/api/queue/" + std::to_string(ids[0]))["state"], "done");
    EXPECT_NE(third.log().find("took up 5 queued works, 0 of them go on"), std::string::npos) << third.log();
}


// An answer holds every member its schema in the API's document requires,
// and none the document does not describe.
void expectDocumented(const json& answer, const std::string& schema) {
    static const json doc = json::parse(openApiText());
    const json& described = doc["components"]["schemas"][schema];
    ASSERT_TRUE(answer.is_object()) << schema << ": " << answer.dump();
    for (const json& name : described["required"])
        EXPECT_TRUE(answer.contains(name.get<std::string>())) << schema << " lacks " << name << ": " << answer.dump();
    for (const auto& [name, value] : answer.items())
        EXPECT_TRUE(described["properties"].contains(name)) << schema << " does not describe " << name;
}

// The check's state once it ended (at most `seconds`).
json waitForVerify(httplib::Client& client, int seconds = 60) {
    json state;
    for (int waited = 0; waited < seconds * 10; ++waited) {
        state = getJson(client, "/api/library/verify");
        if (state.is_object() && state["running"] == false && state["finished"] != 0) return state;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ADD_FAILURE() << "the check did not end: " << state.dump();
    return state;
}

// The library's files by their path inside the download folder.
std::map<std::string, json> libraryByPath(httplib::Client& client) {
    std::map<std::string, json> files;
    const json library = getJson(client, "/api/library");
    for (const json& file : library["files"]) files[file["path"]] = file;
    return files;
}

// Polls the library until `path`'s integrity is `wanted` (at most 20 s).
bool waitForIntegrity(httplib::Client& client, const std::string& path, const std::string& wanted) {
    for (int waited = 0; waited < 200; ++waited) {
        if (libraryByPath(client)[path].value("integrity", "") == wanted) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST_F(ServerTest, ChecksTheLibraryAgainstItsDigestsAndFetchesDamagedFilesAgain) {
    const std::vector<std::string> clips = makeDemoClips((root_ / "media").string(), 200000);
    DemoService service((root_ / "media").string());
    ServerProcess server(data(), downloads().string(), service.url());
    ASSERT_TRUE(server.running()) << server.log();
    auto client = server.client();
    const json listed = getJson(*client, "/api/performers/100001/works");
    expectDocumented(listed["works"][0], "Work");
    expectDocumented(getJson(*client, "/api/settings"), "Settings");
    send(*client, "POST", "/api/performers/100001/download", {{"sequences", {1, 2, 3}}}, 201);
    waitForQueue(*client, [](const json& q) { return q["totals"]["done"] == 3; });
    const std::string first = listed["works"][0]["song"].get<std::string>() + ".mp4";
    const std::string second = listed["works"][1]["song"].get<std::string>() + ".mp4";
    // Digests are taken after each save, off the queue's thread.
    for (const std::string& name : {first, second})
        ASSERT_TRUE(waitForIntegrity(*client, name, "asSaved")) << name << ": " << libraryByPath(*client)[name];
    {
        const json file = libraryByPath(*client)[first];
        expectDocumented(file, "LibraryFile");
        EXPECT_EQ(file["sha256"], *fileSha256((downloads() / first).string()));
        EXPECT_EQ(file["checked"], 0);
    }

    // One file rewritten in its middle, its size kept: it changed since its
    // digest. Its library row forgets its address: fetching it again asks
    // the performer's listing where it is now.
    {
        std::fstream rewrite(downloads() / second, std::ios::in | std::ios::out | std::ios::binary);
        rewrite.seekp(100000);
        rewrite.put('\x7f');
    }
    EXPECT_EQ(libraryByPath(*client)[second]["integrity"], "changed");
    std::string error;
    {
        const std::unique_ptr<LibraryDb> db = LibraryDb::open(data() + "/library.db", error);
        ASSERT_TRUE(db) << error;
        std::vector<WorkFile> rows = db->files().all(error);
        for (WorkFile& row : rows)
            if (fs::path(row.path).filename() == second) {
                row.address.clear();
                ASSERT_TRUE(db->files().record(row, std::time(nullptr), error)) << error;
            }
        // A file that rotted on the disk: its size and time are those its
        // digest was taken with, its bytes are not. No address, no performer.
        const fs::path rotten = downloads() / "rotten.mp4";
        std::ofstream(rotten) << std::string(5000, 'r');
        ASSERT_TRUE(db->files().record({"/rotten.mp4", rotten.string(), 5000, true}, std::time(nullptr), error));
        ASSERT_TRUE(db->digests().record({rotten.string(), *stampOf(rotten.string()), std::string(64, 'a'), 1}, error));
    }
    EXPECT_EQ(libraryByPath(*client)["rotten.mp4"]["integrity"], "asSaved");
    std::ofstream(downloads() / "stray.mp4") << "not saved by zorvan";

    EventReader events(server);
    const json started = send(*client, "POST", "/api/library/verify", json::object(), 202);
    EXPECT_NE(started["started"], 0);
    const json checked = waitForVerify(*client);
    expectDocumented(checked, "VerifyState");
    EXPECT_EQ(checked["result"], json({{"ok", 2}, {"damaged", 2}, {"missing", 0}, {"unverified", 0}, {"unknown", 1},
                                       {"repaired", json::array()}, {"notRepaired", json::array()}}))
        << checked.dump();
    EXPECT_EQ(checked["files"], 4);
    EXPECT_EQ(checked["filesTotal"], 4);
    EXPECT_EQ(checked["bytes"], checked["bytesTotal"]);
    EXPECT_EQ(checked["damaged"], 2);
    EXPECT_EQ(checked["error"], nullptr);
    std::map<std::string, json> files = libraryByPath(*client);
    EXPECT_EQ(files[first]["integrity"], "asSaved");
    EXPECT_EQ(files[second]["integrity"], "damaged");
    EXPECT_EQ(files["rotten.mp4"]["integrity"], "damaged") << "its stamp never changed";
    EXPECT_GT(files[second]["checked"], 0);
    EXPECT_EQ(files.count("stray.mp4"), 0u) << "unknown files are counted, not listed";

    // Asking for what cannot be checked is refused; a performer's files alone.
    send(*client, "POST", "/api/library/verify", {{"performers", "100001"}}, 422);
    send(*client, "POST", "/api/library/verify", {{"performers", {"../x"}}}, 422);
    send(*client, "POST", "/api/library/verify", {{"repair", "yes"}}, 422);
    send(*client, "POST", "/api/library/verify", {{"performers", {"100002"}}}, 202);
    EXPECT_EQ(waitForVerify(*client)["filesTotal"], 0);

    // Repairing: the listed work is fetched again into its place; the file
    // that nothing lists stays, and says why.
    send(*client, "POST", "/api/library/verify", {{"repair", true}}, 202);
    const json repaired = waitForVerify(*client);
    ASSERT_EQ(repaired["result"]["repaired"].size(), 1u) << repaired.dump();
    ASSERT_EQ(repaired["result"]["notRepaired"].size(), 1u) << repaired.dump();
    EXPECT_EQ(repaired["result"]["notRepaired"][0]["path"], "rotten.mp4");
    EXPECT_NE(repaired["result"]["notRepaired"][0]["cause"].get<std::string>().find("address"), std::string::npos);
    const int id = repaired["result"]["repaired"][0];
    waitForQueue(*client, [id](const json& q) {
        const json* item = itemOf(q, id);
        return item && (*item)["state"] == "done";
    });
    EXPECT_TRUE(fileText(downloads() / second) == clips[1]);
    EXPECT_FALSE(fs::exists(downloads() / (second + ".damaged")));
    EXPECT_FALSE(fs::exists(downloads() / (fs::path(second).stem().string() + "(1).mp4"))) << "in its own place";
    EXPECT_TRUE(waitForIntegrity(*client, second, "asSaved")) << libraryByPath(*client)[second];
    EXPECT_EQ(libraryByPath(*client)[second]["sha256"], *fileSha256((downloads() / second).string()));

    EXPECT_EQ(server.stop(), 0) << server.log();
    events.join();
    const std::multiset<std::string> seen = events.types();
    // Progress is passed on, the latest only; every end is kept.
    EXPECT_GE(seen.count("verify"), 1u);
    EXPECT_EQ(seen.count("verifyDone"), 3u);
}

// A work is who it is: a song listed four times is four works with four
// files, and a work queued by its address under another name is a file of
// its own that never takes over the first file's entry.
TEST_F(ServerTest, WorksOfOneNameAndOneAddressSavedTwiceAreEachTheirOwnFile) {
    const std::vector<std::string> clips = makeDemoClips((root_ / "media").string(), 30000);
    DemoService service((root_ / "media").string());
    ServerProcess server(data(), downloads().string(), service.url());
    ASSERT_TRUE(server.running()) << server.log();
    auto client = server.client();
    const json listed = getJson(*client, "/api/performers/100006/works");
    ASSERT_EQ(listed["works"].size(), 7u);
    EXPECT_EQ(listed["works"][1]["song"], "100006 #2") << "a work without a name is listed all the same";
    EXPECT_EQ(listed["works"][3]["title"], "晴天 (2)");
    send(*client, "POST", "/api/performers/100006/download", json::object(), 201);
    waitForQueue(*client, [](const json& q) { return q["totals"]["done"] == 7; });
    for (const auto& [name, n] : std::vector<std::pair<std::string, int>>{
             {"晴天.mp4", 3}, {"晴天 (2).mp4", 4}, {"晴天 (3).mp4", 6}, {"小幸运.mp4", 1}})
        EXPECT_TRUE(fileText(downloads() / name) == clips[static_cast<std::size_t>((n - 1) % 3)]) << name;

    const std::string address = listed["works"][0]["address"];
    send(*client, "POST", "/api/queue", {{"works", {{{"song", "by address test"}, {"address", address}}}}}, 201);
    waitForQueue(*client, [](const json& q) { return q["totals"]["done"] == 8; });
    std::map<std::string, json> files = libraryByPath(*client);
    ASSERT_EQ(files.size(), 8u) << "each file listed once";
    EXPECT_EQ(files["小幸运.mp4"]["song"], "小幸运");
    EXPECT_EQ(files["小幸运.mp4"]["performer"], "100006") << "never rewritten by another file of its address";
    EXPECT_EQ(files["by address test.mp4"]["song"], "by address test");
    EXPECT_EQ(files["by address test.mp4"]["performer"], "");
}

TEST_F(ServerTest, ACheckOfTheLibraryEndsWithTheServer) {
    // A file of 16 GiB that takes no disk: reading it through takes long.
    const fs::path big = downloads() / "big.mp4";
    const fs::path old = downloads() / "old.mp4";
    const fs::path elsewhere = root_ / "elsewhere.mp4";
    {
        std::ofstream(big).close();
        fs::resize_file(big, std::int64_t{16} << 30);
        std::ofstream(old) << "saved before digests were kept";
        std::ofstream(elsewhere) << "the window's, outside the server's folder";
        std::string error;
        const std::unique_ptr<LibraryDb> db = LibraryDb::open(data() + "/library.db", error);
        ASSERT_TRUE(db) << error;
        ASSERT_TRUE(db->files().record({"/big.mp4", big.string(), std::int64_t{16} << 30, true}, 1, error)) << error;
        ASSERT_TRUE(db->files().record({"/old.mp4", old.string(), 30, true}, 2, error)) << error;
        ASSERT_TRUE(db->files().record({"/elsewhere.mp4", elsewhere.string(), 41, true}, 3, error)) << error;
        ASSERT_TRUE(db->digests().record({big.string(), *stampOf(big.string()), std::string(64, 'b'), 1}, error));
    }
    {
        ServerProcess server(data(), downloads().string(), "http://127.0.0.1:9");
        ASSERT_TRUE(server.running()) << server.log();
        auto client = server.client();
        std::map<std::string, json> files = libraryByPath(*client);
        ASSERT_EQ(files.size(), 2u) << "only the download folder is the server's library";
        EXPECT_EQ(files["big.mp4"]["integrity"], "asSaved");
        EXPECT_EQ(files["old.mp4"]["integrity"], "noDigest");
        EXPECT_EQ(files["old.mp4"]["sha256"], nullptr);
        EXPECT_EQ(files["old.mp4"]["checked"], 0);

        EXPECT_EQ(getJson(*client, "/api/library/verify")["started"], 0);
        EXPECT_EQ(send(*client, "POST", "/api/library/verify", json::object(), 202)["running"], true);
        const json again = send(*client, "POST", "/api/library/verify", {{"repair", true}}, 409);
        EXPECT_NE(again.value("cause", "").find("already running"), std::string::npos) << again.dump();
        json state;
        for (int waited = 0; waited < 100; ++waited) {
            state = getJson(*client, "/api/library/verify");
            if (state["bytes"] > 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_EQ(state["running"], true) << state.dump();
        ASSERT_GT(state["bytes"], 0) << state.dump();
        EXPECT_EQ(state["filesTotal"], 2) << "only the download folder's files";
        const auto asked = std::chrono::steady_clock::now();
        EXPECT_EQ(server.stop(), 0) << server.log();
        EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5)) << "the read-through held it up";
    }
    // The next start knows no check, and nothing of the stopped one was noted.
    ServerProcess again(data(), downloads().string(), "http://127.0.0.1:9");
    ASSERT_TRUE(again.running()) << again.log();
    auto client = again.client();
    const json state = getJson(*client, "/api/library/verify");
    EXPECT_EQ(state["running"], false);
    EXPECT_EQ(state["started"], 0);
    EXPECT_FALSE(state.contains("result"));
    EXPECT_EQ(libraryByPath(*client)["big.mp4"]["checked"], 0);
}

}  // namespace
}  // namespace zorvan::test
