#pragma once

#include "web/fetch_workers.h"

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zorvan {

// The video service's address the user chose in "设置"; empty when none.
std::string rememberedServiceAddress();
void rememberServiceAddress(const std::string& address);

// "设置": the address of the video service, checked by asking it for a
// works page before it is taken, remembered for the next starts. An
// address given by --service or ZORVAN_SERVICE still wins; the dialog says
// so.
class ServiceSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // `current`: the address in use; `given`: the one the command line or
    // the environment set (empty: none).
    ServiceSettingsDialog(const std::string& current, const std::string& given, QWidget* owner);

    QLineEdit* addressEdit() const { return address_; }
    QPushButton* checkButton() const { return check_; }
    QLabel* verdictLabel() const { return verdict_; }
    // The window's language from the next start on: "" (the desktop's), "zh" or "en".
    QComboBox* languageBox() const { return language_; }
    std::string chosenLanguage() const;
    // The address as typed, cleaned; empty when it is not an http(s) address.
    std::string chosenAddress() const;

private:
    void showVerdict(const QString& text);
    void startCheck();

    QLineEdit* address_;
    QPushButton* check_;
    QLabel* verdict_;
    QComboBox* language_;
    int checks_ = 0;  // the latest check's number: older answers are dropped
    FetchWorkers checkers_;  // last: its end joins the checks before the rest goes
};

// What a check of `address` found, in the window's words: whether the
// service answered with a works list (empty text: it did).
QString checkServiceAddress(const std::string& address);

// Shows the dialog over the main window; on "确定" remembers the address
// and, unless one was given at start, has `changeService` use it from now
// on, and keeps the language for the next start.
void showServiceSettings(const std::function<void(const std::string& address)>& changeService);

}  // namespace zorvan
