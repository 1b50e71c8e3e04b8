#include "catalogue/performer_works.h"

#include "catalogue/works_retrieval.h"
#include "download_policy/work_file.h"
#include "text/code_page.h"
#include "text/to_integer.h"

namespace zorvan {

namespace {

// The retrieval's view without a window: rows are kept, nothing waits and
// nothing is shown but the progress.
class CollectingView : public WorksView {
public:
    CollectingView(const std::string& performerId, PerformerWorks& listing, const ListingProgress& progress)
        : performerId_(utf8ToGbk(performerId)), listing_(listing), progress_(progress) {}

    std::string performerId() override { return performerId_; }
    void setFetchButton(const std::string&, bool) override {}
    void setTitle(const std::string&) override {}
    void progress(Step step, std::size_t at, std::size_t of) override {
        if (progress_) progress_(step, at, of);
    }
    int rowCount() override { return static_cast<int>(rows_.size()); }
    void appendRow(const std::string& text) override { rows_.push_back({toInteger(text), {}, {}}); }
    void setWorkId(int row, const std::string& id) override {
        if (row >= 0 && row < rowCount()) rows_[static_cast<std::size_t>(row)].id = id;
    }
    void setCell(int row, int column, const std::string& text) override {
        if (row < 0 || row >= rowCount()) return;
        ListedWork& work = rows_[static_cast<std::size_t>(row)];
        if (column == songNameColumn) work.songName = text;
        if (column == mediaAddressColumn) work.address = text;
    }
    void wait(int) override {}
    int pagesAtOnce() override { return pagesAtOnce_; }
    void notice(const std::string&) override { listing_.reached = false; }
    void listingUnderstood(bool understood) override {
        listing_.reached = true;
        listing_.understood = understood;
    }
    void serviceMessage(const std::string& text) override { listing_.serviceMessage = gbkToUtf8(text); }

    // The rows as the program uses them: names in UTF-8, addresses unescaped.
    void finish() {
        for (ListedWork& work : rows_) {
            work.songName = gbkToUtf8(work.songName);
            work.address = engineAddress(work.address);
        }
        listing_.works = std::move(rows_);
    }

private:
    // A few pages at once: over a long round trip, fifty pages one after
    // another took longer than the works they list.
    static constexpr int pagesAtOnce_ = 6;
    const std::string performerId_;  // code page 936
    PerformerWorks& listing_;
    const ListingProgress& progress_;
    std::vector<ListedWork> rows_;   // texts in code page 936 until finish
};

}  // namespace

PerformerWorks listPerformerWorks(const std::string& serviceAddress, const std::string& performerId,
                                  const ListingProgress& progress) {
    PerformerWorks listing;
    CollectingView view(performerId, listing, progress);
    retrieveWorks(view, worksAddressFor(serviceAddress));
    view.finish();
    return listing;
}

std::string listedAddressOf(const std::string& serviceAddress, const std::string& performerId, const std::string& id,
                            int sequence, const std::string& songName) {
    for (const ListedWork& work : listPerformerWorks(serviceAddress, performerId).works) {
        // The service's own id knows the work wherever the list puts it.
        if (!id.empty() ? work.id == id : work.sequence == sequence && work.songName == songName) return work.address;
    }
    return {};
}

std::vector<int> listedRepeats(const std::vector<ListedWork>& works) {
    std::vector<std::string> names;
    names.reserve(works.size());
    for (const ListedWork& work : works) names.push_back(work.songName);
    return workRepeats(names);
}

}  // namespace zorvan
