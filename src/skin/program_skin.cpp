#include "skin/program_skin.h"

#include "skin/attach_skin.h"
#include "skin/skin_data.h"

#include <QApplication>

#include <climits>

namespace zorvan {

namespace {

// The host function the skin library imports: styles every window of the
// application, those that exist and those made later.
__attribute__((ms_abi)) int applyStyleSheet(const char* text, std::uint64_t length) {
    if (!qApp || !text || length > INT_MAX) return 0;
    qApp->setStyleSheet(QString::fromUtf8(text, static_cast<qsizetype>(length)));
    return 1;
}

const pe::HostLibraries& programSkinHosts() {
    static const pe::HostLibraries hosts = [] {
        pe::HostLibraries table;
        table.add(skinHostLibrary, "applyStyleSheet", reinterpret_cast<std::uintptr_t>(&applyStyleSheet));
        return table;
    }();
    return hosts;
}

}  // namespace

pe::MemoryModule& programSkinModule() {
    // Never destroyed: the library stays mapped until the process ends,
    // as nothing may call into it during static destruction.
    static auto* module = new pe::MemoryModule(programSkinHosts());
    return *module;
}

void loadSkinModule() {
    const auto image = skinLibraryImage();
    programSkinModule().Load(image.data(), image.size());
}

void attachSkin() { attachSkinResource(programSkinModule(), skinResource()); }

}  // namespace zorvan
