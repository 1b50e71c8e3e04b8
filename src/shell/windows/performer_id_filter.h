#pragma once

#include <QObject>

namespace zorvan {

// Lets only digits and "-" be typed into the performer id box. Control keys
// (backspace, arrows, shortcuts such as paste) pass untouched, so pasted
// text is not filtered.
class PerformerIdFilter : public QObject {
public:
    using QObject::QObject;

    static bool acceptsTypedText(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace zorvan
