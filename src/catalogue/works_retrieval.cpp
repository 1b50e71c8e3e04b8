#include "catalogue/works_retrieval.h"

#include "catalogue/works_page.h"
#include "text/code_page.h"
#include "text/extract_between.h"
#include "text/json_text.h"
#include "text/percent_coding.h"
#include "text/to_integer.h"
#include "text/trim_spaces.h"
#include "web/http_fetch.h"

#include <algorithm>
#include <future>
#include <system_error>
#include <vector>

namespace zorvan {

std::string worksAddressFor(const std::string& serviceAddress) { return serviceAddress + "/u/works/s"; }

std::string queryPerformerId(const std::string& codePageId) {
    bool plain = true;
    for (const char c : codePageId) plain = plain && ((c >= '0' && c <= '9') || c == '-');
    if (plain) return codePageId;
    return percentEncode(gbkToUtf8(codePageId), [](unsigned char byte) {
        return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
               byte == '-' || byte == '.' || byte == '_' || byte == '~';
    });
}

namespace {

std::string fetchPage(const std::string& address) {
    std::string cookies, newCookies, headers, location, responseHeaders;
    Bytes postBytes;
    return utf8ToGbk(httpFetchText(address, 0, std::string(), &cookies, &newCookies, &headers, &location, false,
                                   &postBytes, std::string(), &responseHeaders));
}

// A service that names far more pages than it has works for must not be
// asked for ever: after this many pages in a row without a work, paging ends.
constexpr int emptyPagesToStop = 3;

// Pages first to first + count - 1, asked for at once (in order).
std::vector<std::string> fetchPageRun(const std::string& query, int first, int count) {
    std::vector<std::future<std::string>> asked;
    for (int page = first; page < first + count; ++page) {
        const std::string address = query + "&p=" + std::to_string(page);
        if (count == 1) {
            std::promise<std::string> done;
            done.set_value(fetchPage(address));
            asked.push_back(done.get_future());
            continue;
        }
        try {
            asked.push_back(std::async(std::launch::async, fetchPage, address));
        } catch (const std::system_error&) {
            asked.push_back(std::async(std::launch::deferred, fetchPage, address));  // no thread: in turn
        }
    }
    std::vector<std::string> texts;
    for (auto& page : asked) texts.push_back(page.get());
    return texts;
}

// Pages 1 to `pages`, each followed by "\r\n", with their progress in the
// title; as many at once as the view takes.
std::string fetchPages(WorksView& view, const std::string& query, int pages) {
    std::string text;
    int emptyInARow = 0;
    const int atOnce = std::max(1, view.pagesAtOnce());
    for (int first = 1; first <= pages && emptyInARow < emptyPagesToStop; first += atOnce) {
        const std::vector<std::string> run = fetchPageRun(query, first, std::min(atOnce, pages - first + 1));
        for (std::size_t i = 0; i < run.size() && emptyInARow < emptyPagesToStop; ++i) {
            const int page = first + static_cast<int>(i);
            view.setTitle(utf8ToGbk("正在获取第") + std::to_string(page) + "/" + std::to_string(pages) + utf8ToGbk("页"));
            view.progress(WorksView::Step::Pages, static_cast<std::size_t>(page), static_cast<std::size_t>(pages));
            emptyInARow = worksInPages(run[i]).empty() ? emptyInARow + 1 : 0;
            text += run[i] + "\r\n";
        }
    }
    return text;
}

}  // namespace

std::string madeSongName(const std::string& performerId, std::size_t sequence) {
    return performerId + " #" + std::to_string(sequence);
}

std::size_t fillWorksRows(WorksView& view, const std::string& text) {
    const std::vector<PageWork> works = worksInPages(text);
    view.wait(100);

    const std::string progress = utf8ToGbk("正在获取数据：");
    const std::size_t count = works.size();
    std::size_t filled = 0;
    for (std::size_t j = 1; j <= count; ++j) {
        view.setTitle(progress + std::to_string(j) + "\\" + std::to_string(count));
        view.progress(WorksView::Step::Rows, j, count);
        const PageWork& work = works[j - 1];
        if (!work.hasAddress) break;
        // A work without an address cannot be fetched; those after it still can.
        if (work.address.empty()) continue;
        // The name as the service meant it: a JSON service's escapes undone;
        // a work it gave no name is named by its performer and place.
        std::string name = jsonTextGbk(work.name);
        if (trimSpaces(name).empty()) name = madeSongName(view.performerId(), j);
        const int row = view.rowCount();
        view.appendRow(std::to_string(j));
        view.setCell(row, songNameColumn, name);
        view.setCell(row, mediaAddressColumn, work.address);
        if (!work.id.empty()) view.setWorkId(row, work.id);
        ++filled;
        view.wait(10);
    }
    return filled;
}

void retrieveWorks(WorksView& view, const std::string& worksAddress) {
    // Busy from the click on: a service that is slow to answer must not
    // look as if nothing happened.
    view.setFetchButton(utf8ToGbk("请稍等"), false);
    view.setTitle(utf8ToGbk("正在连接…"));
    const std::string query = worksAddress + "?lumono=" + queryPerformerId(view.performerId());
    std::string accumulated = fetchPage(query + "&p=100");

    // No page count (a changed response, no network) counts as 0 pages: the
    // first response is then all there is.
    std::vector<std::string> pageCounts;
    extractBetween(accumulated, "\"pages\":", ",\"data\":", pageCounts);
    const int pages = pageCounts.empty() ? 0 : toInteger(pageCounts.front());
    view.listingUnderstood(!pageCounts.empty());
    if (pageCounts.empty()) {
        std::vector<std::string> said;
        extractBetween(accumulated, "\"msg\":\"", "\"", said);
        if (!said.empty()) view.serviceMessage(said.front());
    }
    accumulated += fetchPages(view, query, pages);

    std::string title = "Zorvan";
    if (accumulated.empty()) {
        // The user is told to try again, so the program stays, with
        // whatever else it is doing (a download, say).
        view.notice(utf8ToGbk("获取信息出错！请重试"));
    } else if (fillWorksRows(view, accumulated) == 0) {
        title = utf8ToGbk("没有找到作品");
    }
    view.setFetchButton(utf8ToGbk("确定"), true);
    view.setTitle(title);
}

}  // namespace zorvan
