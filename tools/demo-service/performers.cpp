#include "performers.h"

#include <cstdio>
#include <mutex>

namespace demo {

namespace {

const char* const titles[] = {
    "小幸运", "起风了", "光年之外", "平凡之路", "晴天", "稻香", "夜曲", "告白气球", "演员", "体面",
    "后来", "匆匆那年", "红豆", "传奇", "童话", "十年", "爱你", "年少有为", "消愁", "说散就散",
    "追光者", "倒数", "岁月神偷", "借我", "漂洋过海来看你", "海阔天空", "我的歌声里", "当你老了",
    "成都", "南山南", "安和桥", "董小姐", "春风十里", "白月光与朱砂痣", "大鱼", "礼物",
};
constexpr int titleCount = sizeof titles / sizeof titles[0];

std::string addTime(int n) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "2024-%02d-%02d %02d:%02d:00", 1 + n % 12, 1 + n % 28, n % 24, n % 60);
    return buffer;
}

Performer make(std::string id, int count, bool escaped, const char* suffix = "") {
    Performer p;
    p.id = std::move(id);
    p.escapedSlashes = escaped;
    for (int i = 0; i < count; ++i) {
        std::string name = titles[i % titleCount];
        if (i >= titleCount) name += " (" + std::to_string(i / titleCount + 1) + ")";
        name += suffix;
        p.works.push_back({name, addTime(i), i % 3});
    }
    return p;
}

std::string jsonEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// The UTF-8 text with every character beyond ASCII as "\uXXXX" (a
// surrogate pair beyond the BMP), as JSON encoders that keep to ASCII write.
std::string asciiEscaped(const std::string& text) {
    std::string out;
    char unit[24];
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += text[i++];
            continue;
        }
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        unsigned long cp = lead & (length == 4 ? 0x07 : length == 3 ? 0x0F : 0x1F);
        for (int k = 1; k < length && i + static_cast<std::size_t>(k) < text.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
        i += static_cast<std::size_t>(length);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            std::snprintf(unit, sizeof unit, "\\u%04lx", 0xD800 + (cp >> 10));
            out += unit;
            cp = 0xDC00 + (cp & 0x3FF);
        }
        std::snprintf(unit, sizeof unit, "\\u%04lx", cp);
        out += unit;
    }
    return out;
}

std::string escapeSlashes(const std::string& address) {
    std::string out;
    for (const char c : address) {
        if (c == '/') out += '\\';
        out += c;
    }
    return out;
}

// Names as services write them: every character escaped, one work with
// no name, one song sung several times (each its own clip), no ids.
Performer awkwardNames() {
    Performer p;
    p.id = "100006";
    p.asciiJson = true;
    p.ids = false;
    const char* const names[] = {"小幸运", "", "晴天", "晴天", "晴天 \"live\"", "晴天", "雨 🎵"};
    int n = 0;
    for (const char* name : names) {
        p.works.push_back({name, addTime(n), n % 3});
        ++n;
    }
    return p;
}

std::mutex catalogueLock;

std::vector<Performer>& catalogue() {
    static std::vector<Performer> all = {
        make("100001", 36, false),          // the default id: a few dozen works
        make("100002", 1000, false),        // many pages
        make("100003", 0, false),           // nothing published
        make("100004", 12, true),           // addresses with escaped slashes
        make("100005", 8, false, " 🎵😀"),  // names with characters outside GBK
        awkwardNames(),                     // names escaped, missing and repeated
    };
    return all;
}

Performer* findPerformer(const std::string& id) {
    for (Performer& p : catalogue())
        if (p.id == id) return &p;
    return nullptr;
}

std::string pageOf(const Performer& performer, int page, const std::string& host);

}  // namespace

std::optional<std::string> worksPage(const std::string& id, int page, const std::string& host) {
    std::lock_guard hold(catalogueLock);
    const Performer* performer = findPerformer(id);
    if (!performer) return std::nullopt;
    return pageOf(*performer, page, host);
}

std::optional<int> clipOfWork(const std::string& id, int n, int generation, bool* expired) {
    std::lock_guard hold(catalogueLock);
    const Performer* performer = findPerformer(id);
    if (!performer || n < 1 || n > static_cast<int>(performer->works.size())) return std::nullopt;
    const Work& work = performer->works[static_cast<std::size_t>(n - 1)];
    if (work.generation != generation) {
        if (expired) *expired = true;
        return std::nullopt;
    }
    return work.clip;
}

bool moveWork(const std::string& id, int n) {
    std::lock_guard hold(catalogueLock);
    Performer* performer = findPerformer(id);
    if (!performer || n < 1 || n > static_cast<int>(performer->works.size())) return false;
    ++performer->works[static_cast<std::size_t>(n - 1)].generation;
    return true;
}

std::optional<int> addWork(const std::string& id) {
    std::lock_guard hold(catalogueLock);
    Performer* performer = findPerformer(id);
    if (!performer) return std::nullopt;
    const int n = static_cast<int>(performer->works.size()) + 1;
    performer->works.push_back({"新作品 " + std::to_string(n), addTime(n - 1), (n - 1) % 3});
    return n;
}

namespace {

std::string pageOf(const Performer& performer, int page, const std::string& host) {
    const int total = static_cast<int>(performer.works.size());
    const int pages = (total + worksPerPage - 1) / worksPerPage;
    std::string json = "{\"code\":0,\"pages\":" + std::to_string(pages) + ",\"data\":[";
    const int first = (page - 1) * worksPerPage;
    for (int i = first; page >= 1 && i < total && i < first + worksPerPage; ++i) {
        const Work& w = performer.works[static_cast<std::size_t>(i)];
        std::string address = "http://" + host + "/media/" + performer.id + "/" + std::to_string(i + 1) + ".mp4";
        if (w.generation > 0) address += "?v=" + std::to_string(w.generation);
        if (performer.escapedSlashes) address = escapeSlashes(address);
        if (i > first) json += ",";
        const std::string name = jsonEscaped(w.songName);
        json += "{\"songname\":\"" + (performer.asciiJson ? asciiEscaped(name) : name) + "\",\"addtime\":\"" +
                w.addTime + "\"," + (performer.ids ? "\"id\":" + std::to_string(i + 1) + "," : std::string()) +
                "\"resurl\":\"" + address + "\",\"lumono\":\"" + performer.id +
                "\",\"clip\":" + std::to_string(w.clip) + "}";
    }
    json += "]}";
    return json;
}

}  // namespace

}  // namespace demo
