#pragma once

#include "shell/settings/download_settings.h"

#include <QDialog>
#include <QLayout>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace zorvan {

// "设置": the downloads page. Works at once, connections per work, the
// overall speed limit, the download folder, how files are named and whether
// a media server's files go beside them; "确定"
// applies them to the download manager at once and saves them.
class DownloadSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit DownloadSettingsDialog(QWidget* owner);

    // What the page shows now.
    DownloadSettings chosen() const;
    void showSettings(const DownloadSettings& settings);

private:
    void chooseFolder();
    QLayout* makeFolderRow();
    QLayout* makeNamingColumn();
    QLayout* makeButtons();

    QSpinBox* parallel_;
    QSpinBox* connections_;
    QSpinBox* speedLimit_;
    QLineEdit* folder_;
    QButtonGroup* naming_;
    QCheckBox* mediaFiles_;
    QCheckBox* strictResume_;
};

// Opens the page over `owner` (one at a time), showing the manager's settings.
void showDownloadSettings(QWidget* owner);

}  // namespace zorvan
