#include "shell/settings/service_settings.h"

#include "catalogue/works_retrieval.h"
#include "shell/gui_thread.h"
#include "shell/program_state.h"
#include "shell/routing.h"
#include "shell/settings/program_settings.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "web/http_fetch.h"

#include <curl/curl.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <thread>

namespace zorvan {

namespace {

const QString serviceKey = QStringLiteral("service/address");

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

std::string rememberedServiceAddress() { return programSettings().value(serviceKey).toString().toStdString(); }

void rememberServiceAddress(const std::string& address) {
    QSettings settings = programSettings();
    settings.setValue(serviceKey, text(address));
    settings.sync();
}

std::string checkServiceAddress(const std::string& address) {
    const std::string page =
        httpFetchText(worksAddressFor(address) + "?lumono=" + defaultPerformerId + "&p=1");
    if (page.empty()) {
        const HttpFetchReport report = lastHttpFetchReport();
        if (report.status >= 400) return "无法连接：服务器回答 " + std::to_string(report.status);
        switch (report.transferCode) {
            case CURLE_COULDNT_RESOLVE_HOST: return "无法连接：找不到这个主机";
            case CURLE_COULDNT_CONNECT: return "无法连接：服务器拒绝连接或无法到达";
            case CURLE_OPERATION_TIMEDOUT: return "无法连接：连接超时";
            default: return "无法连接：" + report.error;
        }
    }
    if (page.find("\"pages\":") == std::string::npos) return "服务有回答，但不是作品列表";
    return {};
}

ServiceSettingsDialog::ServiceSettingsDialog(const std::string& current, const std::string& given, QWidget* owner)
    : QDialog(owner) {
    setWindowTitle(QStringLiteral("设置"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("视频服务地址："), this));
    address_ = new QLineEdit(text(current), this);
    address_->setPlaceholderText(QStringLiteral("http://主机:端口"));
    address_->setMinimumWidth(320);
    layout->addWidget(address_);
    verdict_ = new QLabel(this);
    verdict_->setWordWrap(true);
    layout->addWidget(verdict_);
    if (!given.empty()) {
        auto* note = new QLabel(
            QStringLiteral("本次启动由 --service 或 ZORVAN_SERVICE 指定了 %1；这里的地址在不带它们启动时使用。")
                .arg(text(given)),
            this);
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    check_ = buttons->addButton(QStringLiteral("检查"), QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    connect(check_, &QPushButton::clicked, this, [this] { startCheck(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (chosenAddress().empty()) {
            verdict_->setText(QStringLiteral("地址应以 http:// 或 https:// 开头"));
            adjustSize();
            return;
        }
        accept();
    });
}

std::string ServiceSettingsDialog::chosenAddress() const {
    std::string address = address_->text().trimmed().toStdString();
    while (!address.empty() && address.back() == '/') address.pop_back();
    const bool web = address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
    return web && address.size() > 8 ? address : std::string();
}

void ServiceSettingsDialog::startCheck() {
    const std::string address = chosenAddress();
    if (address.empty()) {
        verdict_->setText(QStringLiteral("地址应以 http:// 或 https:// 开头"));
        return;
    }
    verdict_->setText(QStringLiteral("正在检查…"));
    const int number = ++checks_;
    // The request has its own time limits; the answer comes back to the
    // dialog if it is still there and this is still the latest check.
    std::thread([address, number, dialog = QPointer<ServiceSettingsDialog>(this)] {
        const std::string fault = checkServiceAddress(address);
        postToGui([fault, number, dialog] {
            if (!dialog || number != dialog->checks_) return;
            dialog->verdict_->setText(fault.empty() ? QStringLiteral("可以使用：服务回答了作品列表") : text(fault));
            dialog->adjustSize();
        });
    }).detach();
}

void showServiceSettings() {
    const std::string given = programState().givenServiceAddress;
    ServiceSettingsDialog dialog(programState().serviceAddress, given, mainWindow());
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string address = dialog.chosenAddress();
    rememberServiceAddress(address);
    if (given.empty() && routines().changeService) routines().changeService(address);
}

}  // namespace zorvan
