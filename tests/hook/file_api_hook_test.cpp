// Inline hooks on the program's own code, and the three file-function
// hooks the media host opens memory movies through.
#include "hook/file_api_hook.h"
#include "player/file_hooks.h"
#include "player/file_layer.h"
#include "player/memory_movies.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace zorvan {
namespace {

__attribute__((noipa)) int addOne(int x) {
    asm volatile(".rept 16\n\tnop\n\t.endr");
    return x + 1;
}

__attribute__((noipa)) int timesTen(int x) { return x * 10; }

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

std::string ownPath() {
    char path[PATH_MAX + 1] = {};
    return ::readlink("/proc/self/exe", path, PATH_MAX) > 0 ? path : "";
}

TEST(FileApiHook, InstallWritesAJumpAndRemoveRestoresTheExactBytes) {
    std::array<unsigned char, FileApiHook::longJumpBytes> before{};
    std::memcpy(before.data(), reinterpret_cast<void*>(&addOne), before.size());
    {
        FileApiHook hook;
        ASSERT_TRUE(hook.install(reinterpret_cast<void*>(&addOne), reinterpret_cast<void*>(&timesTen)));
        EXPECT_FALSE(hook.install(reinterpret_cast<void*>(&addOne), reinterpret_cast<void*>(&timesTen)));
        const auto* code = reinterpret_cast<const unsigned char*>(&addOne);
        ASSERT_EQ(hook.patchBytes(), FileApiHook::nearJumpBytes) << "the handler is in reach";
        EXPECT_EQ(code[0], 0xE9);
        std::int32_t displacement = 0;
        std::memcpy(&displacement, code + 1, sizeof displacement);
        EXPECT_EQ(reinterpret_cast<std::intptr_t>(code) + 5 + displacement, reinterpret_cast<std::intptr_t>(&timesTen));
        EXPECT_EQ(addOne(4), 40) << "the call goes to the handler";
        ASSERT_TRUE(hook.remove());
        EXPECT_EQ(std::memcmp(before.data(), reinterpret_cast<void*>(&addOne), before.size()), 0);
        EXPECT_EQ(addOne(4), 5);
        EXPECT_FALSE(hook.remove());
        ASSERT_TRUE(hook.install(reinterpret_cast<void*>(&addOne), reinterpret_cast<void*>(&timesTen)));
    }
    EXPECT_EQ(addOne(4), 5) << "a hook goes with its owner";
}

TEST(FileHooks, MemoryMoviesAnswerThroughTheHookedFunctionsAndEverythingElsePassesOn) {
    const std::string self = ownPath();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(fileAttributes(memoryMoviePath), invalidFileAttributes) << "no hooks yet";
    ASSERT_TRUE(installFileHooks(self));
    EXPECT_TRUE(fileHooksInstalled());

    // Nothing queued: the real answers.
    EXPECT_EQ(fileAttributes(memoryMoviePath), invalidFileAttributes);
    EXPECT_EQ(fileAttributes(self.c_str()), archiveAttribute);
    int fd = fileOpen(self.c_str());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(readAll(fd).substr(0, 4), "\x7f" "ELF");
    ::close(fd);

    // A queued movie: the pseudo path exists as the program's own file, and
    // opening that file gives the movie, whole, once.
    std::string movie(300000, '\0');
    for (std::size_t i = 0; i < movie.size(); ++i) movie[i] = static_cast<char>(i * 7);
    queueMemoryMovie(movie);
    EXPECT_EQ(fileAttributes(memoryMoviePath), archiveAttribute);
    FoundFile found;
    ASSERT_TRUE(fileFind(memoryMoviePath, &found));
    EXPECT_EQ(found.path, self);
    EXPECT_EQ(found.size, 300000);
    fd = fileOpen(self.c_str());
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(readAll(fd) == movie);
    ::close(fd);
    EXPECT_FALSE(frontMemoryMovieSize());

    removeFileHooks();
    queueMemoryMovie("x");
    EXPECT_EQ(fileAttributes(memoryMoviePath), invalidFileAttributes) << "unhooked again";
    clearMemoryMovies();
}

TEST(FileHooks, ManyThreadsCallTheHookedFunctionsWhileMoviesAreQueued) {
    const std::string self = ownPath();
    ASSERT_TRUE(installFileHooks(self));
    std::atomic<bool> stop{false};
    std::atomic<int> movies{0}, wrong{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&] {
            while (!stop) {
                const int fd = fileOpen(self.c_str());
                if (fd < 0) {
                    ++wrong;
                    continue;
                }
                char bytes[6] = {};
                const std::string head(bytes, static_cast<std::size_t>(std::max<ssize_t>(0, ::read(fd, bytes, sizeof bytes))));
                ::close(fd);
                if (head == "movie!") ++movies;
                else if (head.substr(0, 4) != "\x7f" "ELF") ++wrong;
                fileAttributes(memoryMoviePath);
            }
        });
    for (int i = 0; i < 200; ++i) queueMemoryMovie("movie!" + std::to_string(i));
    while (frontMemoryMovieSize()) std::this_thread::yield();
    stop = true;
    for (auto& caller : callers) caller.join();
    removeFileHooks();
    EXPECT_EQ(movies.load(), 200) << "each movie is opened exactly once";
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace zorvan
