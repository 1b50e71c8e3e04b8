#include "download/error_text.h"

#include "text/code_page.h"

#include <cerrno>
#include <map>

namespace zorvan {

int socketErrorFromErrno(int error) {
    switch (error) {
        case EINTR: return -10004;
        case EFAULT: return -10014;
        case EINVAL: return -10022;
        case EAGAIN: return -10035;
        case EINPROGRESS: return -10036;
        case ENOTSOCK: return -10038;
        case EMSGSIZE: return -10040;
        case EOPNOTSUPP: return -10045;
        case ENETDOWN: return -10050;
        case ENETRESET: return -10052;
        case ECONNABORTED: return -10053;
        case ECONNRESET: return -10054;
        case EPIPE: return -10054;
        case ENOTCONN: return -10057;
        case ESHUTDOWN: return -10058;
        case ETIMEDOUT: return -10060;
        default: return socketError::unknownBase - error;
    }
}

int errnoOfSocketError(int code) {
    if (code <= socketError::unknownBase) return socketError::unknownBase - code;
    static const int known[] = {EINTR, EFAULT, EINVAL, EAGAIN, EINPROGRESS, ENOTSOCK, EMSGSIZE, EOPNOTSUPP,
                                ENETDOWN, ENETRESET, ECONNABORTED, ECONNRESET, ENOTCONN, ESHUTDOWN, ETIMEDOUT};
    for (const int error : known)
        if (socketErrorFromErrno(error) == code) return error;
    return 0;
}

std::string errorText(int code) {
    static const std::map<int, const char*> table = {
        {-31, "TLS安全连接出错"},
        {-30, "服务器在TLS记录中途关闭了连接"},
        {-22, "有错误发生"},
        {-21, "读MMS数据错误"},
        {-10, "接收数据超时"},
        {-9, "FD_ISSET 找不到需要的SOCK"},
        {-8, "接收数据错误"},
        {-7, "发送数据错误"},
        {-6, "等待接收或发送数据超时"},
        {-5, "等待接收或发送数据错误"},
        {-4, "空指针错误"},
        {-3, "设置或获得SOCK状态出错"},
        {-2, "位置错误"},
        {-10093, "应用程序没有调用 WSAStartup，或者 WSAStartup 失败。"},
        {-10050, "套接字操作遇到了一个已死的网络。"},
        {-10014, "系统检测到在一个调用中尝试使用指针参数时的无效指针地址。"},
        {-10057, "由于套接字没有连接并且(当使用一个 sendto 调用发送数据报套接字时)没有提供地址，发送或接收数据的请求没有被接受"},
        {-10004, "一个封锁操作被对 WSACancelBlockingCall 的调用中断。"},
        {-10036, "目前正在执行一个阻挡性操作。"},
        {-10052, "当该操作在进行中，由于保持活动的操作检测到一个故障，该连接中断。"},
        {-10038, "在一个非套接字上尝试了一个操作。"},
        {-10045, "参考的对象类型不支持尝试的操作。"},
        {-10058, "由于以前的关闭调用，套接字在那个方向已经关闭，发送或接收数据的请求没有被接受。"},
        {-10035, "无法立即完成一个非阻挡性套接字操作。"},
        {-10040, "用户用于接收数据报的缓冲器比数据报小。"},
        {-10022, "过程调用无效。"},
        {-10053, "您的主机中的软件放弃了一个已建立的连接。"},
        {-10060, "由于连接方在一段时间后没有正确答复或连接的主机没有反应，连接尝试失败。"},
        {-10054, "远程主机强迫关闭了一个现有的连接。"},
    };
    const auto it = table.find(code);
    return utf8ToGbk(it != table.end() ? it->second : "未知错误");
}

}  // namespace zorvan
