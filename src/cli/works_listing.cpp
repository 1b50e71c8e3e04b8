#include "cli/works_listing.h"

#include "catalogue/works_retrieval.h"
#include "cli/terminal.h"
#include "download_policy/work_file.h"
#include "text/code_page.h"
#include "text/to_integer.h"

#include <cstdio>

namespace zorvan::cli {

namespace {

// The retrieval's view on a console: rows are kept, the title is the
// progress line, and nothing waits.
class ConsoleWorksView : public WorksView {
public:
    ConsoleWorksView(const std::string& performerId, WorksListing& listing)
        : performerId_(utf8ToGbk(performerId)), listing_(listing) {}
    ~ConsoleWorksView() override {
        if (onTerminal()) std::fprintf(stderr, "\r\033[K");
    }

    std::string performerId() override { return performerId_; }
    void setFetchButton(const std::string&, bool) override {}
    void setTitle(const std::string& title) override {
        if (onTerminal()) std::fprintf(stderr, "\r\033[K%s", gbkToUtf8(title).c_str());
    }
    int rowCount() override { return static_cast<int>(rows_.size()); }
    void appendRow(const std::string& text) override { rows_.push_back({toInteger(text), {}, {}}); }
    void setCell(int row, int column, const std::string& text) override {
        if (row < 0 || row >= rowCount()) return;
        ListedWork& work = rows_[static_cast<std::size_t>(row)];
        if (column == songNameColumn) work.songName = text;
        if (column == mediaAddressColumn) work.address = text;
    }
    void wait(int) override {}
    void notice(const std::string&) override { listing_.reached = false; }
    void listingUnderstood(bool understood) override {
        listing_.reached = true;
        listing_.understood = understood;
    }

    // The rows as the program uses them: names in UTF-8, addresses unescaped.
    void finish() {
        for (ListedWork& work : rows_) {
            work.songName = gbkToUtf8(work.songName);
            work.address = engineAddress(work.address);
        }
        listing_.works = std::move(rows_);
    }

private:
    const std::string performerId_;  // code page 936
    WorksListing& listing_;
    std::vector<ListedWork> rows_;   // texts in code page 936 until finish
};

}  // namespace

WorksListing listWorks(const std::string& serviceAddress, const std::string& performerId) {
    WorksListing listing;
    ConsoleWorksView view(performerId, listing);
    retrieveWorks(view, worksAddressFor(serviceAddress));
    view.finish();
    return listing;
}

std::string listingFault(const WorksListing& listing, const std::string& serviceAddress) {
    if (!listing.reached) return "the service at " + serviceAddress + " could not be reached or sent nothing";
    if (!listing.understood && listing.works.empty())
        return "the service at " + serviceAddress + " did not answer with a works list";
    return {};
}

}  // namespace zorvan::cli
