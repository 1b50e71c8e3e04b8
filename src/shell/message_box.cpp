#include "shell/message_box.h"

#include "shell/gui_thread.h"
#include "shell/program_end.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>

namespace zorvan {

namespace {

QMessageBox::Icon qtIcon(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information: return QMessageBox::Information;
        case BoxIcon::Question: return QMessageBox::Question;
        case BoxIcon::Warning: return QMessageBox::Warning;
        case BoxIcon::Critical: return QMessageBox::Critical;
        case BoxIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qtButtons(BoxButtons buttons) {
    switch (buttons) {
        case BoxButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case BoxButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case BoxButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case BoxButtons::YesNoAll:
            return QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll;
        case BoxButtons::Ok: break;
    }
    return QMessageBox::Ok;
}

int resultOf(int qtButton) {
    switch (qtButton) {
        case QMessageBox::Ok: return BoxOk;
        case QMessageBox::Cancel: return BoxCancel;
        case QMessageBox::Yes: return BoxYes;
        case QMessageBox::No: return BoxNo;
        case QMessageBox::YesToAll: return BoxYesToAll;
        case QMessageBox::NoToAll: return BoxNoToAll;
        default: return BoxCancel;  // closed with Esc or the close button
    }
}

int showOnGuiThread(const MessageBoxRequest& request) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return BoxFailed;
    QMessageBox box(qtIcon(request.icon), request.caption, request.text, qtButtons(request.buttons),
                    request.owner);
    if (!request.owner) box.setWindowModality(Qt::ApplicationModal);
    // A box is answered, not maximised.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QPushButton* extra = request.extraButton.isEmpty() ? nullptr
                                                        : box.addButton(request.extraButton, QMessageBox::ActionRole);
    // Its whole text, whatever the box's layout makes of a longer one.
    if (extra) extra->setMinimumWidth(extra->fontMetrics().horizontalAdvance(request.extraButton) + 32);
    // Wide enough for its title beside the title bar's buttons: a short
    // text ("Done") would leave "Information:" cut to "I...".
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(box.fontMetrics().horizontalAdvance(request.caption) + 160, 0,
                                      QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    const int answer = box.exec();
    if (extra && box.clickedButton() == extra) return BoxExtra;
    return resultOf(answer);
}

}  // namespace

int askInMainWindow(const QString& text, BoxIcon icon, BoxButtons buttons, const QString& extraButton) {
    MessageBoxRequest box;
    box.text = text;
    box.caption = QCoreApplication::translate("zorvan", "信息：");
    box.icon = icon;
    box.buttons = buttons;
    box.extraButton = extraButton;
    box.owner = mainWindow();
    return showMessageBox(box);
}

int showMessageBox(const MessageBoxRequest& request) {
    if (isGuiThread()) return showOnGuiThread(request);
    if (endUnderWay()) return BoxFailed;
    QPointer<QWidget> owner = request.owner;
    int result = BoxFailed;
    runOnGuiAndWait([&] {
        MessageBoxRequest onGui = request;
        onGui.owner = owner.data();  // the owner may have gone meanwhile
        result = endUnderWay() ? BoxFailed : showOnGuiThread(onGui);
    });
    return result;
}

}  // namespace zorvan
