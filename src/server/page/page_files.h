#pragma once
// The web page's files, built into the program (src/server/page, and the
// English catalogue made from translations/zorvan_en.ts).
#include <string>
#include <string_view>
#include <vector>

namespace zorvan {

struct PageSource {
    const char* name;  // under /page/: "index.html", "js/main.js"
    const char* type;  // its Content-Type
    std::string_view body;
};

// Made by the build.
const std::vector<PageSource>& pageSources();

struct PageFile {
    std::string_view body;
    const char* type;
    std::string etag;  // quoted, from the content: a new build changes it
};

// The file of that name, or null.
const PageFile* pageFile(std::string_view name);

}  // namespace zorvan
