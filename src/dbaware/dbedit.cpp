#include "dbaware/dbedit.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QValidator>

#include "dbaware/dialogs.h"
#include "dbaware/guard.h"
#include "dbaware/editing.h"

namespace dbaware {

namespace {
constexpr int unlimited = 32767;  // QLineEdit's own default

// A text column's limit counts characters, where QLineEdit's maximum length
// counts UTF-16 units: an emoji is one character but two units. Cuts typed or
// pasted text at the limit, never inside a character.
class CharacterLimit final : public QValidator {
public:
    CharacterLimit(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}
    State validate(QString& input, int& pos) const override
    {
        int characters = 0;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (input.at(i).isLowSurrogate() && i > 0 && input.at(i - 1).isHighSurrogate())
                continue;
            if (characters++ == limit_) {
                input.truncate(i);
                pos = std::min(pos, static_cast<int>(i));
                break;
            }
        }
        return Acceptable;
    }

private:
    int limit_;
};
}

DBEdit::DBEdit(QWidget* parent)
    : QLineEdit(parent), link_(this, [this] { reloadField(); }, [this] { writeField(); })
{
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!link_.loading)
            link_.modified = true;
        emit changed();
    });
    connect(this, &QLineEdit::textEdited, this, &DBEdit::userEdited);
}

DBEdit::~DBEdit() = default;

void DBEdit::setDataSource(DataSource* source) { link_.setDataSource(source); }

void DBEdit::setFieldName(const QString& name) { link_.setFieldName(name); }

void DBEdit::setAccess(Access access)
{
    access_ = access;
    switch (access) {
    case Access::Editable:
        setReadOnly(false);
        setEnabled(true);
        setFocusPolicy(Qt::StrongFocus);
        paintNormal(this);
        break;
    case Access::ReadOnly:
        setReadOnly(true);
        setEnabled(true);
        setFocusPolicy(Qt::ClickFocus);
        paintGrey(this);
        break;
    case Access::Disabled:
        setReadOnly(true);
        setEnabled(false);
        setFocusPolicy(Qt::NoFocus);
        paintGrey(this);
        break;
    }
}

void DBEdit::reloadField()
{
    if (!link_.dataSource())
        return;  // an unbound box keeps whatever the program put in it
    QString shown;
    int limit = unlimited;
    if (bound()) {
        shown = QString::fromStdString(link_.table()->text(link_.column()));
        const store::Column* c = link_.columnInfo();
        if (c->type == store::ColumnType::Text)
            limit = c->size;
    }
    if (limit != limit_) {
        limit_ = limit;
        delete validator();
        setValidator(limit == unlimited ? nullptr : new CharacterLimit(limit, this));
        setMaxLength(limit == unlimited ? unlimited : 2 * limit);
    }
    if (shown != text()) {
        const int pos = cursorPosition();
        setText(shown);
        // While typing (the re-read before the first key) keep the caret
        // where it was; otherwise show the text from its start.
        setCursorPosition(hasFocus() ? std::min(pos, static_cast<int>(shown.size())) : 0);
    }
}

void DBEdit::mirror(const DBEdit* source)
{
    connect(source, &QLineEdit::textChanged, this, [this](const QString& shown) {
        if (shown == text())
            return;
        link_.loading = true;
        setText(shown);
        setCursorPosition(0);
        link_.loading = false;
    });
}

void DBEdit::writeField() { link_.table()->setText(link_.column(), text().toStdString()); }

void DBEdit::userEdited()
{
    // Changes that bypass the keyboard (a drop, the context menu) ask for
    // edit state afterwards; refused, the field's text comes back.
    if (!bound() || link_.table()->editing())
        return;
    const QString typed = text();
    const int pos = cursorPosition();
    if (!link_.beginChange()) {
        link_.reload();
        return;
    }
    if (text() != typed) {
        setText(typed);
        setCursorPosition(pos);
    }
}

void DBEdit::keyPressEvent(QKeyEvent* e)
{
    if (access_ != Access::Editable || !bound()) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && link_.modified) {
        link_.reload();
        selectAll();
        e->accept();
        return;
    }
    if (!keys::changesText(e, false)) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    const store::ColumnType type = link_.columnInfo()->type;
    if (type == store::ColumnType::Short && keys::typesCharacter(e) && !keys::fitsShortColumn(e)) {
        dialogs().beep();
        e->accept();
        return;
    }
    if (type == store::ColumnType::AutoInc || !link_.beginChange()) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void DBEdit::inputMethodEvent(QInputMethodEvent* e)
{
    if (access_ == Access::Editable && bound() && !e->commitString().isEmpty() && !link_.beginChange()) {
        e->accept();
        return;
    }
    QLineEdit::inputMethodEvent(e);
}

void DBEdit::contextMenuEvent(QContextMenuEvent* e)
{
    // Where the record cannot be changed, the menu offers no editing commands.
    const bool wasReadOnly = isReadOnly();
    if (bound() && !wasReadOnly && !link_.canChange())
        setReadOnly(true);
    QLineEdit::contextMenuEvent(e);
    setReadOnly(wasReadOnly);
}

void DBEdit::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (!link_.writeOnExit(*e)) {
        selectAll();
        setFocus(Qt::OtherFocusReason);
        return;
    }
    if (leftByUser(this, *e))
        emit exited();
}

}  // namespace dbaware
