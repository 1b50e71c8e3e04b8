#include "cli/works_listing.h"

#include "catalogue/works_retrieval.h"
#include "cli/network_setup.h"
#include "cli/terminal.h"
#include "download_policy/work_file.h"
#include "text/code_page.h"
#include "text/to_integer.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

namespace zorvan::cli {

namespace {

// The retrieval's view on a console: rows are kept, the title is the
// progress line, and nothing waits.
class ConsoleWorksView : public WorksView {
public:
    ConsoleWorksView(const std::string& performerId, WorksListing& listing)
        : performerId_(utf8ToGbk(performerId)), listing_(listing) {}
    ~ConsoleWorksView() override {
        if (drawn_) std::fprintf(stderr, "\r\033[K");
    }

    std::string performerId() override { return performerId_; }
    void setFetchButton(const std::string&, bool) override {}
    // The window's titles are its own; the tool words its progress itself.
    void setTitle(const std::string&) override {}
    void progress(Step step, std::size_t at, std::size_t of) override {
        const std::string line = (step == Step::Pages ? "fetching page " : "reading works ") + std::to_string(at) +
                                 "/" + std::to_string(of);
        const ProgressStyle style = progressStyle();
        if (style == ProgressStyle::Bar) {
            std::fprintf(stderr, "\r\033[K%s", line.c_str());
            drawn_ = true;
        }
        // Plain lines only for pages: one per work would flood a log.
        if (style == ProgressStyle::Line && step == Step::Pages) std::fprintf(stderr, "%s\n", line.c_str());
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
    const std::string performerId_;  // code page 936
    WorksListing& listing_;
    std::vector<ListedWork> rows_;   // texts in code page 936 until finish
    bool drawn_ = false;
};

}  // namespace

WorksListing listWorks(const std::string& serviceAddress, const std::string& performerId, int retries,
                       int retryWaitSeconds) {
    const std::string address = worksAddressFor(serviceAddress);
    for (int attempt = 0;; ++attempt) {
        WorksListing listing;
        {
            ConsoleWorksView view(performerId, listing);
            retrieveWorks(view, address);
            view.finish();
        }
        // Nothing usable came: the request that brought nothing says why.
        if (!listing.reached || (!listing.understood && listing.works.empty()))
            listing.cause = causeOfFetch(lastHttpFetchReport(), address);
        if (listing.reached || attempt >= retries || interrupted) return listing;
        if (!quiet())
            std::fprintf(stderr, "zorvan-cli: %s; trying again in %d s\n", causeText(listing.cause).c_str(),
                         retryWaitSeconds);
        for (int waited = 0; waited < retryWaitSeconds * 10 && !interrupted; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

Verdict listingFault(const WorksListing& listing, const std::string& serviceAddress, const std::string& performerId) {
    if (!listing.reached)
        return {"cannot list the works at " + serviceAddress + ": " + causeText(listing.cause), exitCodeOf(listing.cause)};
    if (!listing.understood && listing.works.empty()) {
        const std::string said = listing.serviceMessage;
        if (said.find("no such") != std::string::npos || said.find("not found") != std::string::npos)
            return {"performer " + performerId + " not found (the service says \"" + said + "\")", exitCode::refused};
        if (listing.cause.kind == CauseKind::HttpStatus)
            return {"cannot list the works at " + serviceAddress + ": " + causeText(listing.cause), exitCode::refused};
        return {"the service at " + serviceAddress + " did not answer with a works list" +
                    (said.empty() ? std::string() : " (it says \"" + said + "\")"),
                exitCode::refused};
    }
    return {{}, exitCode::done};
}

std::vector<ListedWork> selectWorks(const std::vector<ListedWork>& works, const WorkSelection& selection) {
    const auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string match = lower(selection.match);
    std::vector<ListedWork> chosen;
    for (const ListedWork& work : works) {
        if (selection.max > 0 && static_cast<int>(chosen.size()) >= selection.max) break;
        bool listed = selection.items.empty();
        for (const auto& [first, last] : selection.items) listed = listed || (work.sequence >= first && work.sequence <= last);
        if (!listed) continue;
        if (!match.empty() && lower(work.songName).find(match) == std::string::npos) continue;
        chosen.push_back(work);
    }
    return chosen;
}

}  // namespace zorvan::cli
