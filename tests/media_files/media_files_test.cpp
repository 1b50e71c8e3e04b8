// Posters and .nfo files beside the videos, as a media server reads them,
// made from real clips (ffmpeg makes them for the test) and from files that
// are no video at all.
#include "cli/cli_run.h"
#include "media_files/noted_poster_worker.h"
#include "media_files/poster_maker.h"
#include "media_files/poster_worker.h"
#include "media_files/work_sidecars.h"
#include "store/library_db.h"
#include "support/demo_service.h"
#include "support/download_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

namespace zorvan {
namespace {

using namespace test;

// A clip of `seconds` whose first `blackSeconds` are black, made by ffmpeg.
std::string makeClip(const std::string& path, int seconds, int blackSeconds, const std::string& size = "640x360") {
    const std::string command = "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=" + size +
                                ":rate=25 -t " + std::to_string(seconds) +
                                " -vf \"drawbox=enable='lt(t," + std::to_string(blackSeconds) +
                                ")':color=black:t=fill\" -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 250 \"" +
                                path + "\" 2>&1";
    return std::system(command.c_str()) == 0 ? path : std::string();
}

struct Picture {
    int width = 0, height = 0;
    double brightness = -1;  // mean of the grey levels, 0 to 255
};

// A JPEG as ffmpeg reads it back: its size and how bright it is.
Picture readPicture(const std::string& jpeg) {
    Picture picture;
    FILE* probe = ::popen(("ffprobe -v error -show_entries stream=width,height -of csv=p=0 \"" + jpeg + "\"").c_str(),
                          "r");
    if (!probe || std::fscanf(probe, "%d,%d", &picture.width, &picture.height) != 2) picture.width = 0;
    if (probe) ::pclose(probe);
    FILE* grey = ::popen(("ffmpeg -loglevel error -i \"" + jpeg + "\" -f rawvideo -pix_fmt gray -").c_str(), "r");
    if (!grey) return picture;
    double sum = 0;
    long count = 0;
    for (int c; (c = std::fgetc(grey)) != EOF; ++count) sum += c;
    ::pclose(grey);
    if (count > 0) picture.brightness = sum / static_cast<double>(count);
    return picture;
}

TEST(Posters, AFrameAWayInPastABlackStartAndNoneFromAFileThatIsNoVideo) {
    const std::string folder = freshFolder("posters");
    const std::string clip = makeClip(folder + "/fade.mp4", 8, 3);
    if (clip.empty()) GTEST_SKIP() << "ffmpeg cannot make a clip here";

    const PosterResult made = makePoster(clip, folder + "/fade-poster.jpg");
    ASSERT_TRUE(made.made) << made.why;
    const Picture poster = readPicture(folder + "/fade-poster.jpg");
    EXPECT_EQ(poster.width, posterWidth);
    EXPECT_EQ(poster.height, 180);
    EXPECT_GT(poster.brightness, 60) << "the first seconds are black: the poster is from after them";
    EXPECT_GT(made.cpuSeconds, 0);
    EXPECT_FALSE(std::filesystem::exists(folder + "/fade-poster.jpg.tmp"));

    // Random bytes, an empty file, a file that is not there: no poster, a reason.
    std::ofstream(folder + "/noise.mp4") << std::string(20000, '\x5a');
    std::ofstream(folder + "/empty.mp4");
    for (const char* name : {"noise", "empty", "missing"}) {
        const PosterResult none = makePoster(folder + "/" + name + ".mp4", folder + "/" + name + "-poster.jpg");
        EXPECT_FALSE(none.made) << name;
        EXPECT_FALSE(none.why.empty()) << name;
        EXPECT_FALSE(std::filesystem::exists(folder + "/" + name + "-poster.jpg")) << name;
    }
    // A clip cut off half-way still gives a frame from what is there.
    const std::string whole = readFile(clip);
    std::ofstream(folder + "/cut.mp4", std::ios::binary) << whole.substr(0, whole.size() / 2);
    const PosterResult cut = makePoster(folder + "/cut.mp4", folder + "/cut-poster.jpg");
    EXPECT_TRUE(cut.made || !cut.why.empty());
}

// The elements Kodi's music-video .nfo documents (and Jellyfin reads).
const std::set<std::string> documented{"musicvideo", "title",   "userrating", "top250", "track",     "album",
                                       "outline",    "plot",    "tagline",    "runtime", "thumb",     "mpaa",
                                       "playcount",  "lastplayed", "id",      "genre",   "tag",       "director",
                                       "premiered",  "year",    "status",     "code",    "aired",     "studio",
                                       "trailer",    "fileinfo", "artist",    "dateadded"};

// Each element of the .nfo, checked to be documented and closed in order.
void expectValidNfo(const std::string& xml) {
    ASSERT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<musicvideo>\n", 0), 0u) << xml;
    const std::regex tag(R"(<(/?)([A-Za-z]+)[^>]*>)");
    std::vector<std::string> open;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), tag); it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[2];
        EXPECT_TRUE(documented.count(name)) << "<" << name << "> is not a documented element";
        if ((*it)[1] == "/") {
            ASSERT_FALSE(open.empty()) << xml;
            EXPECT_EQ(open.back(), name) << xml;
            open.pop_back();
        } else {
            open.push_back(name);
        }
    }
    EXPECT_TRUE(open.empty()) << xml;
    // Character data: no bare markup characters, no control characters.
    const std::string text = std::regex_replace(xml.substr(xml.find("<musicvideo>")), tag, "");
    EXPECT_EQ(text.find('<'), std::string::npos) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex("&(?!(amp|lt|gt|quot);)")) == false) << text;
    for (const char c : text) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != ' ') << text;
}

TEST(MediaSidecars, TheNfoNamesTheWorkInDocumentedElementsAndTheFilesGoWithTheVideo) {
    const std::string folder = freshFolder("sidecars") + "/100001";
    std::filesystem::create_directories(folder);
    WorkMedia work{folder + "/3 Rock & <Roll> \"live\"\x01.mp4", "Rock & <Roll> \"live\"\x01", "100001", 3,
                   1765280000, "http://svc:8080"};
    const std::string xml = nfoText(work);
    expectValidNfo(xml);
    EXPECT_NE(xml.find("<title>Rock &amp; &lt;Roll&gt; &quot;live&quot;</title>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<artist>100001</artist>"), std::string::npos);
    EXPECT_NE(xml.find("<track>3</track>"), std::string::npos);
    EXPECT_NE(xml.find("<studio>http://svc:8080</studio>"), std::string::npos);
    EXPECT_NE(xml.find("<premiered>2025-12-09</premiered>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("-poster.jpg</thumb>"), std::string::npos);

    EXPECT_EQ(posterPathOf("/v/100001/3 晴天.mp4"), "/v/100001/3 晴天-poster.jpg");
    EXPECT_EQ(nfoPathOf("/v/100001/3 晴天.mp4"), "/v/100001/3 晴天.nfo");
    EXPECT_EQ(folderPosterOf("/v/100001/3 晴天.mp4"), "/v/100001/folder.jpg");

    std::string error;
    ASSERT_TRUE(writeNfo(work, error)) << error;
    EXPECT_EQ(readFile(nfoPathOf(work.videoPath)), xml);
    // Written again only when the work's record changed.
    const auto written = std::filesystem::last_write_time(nfoPathOf(work.videoPath));
    std::filesystem::last_write_time(nfoPathOf(work.videoPath), written - std::chrono::hours(1));
    ASSERT_TRUE(writeNfo(work, error)) << error;
    EXPECT_EQ(std::filesystem::last_write_time(nfoPathOf(work.videoPath)), written - std::chrono::hours(1));
    WorkMedia renamed = work;
    renamed.songName = "Rock";
    ASSERT_TRUE(writeNfo(renamed, error)) << error;
    EXPECT_NE(readFile(nfoPathOf(work.videoPath)).find("<title>Rock</title>"), std::string::npos);
    ASSERT_TRUE(writeNfo(work, error)) << error;
    // Without a date of its own, the video's: the same text at every run.
    std::ofstream(work.videoPath) << "video";
    WorkMedia undated = work;
    undated.firstSeen = 0;
    using Clock = std::filesystem::file_time_type::clock;
    std::filesystem::last_write_time(work.videoPath, Clock::now() - std::chrono::hours(24 * 400));
    const std::time_t then = std::time(nullptr) - 400 * 24 * 3600;
    std::tm local{};
    localtime_r(&then, &local);
    char day[16];
    std::strftime(day, sizeof day, "%Y-%m-%d", &local);
    EXPECT_NE(nfoText(undated).find(std::string("<premiered>") + day + "</premiered>"), std::string::npos)
        << nfoText(undated);
    std::ofstream(posterPathOf(work.videoPath)) << "first";
    giveFolderItsPoster(work.videoPath);
    EXPECT_EQ(readFile(folder + "/folder.jpg"), "first");
    std::ofstream(posterPathOf(work.videoPath)) << "second";
    giveFolderItsPoster(work.videoPath);
    EXPECT_EQ(readFile(folder + "/folder.jpg"), "first") << "a folder keeps the picture it has";
    removeSidecars(work.videoPath);
    EXPECT_FALSE(std::filesystem::exists(nfoPathOf(work.videoPath)));
    EXPECT_FALSE(std::filesystem::exists(posterPathOf(work.videoPath)));
    removeSidecars(work.videoPath);  // nothing left to remove: no trouble
}

TEST(MediaSidecars, GetAllWithThePerformerLayoutLeavesAPosterAndNfoBesideEachWorkAndNotesWhatCannotBeDecoded) {
    const std::string media = freshFolder("sidecar-media");
    // Work n plays clip (n - 1) % 3: two real clips, one that is no video.
    if (makeClip(media + "/clip0.mp4", 4, 1, "320x180").empty() || makeClip(media + "/clip1.mp4", 6, 0).empty())
        GTEST_SKIP() << "ffmpeg cannot make a clip here";
    std::ofstream(media + "/clip2.mp4") << std::string(30000, 'n');
    DemoService service(media);
    ASSERT_FALSE(service.url().empty());
    const std::string folder = freshFolder("sidecar-out");
    const std::string data = "XDG_DATA_HOME=" + freshFolder("sidecar-data");
    CliRun run = runCli("get-all 100001 --max 6 -j 3 --layout performer --no-config -o " + folder + " --service " +
                            service.url(),
                        data);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("posters: 4 made ("), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(", 2 could not be made"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("note    3 光年之外.mp4: no poster, "), std::string::npos) << run.output;
    const std::string performer = folder + "/100001/";
    for (const char* name : {"1 小幸运", "2 起风了", "4 平凡之路", "5 晴天"}) {
        EXPECT_TRUE(std::filesystem::exists(performer + name + ".mp4")) << name;
        EXPECT_EQ(readPicture(performer + name + "-poster.jpg").width, posterWidth) << name;
        expectValidNfo(readFile(performer + name + ".nfo"));
    }
    EXPECT_FALSE(std::filesystem::exists(performer + "3 光年之外-poster.jpg"));
    expectValidNfo(readFile(performer + "3 光年之外.nfo"));
    EXPECT_EQ(readPicture(performer + "folder.jpg").width, posterWidth);

    // Files saved before media files were asked for get theirs on the next run.
    const std::string plain = freshFolder("sidecar-plain");
    run = runCli("get-all 100001 --max 2 --no-config -o " + plain + " --service " + service.url(), data);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_FALSE(std::filesystem::exists(plain + "/小幸运.nfo")) << "none unless asked for";
    run = runCli("get-all 100001 --max 2 --media-files --no-config -o " + plain + " --service " + service.url(), data);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    expectValidNfo(readFile(plain + "/小幸运.nfo"));
    EXPECT_EQ(readPicture(plain + "/起风了-poster.jpg").width, posterWidth);
}

TEST(PosterWorker, MakesEveryJobOffTheCallersThreadAndCountsThem) {
    const std::string folder = freshFolder("poster-worker");
    const std::string clip = makeClip(folder + "/a.mp4", 3, 0, "320x180");
    if (clip.empty()) GTEST_SKIP() << "ffmpeg cannot make a clip here";
    std::filesystem::copy_file(clip, folder + "/b.mp4");
    std::ofstream(folder + "/c.mp4") << "not a video";
    PosterWorker worker;
    for (const char* name : {"a", "b", "c"})
        worker.add({{folder + "/" + name + ".mp4", name, "7", 1, 0, "http://s"}, false});
    const PosterWorker::Tally tally = worker.finish();
    EXPECT_EQ(tally.made, 2);
    EXPECT_EQ(tally.failed, 1);
    ASSERT_EQ(tally.notes.size(), 1u);
    EXPECT_EQ(tally.notes[0].rfind("c.mp4: no poster, ", 0), 0u) << tally.notes[0];
    for (const char* name : {"a", "b", "c"}) EXPECT_TRUE(std::filesystem::exists(folder + "/" + name + ".nfo"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/folder.jpg"));
}

// With the library keeping its notes, a video that gives no poster is
// noted once, and bringing its files up to date later does not decode it
// again: only a changed file is tried afresh.
TEST(PosterWorker, AVideoThatGivesNoPosterIsNotedAndNotDecodedAgainUntilItChanges) {
    const std::string folder = freshFolder("poster-notes-worker");
    const std::string dbPath = folder + "/library.db";
    const std::string video = folder + "/坏.mp4";
    std::ofstream(video) << "not a video";
    const WorkMedia work{video, "坏", "7", 1, 0, "http://s"};
    PosterWorker::Tally tally;
    {
        const auto worker = posterWorkerNotingIn(dbPath);
        worker->add({work, false, true});
        tally = worker->finish();
    }
    EXPECT_EQ(tally.failed, 1);
    std::string error;
    const std::unique_ptr<LibraryDb> db = LibraryDb::open(dbPath, error);
    ASSERT_TRUE(db) << error;
    const std::optional<std::string> note = db->posterNotes().current(video);
    ASSERT_TRUE(note);
    EXPECT_EQ(*note, "it is no video file (its format is not known)");

    const auto again = posterWorkerNotingIn(dbPath);
    again->add({work, false, true, true});  // as a listing brings it up to date
    tally = again->finish();
    EXPECT_EQ(tally.failed + tally.made, 0) << "not tried again";
    EXPECT_TRUE(std::filesystem::exists(nfoPathOf(video))) << "its .nfo is still brought up to date";

    std::ofstream(video, std::ios::app) << ", changed";
    again->add({work, false, true, true});
    EXPECT_EQ(again->finish().failed, 1) << "a changed file is tried afresh";
}

}  // namespace
}  // namespace zorvan
