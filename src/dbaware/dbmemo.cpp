#include "dbaware/dbmemo.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include "dbaware/guard.h"
#include "dbaware/editing.h"

namespace dbaware {

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

void DBMemo::reloadField()
{
    if (!link_.dataSource())
        return;
    const QString shown = bound() ? shownText(QString::fromStdString(link_.table()->text(link_.column()))) : QString();
    if (shown != toPlainText())
        setPlainText(shown);
}

void DBMemo::writeField() { link_.table()->setText(link_.column(), storedText(toPlainText()).toStdString()); }

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
    if (keys::changesText(e, true) && !link_.beginChange()) {
        e->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void DBMemo::inputMethodEvent(QInputMethodEvent* e)
{
    if (!isReadOnly() && bound() && !e->commitString().isEmpty() && !link_.beginChange()) {
        e->accept();
        return;
    }
    QPlainTextEdit::inputMethodEvent(e);
}

void DBMemo::insertFromMimeData(const QMimeData* source)
{
    // Pasting and dropping, whichever way they come.
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
