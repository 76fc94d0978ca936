#include "dbaware/editing.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPalette>
#include <QWidget>

namespace dbaware::keys {

bool typesCharacter(const QKeyEvent* e)
{
    // Ctrl with a letter is a command (Ctrl+V), whatever text it carries;
    // Ctrl+Alt is AltGr on Windows and types.
    const auto mods = e->modifiers();
    if ((mods & Qt::MetaModifier) || ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier)))
        return false;
    const QString t = e->text();
    for (QChar c : t)
        if (c.isPrint())
            return true;
    return false;
}

bool changesText(const QKeyEvent* e, bool multiLine)
{
    if (typesCharacter(e))
        return true;
    switch (e->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return multiLine;
    default:
        break;
    }
    static const QKeySequence::StandardKey edits[] = {
        QKeySequence::Paste,           QKeySequence::Cut,
        QKeySequence::Undo,            QKeySequence::Redo,
        QKeySequence::DeleteEndOfWord, QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfLine, QKeySequence::DeleteCompleteLine,
    };
    for (auto k : edits)
        if (e->matches(k))
            return true;
    return false;
}

bool fitsShortColumn(const QKeyEvent* e)
{
    for (QChar c : e->text()) {
        if (!c.isPrint())
            continue;
        if (!(c >= u'0' && c <= u'9') && c != u'+' && c != u'-')
            return false;
    }
    return true;
}

}  // namespace dbaware::keys

namespace dbaware {

void paintGrey(QWidget* w)
{
    QPalette p = w->palette();
    const QColor silver(192, 192, 192);
    p.setColor(QPalette::Base, silver);
    // The style's greyed text would vanish on silver.
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(96, 96, 96));
    w->setPalette(p);
}

void paintNormal(QWidget* w) { w->setPalette(QPalette()); }

bool leftByUser(const QWidget* w, const QFocusEvent& e)
{
    // A box on a page that is being hidden is invisible by the time Qt moves
    // its focus along the chain, with the Tab reason a real Tab key has.
    if (!w->isVisible())
        return false;
    switch (e.reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::MouseFocusReason:
    case Qt::ShortcutFocusReason:
        return true;
    default:
        return false;
    }
}

}  // namespace dbaware
