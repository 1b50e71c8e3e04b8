// The loader against DLL images written by the tests: every damaged image
// is refused with nothing left mapped, and a sound one is mapped, relocated,
// linked to the host and run as its headers say.
#include "skin/pe/call_with_args.h"
#include "skin/pe/memory_module.h"
#include "support/pe_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace zorvan {
namespace {

using pe::CallArg;
using pe::HostLibraries;
using pe::MemoryModule;
using test::PeImage;
using test::SectionContent;

// What the image's entry point reported to the host, and what it answers.
struct EntryCall {
    std::uintptr_t module;
    std::uint32_t reason;
    std::uintptr_t reserved;
};
std::vector<EntryCall> entryCalls;
int entryAnswer = 1;

__attribute__((ms_abi)) int recordEntry(std::uintptr_t module, std::uint32_t reason, std::uintptr_t reserved) {
    entryCalls.push_back({module, reason, reserved});
    return entryAnswer;
}
__attribute__((ms_abi)) int answerSeven() { return 7; }
__attribute__((ms_abi)) int resolvedElsewhere() { return 8; }
__attribute__((ms_abi)) int unused() { return 0; }

const HostLibraries& testHosts() {
    static const HostLibraries hosts = [] {
        HostLibraries table;
        table.add("test_host.dll", "recordEntry", reinterpret_cast<std::uintptr_t>(&recordEntry));
        table.add("test_host.dll", "answerSeven", reinterpret_cast<std::uintptr_t>(&answerSeven));
        table.add("other.dll", "unused", reinterpret_cast<std::uintptr_t>(&unused));
        return table;
    }();
    return hosts;
}

std::vector<std::string> resolverCalls;
std::uintptr_t resolveSome(const char* library, const char* function, void* value) {
    resolverCalls.push_back(std::string(library) + "!" + function);
    if (std::strcmp(function, "resolvedElsewhere") != 0) return 0;
    return reinterpret_cast<std::uintptr_t>(value);
}

// A DLL with code at 0x1000 and everything else in a data section at
// 0x2000 whose virtual size is larger than its raw data.
struct TestDll {
    PeImage image;
    std::uint32_t code = 0x1000, answer = 0, tenth = 0, fourth = 0;
    std::uint32_t relocated = 0;      // u64 (type 10), u32 (type 3), u64 under a type-0 entry
    std::uint32_t addressTable = 0;   // recordEntry, ordinal 2, resolvedElsewhere
    std::uint32_t descriptor = 0, relocationBlock = 0, dataEnd = 0;
    std::uint32_t libraryName = 0, recordName = 0;

    TestDll() {
        SectionContent data(0x2000);
        relocated = data.put64(image.preferredBase + 0x1000);
        data.put32(static_cast<std::uint32_t>(image.preferredBase + 0x1000));
        data.put32(0);
        data.put64(0x1122334455667788);
        addImports(data);
        addCode();
        addExports(data);
        for (std::size_t i = 0; i < exportSlots.size(); ++i)
            data.set32(exportTable + static_cast<std::uint32_t>(4 * i), exportSlots[i]);
        relocationBlock = data.put32(0x2000);
        data.put32(16);
        for (std::uint16_t entry : {0xA000, 0x3008, 0x0010, 0x0000}) data.put16(entry);
        image.directories[PeImage::relocations] = {relocationBlock, 16};
        dataEnd = data.next();
        test::PeSection section = data.section(0xC0000040);  // data: read and write
        section.virtualSize += 0x1800;  // a zero tail
        image.sections.push_back(section);
    }

    void addImports(SectionContent& data) {
        libraryName = data.putText("TEST_HOST.dll");  // names match in any case
        recordName = data.put16(0);
        data.putText("recordEntry");
        const std::uint32_t resolvedName = data.put16(0);
        data.putText("resolvedElsewhere");
        addressTable = data.put64(recordName);
        data.put64((1ull << 63) | 2);
        data.put64(resolvedName);
        data.put64(0);
        descriptor = data.put32(0);
        for (std::uint32_t field : {0u, 0u, libraryName, addressTable}) data.put32(field);
        for (int i = 0; i < 5; ++i) data.put32(0);
        image.directories[PeImage::imports] = {descriptor, 40};
    }

    void addCode() {
        SectionContent text(0x1000);
        // The entry point reports (module, reason, reserved) through its import.
        const std::int32_t toImport = static_cast<std::int32_t>(addressTable - (0x1000 + 4 + 6));
        std::vector<std::uint8_t> entry = {0x48, 0x83, 0xEC, 0x28, 0xFF, 0x15};
        entry.resize(10);
        std::memcpy(entry.data() + 6, &toImport, 4);
        entry.insert(entry.end(), {0x48, 0x83, 0xC4, 0x28, 0xC3});
        image.entryPoint = text.put(entry);
        answer = text.put(std::vector<std::uint8_t>{0xB8, 42, 0, 0, 0, 0xC3});           // mov eax, 42
        tenth = text.put(std::vector<std::uint8_t>{0x48, 0x8B, 0x44, 0x24, 0x50, 0xC3}); // mov rax, [rsp+0x50]
        fourth = text.put(std::vector<std::uint8_t>{0x4C, 0x89, 0xC8, 0xC3});            // mov rax, r9
        image.sections.push_back(text.section());
    }

    // Ordinal base 1: Answer (1), Tenth (2), Fourth (3), one forwarded to
    // another library (4), and a gap (5).
    void addExports(SectionContent& data) {
        const std::uint32_t names[] = {data.putText("Answer"), data.putText("Fourth"), data.putText("Tenth")};
        const std::uint32_t functions = data.next();
        for (int i = 0; i < 5; ++i) data.put32(0);
        const std::uint32_t nameTable = data.next();
        for (std::uint32_t n : names) data.put32(n);
        const std::uint32_t ordinals = data.next();
        for (std::uint16_t o : {0, 2, 1}) data.put16(o);
        const std::uint32_t directory = data.next();
        for (std::uint32_t field : {0u, 0u, 0u, 0u, 1u, 5u, 3u, functions, nameTable, ordinals}) data.put32(field);
        const std::uint32_t forward = data.putText("OTHER.Function");  // inside the directory: a forwarder
        image.directories[PeImage::exports] = {directory, data.next() - directory};
        exportTable = functions;
        exportSlots = {answer, tenth, fourth, forward, 0u};
    }
    std::uint32_t exportTable = 0;
    std::vector<std::uint32_t> exportSlots;

    void set32(std::uint32_t at, std::uint32_t value) {
        std::memcpy(image.sections[1].raw.data() + (at - 0x2000), &value, 4);
    }
};

// The protection of the mapping holding `address` ("r-xp"), from /proc/self/maps.
std::string protectionAt(std::uintptr_t address) {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const std::uintptr_t from = std::stoull(line.substr(0, line.find('-')), nullptr, 16);
        const std::uintptr_t to = std::stoull(line.substr(line.find('-') + 1), nullptr, 16);
        if (address >= from && address < to) return line.substr(line.find(' ') + 1, 4);
    }
    return "unmapped";
}

// Mappings that are readable, writable and executable: only the loader makes them.
int executableWritableMappings() {
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);)
        if (line.find(" rwxp ") != std::string::npos) ++count;
    return count;
}

template <typename T>
T at(const MemoryModule& module, std::uint32_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const void*>(module.handle() + offset), sizeof value);
    return value;
}

class MemoryModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        entryCalls.clear();
        resolverCalls.clear();
        entryAnswer = 1;
    }
    bool load(MemoryModule& module, const std::vector<std::uint8_t>& bytes) {
        return module.Load(bytes.data(), bytes.size(), resolveSome, reinterpret_cast<void*>(&resolvedElsewhere));
    }
};

TEST_F(MemoryModuleTest, RefusesEveryDamagedImageWithNothingLeftMapped) {
    using Damage = std::function<std::vector<std::uint8_t>(TestDll&)>;
    const auto onBytes = [](std::function<void(std::vector<std::uint8_t>&)> change) -> Damage {
        return [change](TestDll& d) { auto bytes = d.image.bytes(); change(bytes); return bytes; };
    };
    const auto onImage = [](std::function<void(TestDll&)> change) -> Damage {
        return [change](TestDll& d) { change(d); return d.image.bytes(); };
    };
    const std::vector<std::pair<const char*, Damage>> damages = {
        {"shorter than a DOS header", onBytes([](auto& b) { b.resize(63); })},
        {"no MZ", onBytes([](auto& b) { b[0] = 'X'; })},
        {"no PE signature", onBytes([](auto& b) { b[64] = 'X'; })},
        {"NT headers past the end", onBytes([](auto& b) { b[61] = 0xFF; })},
        {"truncated section table", onBytes([](auto& b) { b.resize(test::peSectionTableAt + 79); })},
        {"section data past the end", onBytes([](auto& b) { b.resize(b.size() - 1); })},
        {"not an executable image", onImage([](TestDll& d) { d.image.characteristics = 0x2000; })},
        {"a PE32 image", onImage([](TestDll& d) { d.image.optionalMagic = 0x010B; })},
        {"another machine's code", onImage([](TestDll& d) { d.image.machine = 0x014C; })},
        {"section alignment 0", onImage([](TestDll& d) { d.image.sectionAlignment = 0; })},
        {"entry point outside the image", onImage([](TestDll& d) { d.image.entryPoint = 0x100000; })},
        {"relocations past the image", onImage([](TestDll& d) { d.image.directories[5] = {0x3FF0, 0x100}; })},
        {"relocation block under 8 bytes", onImage([](TestDll& d) { d.set32(d.relocationBlock + 4, 4); })},
        {"relocated value past the image", onImage([](TestDll& d) { d.set32(d.relocationBlock, 0x3FFF); })},
        {"library name past the image", onImage([](TestDll& d) { d.set32(d.descriptor + 12, 0xFFFFFF); })},
        {"import table past the image", onImage([](TestDll& d) { d.set32(d.descriptor + 16, 0x3FFC); })},
        {"unknown library", onImage([](TestDll& d) { d.set32(d.descriptor + 12, d.recordName + 2); })},
        {"unknown function", onImage([](TestDll& d) { d.set32(d.addressTable, d.libraryName - 2); })},
        {"a relocation type it cannot apply", onImage([](TestDll& d) {
             std::uint16_t highAdjust = 0x4000;
             std::memcpy(d.image.sections[1].raw.data() + (d.relocationBlock + 8 - 0x2000), &highAdjust, 2);
         })},
        {"a section writable and executable", onImage([](TestDll& d) { d.image.sections[0].characteristics = 0xE0000020; })},
    };
    MemoryModule module(testHosts());
    const int before = executableWritableMappings();
    for (const auto& [what, damage] : damages) {
        TestDll dll;
        EXPECT_FALSE(load(module, damage(dll))) << what;
        EXPECT_EQ(module.handle(), 0u) << what;
        EXPECT_EQ(executableWritableMappings(), before) << what;
    }
    EXPECT_TRUE(entryCalls.empty());

    // An entry point that refuses to attach gets a detach, and the image goes.
    entryAnswer = 0;
    EXPECT_FALSE(load(module, TestDll().image.bytes()));
    ASSERT_EQ(entryCalls.size(), 2u);
    EXPECT_EQ(entryCalls[0].reason, 1u);
    EXPECT_EQ(entryCalls[1].reason, 0u);
    EXPECT_EQ(module.handle(), 0u);
    EXPECT_EQ(executableWritableMappings(), before);
}

TEST_F(MemoryModuleTest, MapsRelocatesLinksAndRunsAnImage) {
    const TestDll dll;
    const auto bytes = dll.image.bytes();
    MemoryModule first(testHosts());
    ASSERT_TRUE(load(first, bytes));
    ASSERT_EQ(first.handle(), dll.image.preferredBase) << "the preferred base was free";
    // Mapped where it wanted to be: the walk changes nothing.
    EXPECT_EQ(at<std::uint64_t>(first, dll.relocated), dll.image.preferredBase + 0x1000);
    // The section's tail beyond its raw data, to the aligned end, reads zero.
    for (std::uint32_t offset = dll.dataEnd; offset < 0x4000; offset += 0x100)
        EXPECT_EQ(at<std::uint8_t>(first, offset), 0) << offset;

    // Attached with a null module handle; imports by name (library name in
    // another case), by ordinal, and from the resolver, which is asked first.
    ASSERT_EQ(entryCalls.size(), 1u);
    EXPECT_EQ(entryCalls[0].module, 0u);
    EXPECT_EQ(entryCalls[0].reason, 1u);
    EXPECT_EQ(entryCalls[0].reserved, 0u);
    EXPECT_EQ(at<std::uintptr_t>(first, dll.addressTable), reinterpret_cast<std::uintptr_t>(&recordEntry));
    EXPECT_EQ(at<std::uintptr_t>(first, dll.addressTable + 8), reinterpret_cast<std::uintptr_t>(&answerSeven));
    EXPECT_EQ(at<std::uintptr_t>(first, dll.addressTable + 16), reinterpret_cast<std::uintptr_t>(&resolvedElsewhere));
    EXPECT_EQ(resolverCalls, (std::vector<std::string>{"TEST_HOST.dll!recordEntry", "TEST_HOST.dll!2",
                                                        "TEST_HOST.dll!resolvedElsewhere"}));

    // The same image again while the first holds its base: mapped elsewhere,
    // 64- and 32-bit values moved, the one under a padding entry not.
    MemoryModule second(testHosts());
    ASSERT_TRUE(load(second, bytes));
    ASSERT_NE(second.handle(), first.handle());
    const std::uint64_t codeAt = second.handle() + 0x1000;
    EXPECT_EQ(at<std::uint64_t>(second, dll.relocated), codeAt);
    EXPECT_EQ(at<std::uint32_t>(second, dll.relocated + 8), static_cast<std::uint32_t>(codeAt));
    EXPECT_EQ(at<std::uint64_t>(second, dll.relocated + 16), 0x1122334455667788u);

    // Each section as its flags say, and never writable and executable.
    EXPECT_EQ(protectionAt(second.handle()), "r--p") << "headers";
    EXPECT_EQ(protectionAt(second.handle() + 0x1000), "r-xp") << "code";
    EXPECT_EQ(protectionAt(second.handle() + 0x2000), "rw-p") << "data";
    EXPECT_EQ(executableWritableMappings(), 0);

    // Without relocations an image cannot go anywhere but its own base,
    // which the first one holds.
    TestDll fixed;
    fixed.image.directories[PeImage::relocations] = {0, 0};
    MemoryModule third(testHosts());
    EXPECT_FALSE(load(third, fixed.image.bytes()));
    EXPECT_EQ(third.handle(), 0u);

    // Free detaches and unmaps; a second Load frees the image it replaces.
    entryCalls.clear();
    EXPECT_TRUE(second.Free());
    EXPECT_EQ(second.handle(), 0u);
    EXPECT_TRUE(second.Free());
    ASSERT_TRUE(load(first, bytes));
    ASSERT_EQ(entryCalls.size(), 3u);
    EXPECT_EQ(entryCalls[1].reason, 0u);  // the replaced image's detach
}

TEST_F(MemoryModuleTest, FindsExportsByExactNameAndOrdinalAndCallsThemTheMicrosoftWay) {
    const TestDll dll;
    MemoryModule module(testHosts());
    EXPECT_EQ(module.GetProc("Answer"), 0u) << "nothing mapped";
    ASSERT_TRUE(load(module, dll.image.bytes()));
    const std::uintptr_t base = module.handle();

    EXPECT_EQ(module.GetProc("Answer"), base + dll.answer);
    EXPECT_EQ(module.GetProc("Tenth"), base + dll.tenth);
    EXPECT_EQ(module.GetProc("answer"), 0u) << "names match in case";
    EXPECT_EQ(module.GetProc("Answe"), 0u);
    EXPECT_EQ(module.GetProc("1"), base + dll.answer);
    EXPECT_EQ(module.GetProc("3"), base + dll.fourth);
    EXPECT_EQ(module.GetProc("5"), 0u) << "an empty function slot";
    EXPECT_EQ(module.GetProc("6"), 0u) << "index equal to the number of functions";
    EXPECT_EQ(module.GetProc("0"), 0u) << "below the ordinal base";
    EXPECT_EQ(module.GetProc("01"), 0u) << "not an ordinal, and no such name";
    EXPECT_EQ(module.problem(), "");
    EXPECT_EQ(module.GetProc("4"), 0u) << "forwarded to another library";
    EXPECT_EQ(module.problem(), "4 is forwarded to OTHER.Function, which this loader does not follow");

    std::array<CallArg, 10> args;
    for (std::size_t i = 0; i < args.size(); ++i) args[i] = {100 + i, true};
    EXPECT_EQ(static_cast<int>(pe::callWithArgs(module.GetProc("Answer"), args)), 42);
    EXPECT_EQ(pe::callWithArgs(module.GetProc("Fourth"), args), 103u);
    EXPECT_EQ(pe::callWithArgs(module.GetProc("Tenth"), args), 109u);
}

}  // namespace
}  // namespace zorvan
