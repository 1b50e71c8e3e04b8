#include "shell/windows/performer_id_filter.h"

#include <QKeyEvent>

namespace zorvan {

bool PerformerIdFilter::acceptsTypedText(const QString& text) {
    for (const QChar c : text) {
        if (!c.isPrint()) continue;  // control characters pass
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != QLatin1Char('-'))
            return false;
    }
    return true;
}

bool PerformerIdFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Shortcuts carry their own meaning (Ctrl+V pastes); only plain typing is filtered.
        const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (!shortcut && !acceptsTypedText(key->text())) return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zorvan
