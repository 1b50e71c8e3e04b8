#include "shell/settings/download_settings.h"

#include "download_policy/download_folder.h"
#include "shell/settings/program_settings.h"

#include <algorithm>
#include <optional>

namespace zorvan {

namespace {

const char* const group = "downloads";

// What was last loaded or saved; read for every row of a works list.
std::optional<FileNaming>& namingInForce() {
    static std::optional<FileNaming> naming;
    return naming;
}

int within(const QSettings& ini, const char* key, int fallback, int least, int most) {
    bool ok = false;
    const int value = ini.value(QString::fromLatin1(key)).toInt(&ok);
    return ok ? std::clamp(value, least, most) : fallback;
}

}  // namespace

DownloadSettings loadDownloadSettings() {
    QSettings ini = programSettings();
    ini.beginGroup(QString::fromLatin1(group));
    DownloadSettings settings;
    settings.parallel = within(ini, "parallel", settings.parallel, 1, DownloadSettings::mostParallel);
    settings.connections = within(ini, "connections", settings.connections, 1, DownloadSettings::mostConnections);
    settings.speedLimitKiB = within(ini, "speedLimitKiB", 0, 0, DownloadSettings::mostSpeedLimitKiB);
    const QString folder = ini.value(QStringLiteral("folder")).toString();
    settings.folder = folder.startsWith('/') ? folder : QString();
    settings.naming = ini.value(QStringLiteral("naming")).toString() == QStringLiteral("performer")
                          ? FileNaming::PerformerFolder
                          : FileNaming::SongName;
    const QVariant mediaFiles = ini.value(QStringLiteral("mediaFiles"));
    if (mediaFiles.isValid()) settings.mediaFiles = mediaFiles.toBool();
    settings.strictResume = ini.value(QStringLiteral("strictResume"), false).toBool();
    chooseDownloadFolder(settings.folder.toStdString());
    namingInForce() = settings.naming;
    return settings;
}

void saveDownloadSettings(const DownloadSettings& settings) {
    QSettings ini = programSettings();
    ini.beginGroup(QString::fromLatin1(group));
    ini.setValue(QStringLiteral("parallel"), settings.parallel);
    ini.setValue(QStringLiteral("connections"), settings.connections);
    ini.setValue(QStringLiteral("speedLimitKiB"), settings.speedLimitKiB);
    ini.setValue(QStringLiteral("folder"), settings.folder);
    ini.setValue(QStringLiteral("naming"),
                 settings.naming == FileNaming::PerformerFolder ? QStringLiteral("performer") : QStringLiteral("song"));
    if (settings.mediaFiles) ini.setValue(QStringLiteral("mediaFiles"), *settings.mediaFiles);
    else ini.remove(QStringLiteral("mediaFiles"));  // follows the naming
    ini.setValue(QStringLiteral("strictResume"), settings.strictResume);
    chooseDownloadFolder(settings.folder.toStdString());
    namingInForce() = settings.naming;
}

FileNaming fileNaming() {
    if (!namingInForce()) loadDownloadSettings();
    return *namingInForce();
}

}  // namespace zorvan
