#include "player/player_address.h"

#include <gtest/gtest.h>

namespace zorvan {
namespace {

TEST(PlayerAddress, ThePlayerMovieFindsItsSourceAndTheLocalPlayerItsEngine) {
    EXPECT_EQ(previewAddress("http://h:1", "http:\\/\\/m\\/a.mp4"), "http://h:1/res/play/player.swf?url=http:\\/\\/m\\/a.mp4");
    EXPECT_EQ(movieSource("http://h:1/res/play/player.swf?url=http:\\/\\/m\\/a.mp4"), "http://m/a.mp4");
    EXPECT_EQ(movieSource("http://h:1/res/play/player.swf?url=http%3A%2F%2Fm%2F%E6%AD%8C.mp4"), "http://m/\xE6\xAD\x8C.mp4");
    EXPECT_EQ(movieSource("http://h:1/res/play/player.swf?url="), "") << "the bare prefix: an empty player";
    EXPECT_EQ(movieSource("/home/u/video/a.mp4"), "/home/u/video/a.mp4");

    EXPECT_EQ(engineFor("/v/a.MP4"), PlayerEngine::FlashMovie);
    EXPECT_EQ(engineFor("http://h/a.flv?x=1.wmv"), PlayerEngine::MediaPlayer) << "the text after the last dot";
    EXPECT_EQ(engineFor("http://h/a.f4v?x=1"), PlayerEngine::FlashMovie);
    EXPECT_EQ(engineFor("RTMP://h/live"), PlayerEngine::FlashMovie);
    for (const char* other : {"/v/a.wmv", "/v/noextension", "http://h/a.hlv2"})
        EXPECT_EQ(engineFor(other), PlayerEngine::MediaPlayer) << other;
}

}  // namespace
}  // namespace zorvan
