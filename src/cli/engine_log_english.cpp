#include "cli/engine_log_english.h"

#include <cctype>
#include <regex>
#include <utility>
#include <vector>

namespace zorvan::cli {

namespace {

// The engine's messages (its format strings) and the tool's words for them,
// placeholders in the same order.
const std::pair<const char*, const char*> messages[] = {
    {"正在解析域名 [%s]", "resolving %s"},
    {"正在代理服务器解析域名 [%s]", "resolving the proxy %s"},
    {"解析域名 [%s]出错", "cannot resolve %s"},
    {"解析代理服务器域名 [%s]出错", "cannot resolve the proxy %s"},
    {"正在连接 [%s:%d]", "connecting to %s:%d"},
    {"正在连接代理服务器 [%s:%d]", "connecting to the proxy %s:%d"},
    {"连接 [%s:%d]成功", "connected to %s:%d"},
    {"连接[%s:%d]成功", "connected to %s:%d"},
    {"连接 [%s:%d]失败", "cannot connect to %s:%d"},
    {"连接 [%s:%d]超时", "connecting to %s:%d timed out"},
    {"使用保持的连接 [%s:%d]", "reusing the open connection to %s:%d"},
    {"等待%d秒后重试", "trying again in %d s"},
    {"发送请求失败", "the request could not be sent"},
    {"请求过长", "the request is too long"},
    {"重定向到 [%s]", "redirected to %s"},
    {"重定向次数过多", "too many redirections"},
    {"获得重定向信息错误", "the redirection cannot be followed"},
    {"COOKIE过长或获得重定向信息错误或不支持的协议",
     "the redirection cannot be followed (cookie too long, bad location or another protocol)"},
    {"HTTP返回头部信息过长", "the response header is too long"},
    {"服务器的回应不是有效的 HTTP/1.x 回应", "the server's answer is not HTTP/1.x"},
    {"服务器使用了不支持的传输编码", "the server uses a transfer encoding that is not supported"},
    {"分块传输的数据有误", "the chunked body is malformed"},
    {"服务器给出的文件长度无效", "the server gives an invalid file length"},
    {"无法获得文件大小", "the file's size is unknown"},
    {"服务器暂时无法提供文件, 返回号[%d]", "the server cannot send the file now (status %d)"},
    {"暂时不支持的返回, 返回号[%d]", "an answer that cannot be used (status %d)"},
    {"代理服务器拒绝建立到 [%s] 的隧道, 返回号[%d]", "the proxy refused the tunnel to %s (status %d)"},
    {"文件在下载过程中被服务器更改", "the file changed on the server during the download"},
    {"文件在下载过程中被服务器更改, 重新开始下载", "the file changed on the server; starting over"},
    {"继续上次未完成的下载: 已有 %lld / %lld 字节", "continuing the unfinished download: %lld of %lld bytes there"},
    {"已抽样核对磁盘上的 %lld 字节 (%d 处): 与服务器上的文件相同, 其余未经核对",
     "sampled %lld bytes on the disk (%d places): they match the server's; the rest is not verified"},
    {"同名文件与服务器上的文件抽样相符, 无需下载",
     "the file under the name matches the server's where sampled (not verified): nothing to fetch"},
    {"未完成文件的地址已更改: 由服务器的验证信息核对是否同一文件",
     "the unfinished file's address moved: the server's validator tells whether it is the same file"},
    {"未完成文件的地址已更改: 抽样核对是否同一文件",
     "the unfinished file's address moved: its bytes are sampled to tell whether it is the same file"},
    {"发现同名文件, 系统自动更名为%s", "the name is taken; saving as %s"},
    {"发现同名文件, 用户更名为%s", "the name is taken; saving as %s, as chosen"},
    {"发现同名文件, 用户选择放弃下载", "the name is taken; the download is given up"},
    {"发现同名文件，超过系统自动更名次数", "the name is taken and no free name is left"},
    {"创建文件错误，超出最大支持下载长度或磁盘不可写或磁盘没有空间或同名文件已存在",
     "the file cannot be created (too large, not writable, no space, or the name is taken)"},
    {"保存文件失败：%s", "the file cannot be saved: %s"},
    {"写入文件失败", "the file cannot be written"},
    {"分配 %zu 字节内存失败!", "cannot allocate %zu bytes"},
    {"无法启动线程", "cannot start a thread"},
    {"无法初始化TLS", "TLS cannot be set up"},
    {"与 [%s] 的TLS安全连接已建立 (%s)", "TLS with %s established (%s)"},
    {"与 [%s] 的TLS握手失败: %s", "the TLS handshake with %s failed: %s"},
    {"与 [%s] 的TLS握手中断: %s", "the TLS handshake with %s broke off: %s"},
    {"与 [%s] 的TLS握手超时", "the TLS handshake with %s timed out"},
    {"[%s] 的证书不受信任: %s", "the certificate of %s is not trusted: %s"},
    {"[%s] 的证书已过期或尚未生效: %s", "the certificate of %s has expired or is not yet valid: %s"},
    {"证书与主机名 [%s] 不符: %s", "the certificate does not match the host name %s: %s"},
    {"出现错误", "an error occurred"},
    // The connection layer's errors.
    {"TLS安全连接出错", "the TLS connection failed"},
    {"服务器在TLS记录中途关闭了连接", "the server closed the connection in the middle of a TLS record"},
    {"有错误发生", "an error occurred"},
    {"接收数据超时", "no data came in time"},
    {"接收数据错误", "receiving failed"},
    {"发送数据错误", "sending failed"},
    {"等待接收或发送数据超时", "waiting to receive or send timed out"},
    {"等待接收或发送数据错误", "waiting to receive or send failed"},
    {"远程主机强迫关闭了一个现有的连接。", "the server reset the connection"},
    {"您的主机中的软件放弃了一个已建立的连接。", "the connection was aborted"},
    {"由于连接方在一段时间后没有正确答复或连接的主机没有反应，连接尝试失败。", "the connection timed out"},
    {"套接字操作遇到了一个已死的网络。", "the network is down"},
    {"当该操作在进行中，由于保持活动的操作检测到一个故障，该连接中断。", "the connection was lost"},
    {"未知错误", "an unknown error"},
};

struct Rule {
    std::regex pattern;
    std::string english;
};

// "%s" and the number conversions become groups; everything else is literal.
std::vector<Rule> compile() {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    static const std::regex conversion(R"(%(lld|zu|d|s))");
    std::vector<Rule> rules;
    for (const auto& [chinese, english] : messages) {
        std::string escaped = std::regex_replace(std::string(chinese), special, "\\$&");
        escaped = std::regex_replace(escaped, conversion, "(.*)");
        rules.push_back({std::regex("^" + escaped + "$"), english});
    }
    return rules;
}

}  // namespace

std::string englishLogMessage(const std::string& message) {
    static const std::vector<Rule> rules = compile();
    std::smatch found;
    for (const Rule& rule : rules) {
        if (!std::regex_match(message, found, rule.pattern)) continue;
        std::string out;
        std::size_t group = 1;
        const std::string& english = rule.english;
        for (std::size_t i = 0; i < english.size(); ++i) {
            if (english[i] != '%') {
                out += english[i];
                continue;
            }
            // Skip the conversion's letters: its value comes from the match.
            std::size_t end = i + 1;
            while (end < english.size() && std::isalpha(static_cast<unsigned char>(english[end])) &&
                   english[end] != 's' && english[end] != 'd' && english[end] != 'u')
                ++end;
            out += group < found.size() ? found[group++].str() : std::string();
            i = end;
        }
        return out;
    }
    return message;
}

}  // namespace zorvan::cli
