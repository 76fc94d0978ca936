#include "dbaware/dbmemo.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include "dbaware/dialogs.h"
#include "dbaware/guard.h"
#include "dbaware/editing.h"
#include "store/error.h"
#include "store/table.h"

namespace dbaware {

namespace {

// How much of a memo over the limit is shown.
constexpr std::size_t previewCharacters = 2000;

// Characters as the memo column stores them: a line break of the control
// (also a pasted CR, and the separators of a selection's text) is CR LF.
qsizetype storedCharacters(const QString& shown)
{
    qsizetype n = 0;
    for (QChar c : shown)
        n += c.isLowSurrogate() ? 0 : (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator) ? 2 : 1;
    return n;
}

// The byte where the UTF-8 text's character number `n` starts, or its size.
std::size_t characterStart(const std::string& text, std::size_t n, std::size_t* total)
{
    std::size_t characters = 0, start = text.size();
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == n)
            start = i;
    *total = characters;
    return start;
}

}  // namespace

DBMemo::DBMemo(QWidget* parent)
    : QPlainTextEdit(parent), link_(this, [this] { reloadField(); }, [this] { writeField(); })
{
    setTabChangesFocus(true);
    setWordWrap(true);
    setScrollBars(ScrollBars::None);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!link_.loading)
            link_.modified = true;
        emit changed();
    });
}

DBMemo::~DBMemo() = default;

void DBMemo::setDataSource(DataSource* source) { link_.setDataSource(source); }

void DBMemo::setFieldName(const QString& name) { link_.setFieldName(name); }

void DBMemo::setWordWrap(bool on)
{
    setLineWrapMode(on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

bool DBMemo::wordWrap() const { return lineWrapMode() == QPlainTextEdit::WidgetWidth; }

void DBMemo::setScrollBars(ScrollBars bars)
{
    bars_ = bars;
    const bool v = bars == ScrollBars::Vertical || bars == ScrollBars::Both;
    const bool h = bars == ScrollBars::Horizontal || bars == ScrollBars::Both;
    setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

QString DBMemo::shownText(const QString& stored)
{
    QString s = stored;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    return s;
}

QString DBMemo::storedText(const QString& shown)
{
    QString s = shown;
    s.replace(u'\n', QStringLiteral("\r\n"));
    return s;
}

QStringList DBMemo::displayLines()
{
    ensurePolished();
    // A control that was never shown has not laid out its text for its
    // width yet; the resizes it would get on showing do that now: the first
    // places the viewport, the viewport's own lays the text out (the old
    // width must differ for that).
    if (testAttribute(Qt::WA_PendingResizeEvent)) {
        QResizeEvent e(size(), QSize(-1, -1));
        QCoreApplication::sendEvent(this, &e);
    }
    if (viewport()->testAttribute(Qt::WA_PendingResizeEvent)) {
        QResizeEvent e(viewport()->size(), QSize(-1, -1));
        QCoreApplication::sendEvent(viewport(), &e);
    }
    QStringList lines;
    QTextDocument* doc = document();
    if (doc->isEmpty())
        return lines;
    auto* layout = qobject_cast<QPlainTextDocumentLayout*>(doc->documentLayout());
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (layout)
            layout->ensureBlockLayout(block);
        const QString text = block.text();
        const QTextLayout* tl = block.layout();
        if (!tl || tl->lineCount() == 0) {
            lines << text;
            continue;
        }
        for (int i = 0; i < tl->lineCount(); ++i) {
            const QTextLine line = tl->lineAt(i);
            lines << text.mid(line.textStart(), line.textLength());
        }
    }
    return lines;
}

QString DBMemo::shownField(const std::string& stored, bool memoColumn, bool* cut)
{
    std::size_t characters = 0;
    const std::size_t previewEnd = characterStart(stored, previewCharacters, &characters);
    *cut = memoColumn && characters > static_cast<std::size_t>(store::memoLimit);
    if (!*cut)
        return shownText(QString::fromStdString(stored));
    return shownText(QString::fromUtf8(stored.data(), static_cast<qsizetype>(previewEnd))) +
           QStringLiteral("\n\n[Only the first %1 of its %2 characters are shown: a memo of more than %3 "
                          "characters cannot be shown or changed here. It is kept as it is stored.]")
               .arg(previewCharacters)
               .arg(characters)
               .arg(store::memoLimit);
}

void DBMemo::reloadField()
{
    if (!link_.dataSource())
        return;
    QString shown;
    bool cut = false;
    if (bound())
        shown = shownField(link_.table()->text(link_.column()), link_.columnInfo()->type == store::ColumnType::Memo,
                           &cut);
    showCut(cut);
    if (shown != toPlainText())
        setPlainText(shown);
}

void DBMemo::showCut(bool cut)
{
    if (cut == cut_)
        return;
    if (cut)
        readOnlyBeforeCut_ = isReadOnly();
    cut_ = cut;
    setReadOnly(cut || readOnlyBeforeCut_);
}

bool DBMemo::fits(const QString& incoming) const
{
    if (link_.columnInfo()->type != store::ColumnType::Memo)
        return true;
    return storedCharacters(toPlainText()) - storedCharacters(textCursor().selectedText()) +
               storedCharacters(incoming) <=
           store::memoLimit;
}

void DBMemo::writeField()
{
    // The cut text of a memo over the limit must never replace the whole.
    if (cut_)
        return;
    const QString shown = toPlainText();
    if (link_.columnInfo()->type == store::ColumnType::Memo && storedCharacters(shown) > store::memoLimit)
        throw store::StoreError(store::msg::tooLong(link_.columnInfo()->name, store::memoLimit));
    link_.table()->setText(link_.column(), storedText(shown).toStdString());
}

void DBMemo::keyPressEvent(QKeyEvent* e)
{
    if (isReadOnly() || !bound()) {
        QPlainTextEdit::keyPressEvent(e);
        return;
    }
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && link_.modified) {
        link_.reload();
        e->accept();
        return;
    }
    const bool lineBreak = (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
                           !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if ((keys::typesCharacter(e) || lineBreak) && !fits(lineBreak ? QStringLiteral("\n") : e->text())) {
        // Refused as a text box refuses a key at its length.
        dialogs().beep();
        e->accept();
        return;
    }
    if (keys::changesText(e, true) && !link_.beginChange()) {
        e->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void DBMemo::inputMethodEvent(QInputMethodEvent* e)
{
    if (!isReadOnly() && bound() && !e->commitString().isEmpty()) {
        if (!fits(e->commitString())) {
            dialogs().beep();
            e->accept();
            return;
        }
        if (!link_.beginChange()) {
            e->accept();
            return;
        }
    }
    QPlainTextEdit::inputMethodEvent(e);
}

void DBMemo::insertFromMimeData(const QMimeData* source)
{
    // Pasting and dropping, whichever way they come. Too long a text is
    // refused whole, with the reason: a cut paste would lose text unseen.
    if (bound() && source->hasText() && !fits(source->text())) {
        showError(this, QString::fromStdString(store::msg::tooLong(link_.columnInfo()->name, store::memoLimit)));
        return;
    }
    if (bound() && !link_.beginChange())
        return;
    QPlainTextEdit::insertFromMimeData(source);
}

void DBMemo::contextMenuEvent(QContextMenuEvent* e)
{
    // The menu's cut, delete and undo bypass the keyboard; they are offered
    // only while the record is already being edited.
    const bool wasReadOnly = isReadOnly();
    if (bound() && !wasReadOnly && !link_.table()->editing())
        setReadOnly(true);
    QPlainTextEdit::contextMenuEvent(e);
    setReadOnly(wasReadOnly);
}

void DBMemo::focusOutEvent(QFocusEvent* e)
{
    QPlainTextEdit::focusOutEvent(e);
    if (!link_.writeOnExit(*e))
        setFocus(Qt::OtherFocusReason);
}

}  // namespace dbaware
