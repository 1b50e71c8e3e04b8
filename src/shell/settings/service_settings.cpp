#include "shell/settings/service_settings.h"

#include "catalogue/works_retrieval.h"
#include "shell/gui_thread.h"
#include "shell/program_state.h"
#include "shell/settings/program_settings.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "web/http_fetch.h"

#include <curl/curl.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <thread>

namespace zorvan {

namespace {

const QString serviceKey = QStringLiteral("service/address");
const QString languageKey = QStringLiteral("ui/language");  // read by chooseLanguage

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

std::string rememberedServiceAddress() { return programSettings().value(serviceKey).toString().toStdString(); }

void rememberServiceAddress(const std::string& address) {
    QSettings settings = programSettings();
    settings.setValue(serviceKey, text(address));
    settings.sync();
}

QString checkServiceAddress(const std::string& address) {
    const std::string page =
        httpFetchText(worksAddressFor(address) + "?lumono=" + defaultPerformerId + "&p=1");
    if (page.empty()) {
        const HttpFetchReport report = lastHttpFetchReport();
        if (report.status >= 400)
            return ServiceSettingsDialog::tr("无法连接：服务器回答 %1").arg(report.status);
        switch (report.transferCode) {
            case CURLE_COULDNT_RESOLVE_HOST: return ServiceSettingsDialog::tr("无法连接：找不到这个主机");
            case CURLE_COULDNT_CONNECT: return ServiceSettingsDialog::tr("无法连接：服务器拒绝连接或无法到达");
            case CURLE_OPERATION_TIMEDOUT: return ServiceSettingsDialog::tr("无法连接：连接超时");
            default: return ServiceSettingsDialog::tr("无法连接：%1").arg(text(report.error));
        }
    }
    if (page.find("\"pages\":") == std::string::npos)
        return ServiceSettingsDialog::tr("服务有回答，但不是作品列表");
    return {};
}

ServiceSettingsDialog::ServiceSettingsDialog(const std::string& current, const std::string& given, QWidget* owner)
    : QDialog(owner) {
    setWindowTitle(tr("设置"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("视频服务地址："), this));
    address_ = new QLineEdit(text(current), this);
    address_->setPlaceholderText(tr("http://主机:端口"));
    address_->setMinimumWidth(320);
    layout->addWidget(address_);
    verdict_ = new QLabel(this);
    verdict_->setWordWrap(true);
    // Room for a verdict of three lines from the start: the dialog keeps
    // its size and its buttons their place when one appears.
    verdict_->setMinimumHeight(verdict_->fontMetrics().lineSpacing() * 3);
    verdict_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(verdict_);
    if (!given.empty()) {
        auto* note = new QLabel(
            tr("本次启动由 --service 或 ZORVAN_SERVICE 指定了 %1；这里的地址在不带它们启动时使用。")
                .arg(text(given)),
            this);
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    layout->addWidget(new QLabel(tr("界面语言（下次启动时生效）："), this));
    language_ = new QComboBox(this);
    language_->addItem(tr("跟随系统"), QString());
    language_->addItem(QStringLiteral("中文"), QStringLiteral("zh"));
    language_->addItem(QStringLiteral("English"), QStringLiteral("en"));
    language_->setCurrentIndex(std::max(0, language_->findData(programSettings().value(languageKey).toString())));
    layout->addWidget(language_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    check_ = buttons->addButton(tr("检查"), QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    connect(check_, &QPushButton::clicked, this, [this] { startCheck(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (chosenAddress().empty()) {
            showVerdict(tr("地址应以 http:// 或 https:// 开头"));
            return;
        }
        accept();
    });
}

// An address in the verdict is not broken after its "//" or any "/": a
// word joiner follows each.
void ServiceSettingsDialog::showVerdict(const QString& text) {
    QString unbroken = text;
    unbroken.replace(QStringLiteral("/"), QStringLiteral("/\u2060"));
    verdict_->setText(unbroken);
}

std::string ServiceSettingsDialog::chosenLanguage() const { return language_->currentData().toString().toStdString(); }

std::string ServiceSettingsDialog::chosenAddress() const {
    std::string address = address_->text().trimmed().toStdString();
    while (!address.empty() && address.back() == '/') address.pop_back();
    const bool web = address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
    return web && address.size() > 8 ? address : std::string();
}

void ServiceSettingsDialog::startCheck() {
    const std::string address = chosenAddress();
    if (address.empty()) {
        showVerdict(tr("地址应以 http:// 或 https:// 开头"));
        return;
    }
    showVerdict(tr("正在检查…"));
    const int number = ++checks_;
    // The request has its own time limits; the answer comes back to the
    // dialog if it is still there and this is still the latest check.
    checkers_.start([address, number, dialog = QPointer<ServiceSettingsDialog>(this)](const std::stop_token& stop) {
        const QString fault = checkServiceAddress(address);
        if (stop.stop_requested()) return;  // a newer check is the one to tell
        postToGui([fault, number, dialog] {
            if (!dialog || number != dialog->checks_) return;
            dialog->showVerdict(fault.isEmpty() ? tr("可以使用：服务回答了作品列表") : fault);
        });
    });
}

void showServiceSettings(const std::function<void(const std::string& address)>& changeService) {
    const std::string given = programState().givenServiceAddress;
    ServiceSettingsDialog dialog(programState().serviceAddress, given, mainWindow());
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string address = dialog.chosenAddress();
    rememberServiceAddress(address);
    programSettings().setValue(languageKey, QString::fromStdString(dialog.chosenLanguage()));
    if (given.empty() && changeService) changeService(address);
}

}  // namespace zorvan
