// A works page from the service, read as a whole: every row the list gets
// has its sequence number (rising: a work without an address is left out),
// a name and an address found in the text, every address and name goes on
// safely to the engine and the disk, and works of one name get files of
// their own.
#include "catalogue/works_retrieval.h"
#include "catalogue/works_view.h"
#include "download/http_address.h"
#include "download_policy/work_file.h"
#include "fuzz_check.h"
#include "text/code_page.h"
#include "text/extract_between.h"
#include "text/to_integer.h"

#include <map>
#include <set>
#include <string>
#include <vector>

using namespace zorvan;

namespace {

class FuzzView : public WorksView {
public:
    std::string performerId() override { return "100001"; }
    void setFetchButton(const std::string&, bool) override {}
    void setTitle(const std::string&) override {}
    int rowCount() override { return static_cast<int>(rows.size()); }
    void appendRow(const std::string& text) override { rows.push_back({{0, text}}); }
    void setCell(int row, int column, const std::string& text) override {
        FUZZ_CHECK(row >= 0 && row < rowCount());
        rows[static_cast<std::size_t>(row)][column] = text;
    }
    void wait(int) override {}
    void notice(const std::string&) override {}

    std::vector<std::map<int, std::string>> rows;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> pageCounts;
    extractBetween(text, "\"pages\":", ",\"data\":", pageCounts);
    if (!pageCounts.empty()) (void)toInteger(pageCounts.front());

    FuzzView view;
    const std::size_t filled = fillWorksRows(view, text);
    FUZZ_CHECK(filled == view.rows.size());
    long previous = 0;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < view.rows.size(); ++i) {
        auto& row = view.rows[i];
        const long sequence = std::stol(row[sequenceColumn]);
        FUZZ_CHECK(sequence > previous);
        previous = sequence;
        names.push_back(gbkToUtf8(row[songNameColumn]));
        const std::string& name = row[songNameColumn];
        const std::string& address = row[mediaAddressColumn];
        FUZZ_CHECK(!name.empty() && !address.empty());
        FUZZ_CHECK(text.find(address) != std::string::npos);
        const std::string path = workFilePath("/videos", gbkToUtf8(name));
        FUZZ_CHECK(path.rfind("/videos/", 0) == 0 && path.find('/', 8) == std::string::npos);
        (void)parseAddress(engineAddress(address));
    }
    const std::vector<int> repeats = workRepeats(names);
    std::set<std::string> paths;
    for (std::size_t i = 0; i < names.size(); ++i)
        FUZZ_CHECK(paths.insert(workFilePath("/videos", names[i], FileNaming::SongName, "1", 0, repeats[i])).second);
    return 0;
}
