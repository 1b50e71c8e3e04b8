#include "download/log_time.h"

#include "text/code_page.h"

#include <cstdio>

namespace zorvan {

std::string logTimeText(const std::tm& t) {
    char buffer[96];
    int n = std::snprintf(buffer, sizeof buffer, "%d年%d月%d日", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    if (t.tm_sec != 0)
        std::snprintf(buffer + n, sizeof buffer - n, "%d时%d分%d秒", t.tm_hour, t.tm_min, t.tm_sec);
    else if (t.tm_min != 0)
        std::snprintf(buffer + n, sizeof buffer - n, "%d时%d分", t.tm_hour, t.tm_min);
    else if (t.tm_hour != 0)
        std::snprintf(buffer + n, sizeof buffer - n, "%d时", t.tm_hour);
    return utf8ToGbk(buffer);
}

std::string logTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return logTimeText(local);
}

}  // namespace zorvan
