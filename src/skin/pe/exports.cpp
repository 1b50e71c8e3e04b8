#include "skin/pe/image_steps.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace zorvan::pe {

namespace {

// A text that reads as a number and writes back as the same text asks for
// an ordinal.
std::optional<std::int64_t> ordinalIn(std::string_view text) {
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (std::to_string(number) != text) return std::nullopt;
    return number;
}

struct ExportDirectory {
    std::uint32_t ordinalBase, functionCount, nameCount, functions, names, nameOrdinals;
};

// Name ordinals are 16-bit: more names than this cannot name functions of
// their own, and a damaged count of billions would be walked for minutes.
constexpr std::uint64_t mostNames = 65536;

}  // namespace

std::uint32_t findExport(const ImageBytes& image, DataDirectory exports, std::string_view request,
                         std::string* forwardedTo) {
    if (exports.size == 0 || !image.holds(exports.address, 40)) return 0;
    const std::uint64_t dir = exports.address;
    const ExportDirectory d{*image.read<std::uint32_t>(dir + 16), *image.read<std::uint32_t>(dir + 20),
                            *image.read<std::uint32_t>(dir + 24), *image.read<std::uint32_t>(dir + 28),
                            *image.read<std::uint32_t>(dir + 32), *image.read<std::uint32_t>(dir + 36)};
    // A function table entry that points outside the image is no export;
    // one inside the export directory names another library's function.
    const auto function = [&](std::uint64_t index) -> std::uint32_t {
        auto entry = image.read<std::uint32_t>(d.functions + 4 * index);
        if (!entry || *entry >= image.size()) return 0;
        if (*entry >= exports.address && *entry - exports.address < exports.size) {
            if (forwardedTo) forwardedTo->assign(image.text(*entry).value_or(""));
            return 0;
        }
        return *entry;
    };

    if (auto ordinal = ordinalIn(request)) {
        const std::int64_t index = *ordinal - d.ordinalBase;
        return index >= 0 && index < d.functionCount ? function(static_cast<std::uint64_t>(index)) : 0;
    }
    for (std::uint64_t i = 0; i < std::min<std::uint64_t>(d.nameCount, mostNames); ++i) {
        auto nameAddress = image.read<std::uint32_t>(d.names + 4 * i);
        auto index = image.read<std::uint16_t>(d.nameOrdinals + 2 * i);
        if (!nameAddress || !index) return 0;
        if (*index >= d.functionCount) continue;
        auto name = image.text(*nameAddress);
        if (!name) return 0;
        if (*name != request) continue;
        if (const std::uint32_t at = function(*index)) return at;
    }
    return 0;
}

}  // namespace zorvan::pe
