#include "cli/works_command.h"

#include "cli/works_listing.h"

#include <cstdio>

namespace zorvan::cli {

namespace {

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void printJson(const std::vector<ListedWork>& works) {
    std::printf("[");
    for (std::size_t i = 0; i < works.size(); ++i)
        std::printf("%s\n  {\"sequence\": %d, \"songName\": %s, \"address\": %s}", i ? "," : "", works[i].sequence,
                    jsonText(works[i].songName).c_str(), jsonText(works[i].address).c_str());
    std::printf("%s]\n", works.empty() ? "" : "\n");
}

}  // namespace

int runWorks(const WorksOptions& options) {
    const WorksListing listing = listWorks(options.service, options.performerId);
    if (const std::string fault = listingFault(listing, options.service); !fault.empty()) {
        std::fprintf(stderr, "zorvan-cli: %s\n", fault.c_str());
        return 1;
    }
    if (options.json) {
        printJson(listing.works);
    } else {
        for (const ListedWork& work : listing.works)
            std::printf("%d\t%s\t%s\n", work.sequence, work.songName.c_str(), work.address.c_str());
    }
    if (listing.works.empty()) std::fprintf(stderr, "zorvan-cli: performer %s has no works\n", options.performerId.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace zorvan::cli
