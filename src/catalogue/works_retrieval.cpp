#include "catalogue/works_retrieval.h"

#include "text/code_page.h"
#include "text/extract_between.h"
#include "text/percent_coding.h"
#include "text/to_integer.h"
#include "web/http_fetch.h"

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

const char* const nameStart = "\"songname\":\"";
const char* const nameEnd = "\",\"addtime\":\"";

// A service that names far more pages than it has works for must not be
// asked for ever: after this many pages in a row without a work, paging ends.
constexpr int emptyPagesToStop = 3;

// Pages 1 to `pages`, each followed by "\r\n", with their progress in the
// title.
std::string fetchPages(WorksView& view, const std::string& query, int pages) {
    std::string text;
    int emptyInARow = 0;
    for (int page = 1; page <= pages && emptyInARow < emptyPagesToStop; ++page) {
        view.setTitle(utf8ToGbk("正在获取第") + std::to_string(page) + "/" + std::to_string(pages) + utf8ToGbk("页"));
        view.progress(WorksView::Step::Pages, static_cast<std::size_t>(page), static_cast<std::size_t>(pages));
        const std::string pageText = fetchPage(query + "&p=" + std::to_string(page));
        std::vector<std::string> names;
        extractBetween(pageText, nameStart, nameEnd, names);
        emptyInARow = names.empty() ? emptyInARow + 1 : 0;
        text += pageText + "\r\n";
    }
    return text;
}

}  // namespace

std::size_t fillWorksRows(WorksView& view, const std::string& text) {
    std::vector<std::string> names;
    extractBetween(text, nameStart, nameEnd, names);
    view.wait(100);
    std::vector<std::string> addresses;
    extractBetween(text, "resurl\":\"", "\",\"lumono", addresses);

    const std::string progress = utf8ToGbk("正在获取数据：");
    const std::size_t count = names.size();
    std::size_t filled = 0;
    for (std::size_t j = 1; j <= count; ++j) {
        view.setTitle(progress + std::to_string(j) + "\\" + std::to_string(count));
        view.progress(WorksView::Step::Rows, j, count);
        if (j > addresses.size()) break;
        const int row = view.rowCount();
        view.appendRow(std::to_string(j));
        view.setCell(row, songNameColumn, names[j - 1]);
        view.setCell(row, mediaAddressColumn, addresses[j - 1]);
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
