#pragma once

#include <QWidget>

namespace zorvan {

// Plays one downloaded file; destroyed when the user closes it (Esc too).
class LocalPlayerWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int designWidth = 747;
    static constexpr int designHeight = 592;

    LocalPlayerWindow();
};

}  // namespace zorvan
