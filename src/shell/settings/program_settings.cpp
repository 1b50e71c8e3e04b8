#include "shell/settings/program_settings.h"

namespace zorvan {

QSettings programSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zorvan"), QStringLiteral("zorvan"));
}

}  // namespace zorvan
