#include "shell/downloads/download_settings_dialog.h"

#include "download_policy/download_folder.h"
#include "shell/downloads/download_manager.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace zorvan {

namespace {

QSpinBox* numberBox(QWidget* owner, const char* name, int least, int most) {
    auto* box = new QSpinBox(owner);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(least, most);
    return box;
}

QPointer<DownloadSettingsDialog> openPage;

}  // namespace

DownloadSettingsDialog::DownloadSettingsDialog(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("下载设置"));
    setWindowTitle(tr("下载设置"));
    parallel_ = numberBox(this, "parallel", 1, DownloadSettings::mostParallel);
    connections_ = numberBox(this, "connections", 1, DownloadSettings::mostConnections);
    speedLimit_ = numberBox(this, "speedLimit", 0, DownloadSettings::mostSpeedLimitKiB);
    speedLimit_->setSpecialValueText(tr("不限"));
    speedLimit_->setSuffix(tr(" KiB/秒"));
    speedLimit_->setSingleStep(100);
    QLayout* folderRow = makeFolderRow();
    QLayout* namingColumn = makeNamingColumn();
    mediaFiles_ = new QCheckBox(tr("为媒体服务器在视频旁写海报和 .nfo（Kodi、Jellyfin）"), this);
    mediaFiles_->setObjectName(QStringLiteral("mediaFiles"));
    // A media server reads performers' folders: choosing them suggests its
    // files, which the user may still turn off.
    connect(naming_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) mediaFiles_->setChecked(id == static_cast<int>(FileNaming::PerformerFolder));
    });

    strictResume_ = new QCheckBox(tr("严格续传：服务器不给验证信息时重新下载未完成的文件"), this);
    strictResume_->setObjectName(QStringLiteral("strictResume"));
    strictResume_->setToolTip(tr("不勾选时，这样的文件抽样核对后继续下载，并标明“未验证”"));

    auto* form = new QFormLayout;
    form->addRow(tr("同时下载："), parallel_);
    form->addRow(tr("每个下载的连接数："), connections_);
    form->addRow(tr("总速度限制："), speedLimit_);
    form->addRow(tr("下载文件夹："), folderRow);
    form->addRow(tr("文件命名："), namingColumn);
    form->addRow(tr("媒体服务器："), mediaFiles_);
    form->addRow(tr("续传："), strictResume_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(makeButtons());
    layout->setSizeConstraint(QLayout::SetFixedSize);  // nothing in it grows
}

QLayout* DownloadSettingsDialog::makeFolderRow() {
    folder_ = new QLineEdit(this);
    folder_->setObjectName(QStringLiteral("folder"));
    folder_->setPlaceholderText(QString::fromStdString(downloadFolder()));
    folder_->setMinimumWidth(260);
    auto* browse = new QPushButton(tr("浏览…"), this);
    connect(browse, &QPushButton::clicked, this, &DownloadSettingsDialog::chooseFolder);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse);
    return folderRow;
}

QLayout* DownloadSettingsDialog::makeNamingColumn() {
    naming_ = new QButtonGroup(this);
    auto* bySong = new QRadioButton(tr("歌名.mp4（都在下载文件夹）"), this);
    auto* byPerformer = new QRadioButton(tr("主播ID/序号 歌名.mp4"), this);
    bySong->setObjectName(QStringLiteral("namingSong"));
    byPerformer->setObjectName(QStringLiteral("namingPerformer"));
    naming_->addButton(bySong, static_cast<int>(FileNaming::SongName));
    naming_->addButton(byPerformer, static_cast<int>(FileNaming::PerformerFolder));
    auto* namingColumn = new QVBoxLayout;
    namingColumn->addWidget(bySong);
    namingColumn->addWidget(byPerformer);
    return namingColumn;
}

QLayout* DownloadSettingsDialog::makeButtons() {
    auto* ok = new QPushButton(tr("确定"), this);
    auto* cancel = new QPushButton(tr("取消"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] {
        downloadManager().applySettings(chosen());
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    return buttons;
}

DownloadSettings DownloadSettingsDialog::chosen() const {
    DownloadSettings settings;
    settings.parallel = parallel_->value();
    settings.connections = connections_->value();
    settings.speedLimitKiB = speedLimit_->value();
    const QString folder = folder_->text().trimmed();
    settings.folder = folder.startsWith('/') ? folder : QString();  // anything else: the default
    settings.naming = static_cast<FileNaming>(naming_->checkedId());
    // Kept only when it differs from what the naming brings, so a later
    // naming brings its own.
    if (mediaFiles_->isChecked() != settings.withMediaFiles()) settings.mediaFiles = mediaFiles_->isChecked();
    settings.strictResume = strictResume_->isChecked();
    return settings;
}

void DownloadSettingsDialog::showSettings(const DownloadSettings& settings) {
    parallel_->setValue(settings.parallel);
    connections_->setValue(settings.connections);
    speedLimit_->setValue(settings.speedLimitKiB);
    folder_->setText(settings.folder);
    naming_->button(static_cast<int>(settings.naming))->setChecked(true);
    mediaFiles_->setChecked(settings.withMediaFiles());
    strictResume_->setChecked(settings.strictResume);
}

void DownloadSettingsDialog::chooseFolder() {
    const QString start = folder_->text().isEmpty() ? folder_->placeholderText() : folder_->text();
    const QString folder = QFileDialog::getExistingDirectory(this, tr("下载文件夹"), start);
    if (!folder.isEmpty()) folder_->setText(folder);
}

void showDownloadSettings(QWidget* owner) {
    if (!openPage) {
        openPage = new DownloadSettingsDialog(owner);
        openPage->setAttribute(Qt::WA_DeleteOnClose);
        openPage->showSettings(downloadManager().settings());
    }
    openPage->open();  // over its owner, without a nested event loop
    openPage->raise();
}

}  // namespace zorvan
