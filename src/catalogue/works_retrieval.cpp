#include "catalogue/works_retrieval.h"

#include "text/code_page.h"
#include "text/extract_between.h"
#include "text/percent_coding.h"
#include "text/to_integer.h"
#include "web/http_fetch.h"

#include <vector>

namespace zorvan {

namespace {

std::string fetchPage(const std::string& address) {
    std::string cookies, newCookies, headers, location, responseHeaders;
    Bytes postBytes;
    return utf8ToGbk(httpFetchText(address, 0, std::string(), &cookies, &newCookies, &headers, &location, false,
                                   &postBytes, std::string(), &responseHeaders));
}

}  // namespace

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

void retrieveWorks(WorksView& view, const std::string& worksAddress) {
    const std::string query = worksAddress + "?lumono=" + queryPerformerId(view.performerId());

    std::string accumulated = fetchPage(query + "&p=100");

    // No page count (a changed response, no network) counts as 0 pages: the
    // first response is then all there is.
    std::vector<std::string> pageCounts;
    extractBetween(accumulated, "\"pages\":", ",\"data\":", pageCounts);
    const int pages = pageCounts.empty() ? 0 : toInteger(pageCounts.front());

    view.setFetchButton(utf8ToGbk("请稍等"), false);
    for (int page = 1; page <= pages; ++page)
        accumulated += fetchPage(query + "&p=" + std::to_string(page)) + "\r\n";

    if (accumulated.empty()) {
        view.notice(utf8ToGbk("获取信息出错！请重试"));
        view.endProgram(0);
    }

    std::vector<std::string> names;
    extractBetween(accumulated, "\"songname\":\"", "\",\"addtime\":\"", names);
    view.wait(100);
    std::vector<std::string> addresses;
    extractBetween(accumulated, "resurl\":\"", "\",\"lumono", addresses);

    const std::string progress = utf8ToGbk("正在获取数据：");
    const std::size_t count = names.size();
    for (std::size_t j = 1; j <= count; ++j) {
        view.setTitle(progress + std::to_string(j) + "\\" + std::to_string(count));
        if (j > addresses.size()) break;
        const int row = view.rowCount();
        view.appendRow(std::to_string(j));
        view.setCell(row, songNameColumn, names[j - 1]);
        view.setCell(row, mediaAddressColumn, addresses[j - 1]);
        view.wait(10);
    }

    view.setFetchButton(utf8ToGbk("确定"), true);
    view.setTitle("Zorvan");
}

}  // namespace zorvan
