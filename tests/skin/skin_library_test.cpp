// The real skin library image carried in the program's data: it maps, runs
// wherever it lands, and hands a valid skin's style sheet to the host.
#include "skin/attach_skin.h"
#include "skin/skin_data.h"

#include <gtest/gtest.h>

#include <string>

namespace zorvan {
namespace {

std::string receivedSheet;
int sheetCalls = 0;

__attribute__((ms_abi)) int takeStyleSheet(const char* text, std::uint64_t length) {
    receivedSheet.assign(text, length);
    ++sheetCalls;
    return 1;
}

TEST(SkinLibrary, MapsFromProgramDataAndHandsOnlyAValidSkinToTheHost) {
    pe::HostLibraries hosts;
    hosts.add("ZORVAN_HOST.DLL", "applyStyleSheet", reinterpret_cast<std::uintptr_t>(&takeStyleSheet));
    const auto image = skinLibraryImage();
    const auto skin = skinResource();
    ASSERT_EQ(std::string(skin.begin(), skin.begin() + 8), std::string("ZSKN\1\0\0\0", 8));

    pe::MemoryModule first(hosts), second(hosts);
    EXPECT_EQ(attachSkinResource(first, skin), 0u) << "nothing mapped: no call";
    ASSERT_TRUE(first.Load(image.data(), image.size()));
    ASSERT_TRUE(second.Load(image.data(), image.size())) << "relocated beside the first";
    EXPECT_EQ(first.GetProc("1"), first.GetProc("SkinH_AttachRes"));
    EXPECT_NE(first.GetProc("SkinH_AttachRes"), 0u);

    // The second copy runs alone: its code may not reach into the first.
    for (pe::MemoryModule* module : {&first, &second}) {
        receivedSheet.clear();
        EXPECT_EQ(static_cast<int>(attachSkinResource(*module, skin, "", 0, 0, 0)), 1);
        EXPECT_EQ(receivedSheet, std::string(skin.begin() + 8, skin.end()));
        if (module == &first) {
            ASSERT_TRUE(first.Free());
        }
    }
    EXPECT_NE(receivedSheet.find("QProgressBar::chunk"), std::string::npos);

    // Not this format, a version it does not know, or too short: refused.
    ASSERT_TRUE(first.Load(image.data(), image.size()));
    sheetCalls = 0;
    const std::string refused[] = {std::string("ZSKX\1\0\0\0a{}", 11), std::string("ZSKN\2\0\0\0a{}", 11),
                                   std::string("ZSKN\1\0\0", 7)};
    for (const std::string& bad : refused) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(bad.data());
        EXPECT_EQ(static_cast<int>(attachSkinResource(first, {bytes, bad.size()})), 0) << bad;
    }
    EXPECT_EQ(sheetCalls, 0);

    // Without the host function the library cannot be linked.
    const pe::HostLibraries noHosts;
    pe::MemoryModule unlinked(noHosts);
    EXPECT_FALSE(unlinked.Load(image.data(), image.size()));
}

}  // namespace
}  // namespace zorvan
