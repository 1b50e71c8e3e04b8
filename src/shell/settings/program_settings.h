#pragma once

#include <QSettings>

namespace zorvan {

// The program's settings file: $XDG_CONFIG_HOME/zorvan/zorvan.ini.
QSettings programSettings();

}  // namespace zorvan
