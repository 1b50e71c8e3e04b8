#include "server/page/page_files.h"

#include <cstdint>
#include <cstdio>
#include <map>

namespace zorvan {

namespace {

std::string etagOf(std::string_view body) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a: enough to tell builds apart
    for (const unsigned char c : body) hash = (hash ^ c) * 1099511628211ull;
    char text[24];
    std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace

const PageFile* pageFile(std::string_view name) {
    static const std::map<std::string, PageFile, std::less<>> files = [] {
        std::map<std::string, PageFile, std::less<>> made;
        for (const PageSource& source : pageSources())
            made.emplace(source.name, PageFile{source.body, source.type, etagOf(source.body)});
        return made;
    }();
    const auto found = files.find(name);
    return found == files.end() ? nullptr : &found->second;
}

}  // namespace zorvan
