#pragma once
#include <QPlainTextEdit>
#include <QStringList>

#include <string>

#include "dbaware/fieldlink.h"

namespace dbaware {

// A multi-line box bound to a (memo) column. Editing, automatic edit state
// and writing behave as in DBEdit.
//
// Line breaks: CR LF, LF and a lone CR in the stored text each show as one
// line break; what the control writes back always uses CR LF, the break of
// the text files the program writes. An unchanged text is never written, so
// a stored LF stays as it was until the user edits the memo.
//
// Length: a memo column holds at most store::memoLimit characters, counted as
// stored (a line break is two). A key that would type past it is refused
// with a beep; a paste or drop that would, with an error box that says why.
// A stored memo over the limit (written by another program) would hang the
// text layout: only its start is shown, read-only and followed by a note, and
// that cut text is never written back.
class DBMemo : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(QString dataField READ fieldName WRITE setDataField)
    Q_PROPERTY(ScrollBars scrollBars READ scrollBars WRITE setScrollBars)
    Q_PROPERTY(bool wordWrap READ wordWrap WRITE setWordWrap)
public:
    enum class ScrollBars { None, Vertical, Horizontal, Both };
    Q_ENUM(ScrollBars)

    explicit DBMemo(QWidget* parent = nullptr);
    ~DBMemo() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return link_.dataSource(); }
    void setFieldName(const QString& name);
    void setDataField(const QString& name) { setFieldName(name); }
    QString fieldName() const { return link_.fieldName(); }

    // Word wrap is on by default; it breaks at word boundaries, and inside a
    // word only when the word alone is wider than the control.
    void setWordWrap(bool on);
    bool wordWrap() const;
    // Shown always or never; None by default.
    void setScrollBars(ScrollBars bars);
    ScrollBars scrollBars() const { return bars_; }

    // The lines as the control holds them for display: the text broken at
    // each line break and, with word wrap, wherever a line is wider than the
    // control at its current width and font (a wrapped line keeps its
    // trailing blank). A text ending with a line break ends with an empty
    // line; dropping it is the reader's business. An empty memo has none.
    // Works on a control that was never shown, once it has its width.
    QStringList displayLines();

    bool hasPendingText() const { return link_.modified; }
    // Showing the start of a stored memo that is over the limit.
    bool showsCut() const { return cut_; }
    void updateRecord() { link_.updateRecord(); }

    // The stored text as shown (every break as '\n'), and back (CR LF).
    static QString shownText(const QString& stored);
    // What the control shows for a stored field: shownText, or for a memo
    // column over the limit its start and the note; `cut` says which.
    static QString shownField(const std::string& stored, bool memoColumn, bool* cut);
    static QString storedText(const QString& shown);

signals:
    // The shown text really changed, by typing or because of the data.
    void changed();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void reloadField();
    void writeField();
    bool bound() const { return link_.active(); }
    // Whether the text, with the selection replaced by `incoming`, stays
    // within the limit of the bound memo column.
    bool fits(const QString& incoming) const;
    void showCut(bool cut);

    FieldLink link_;
    ScrollBars bars_ = ScrollBars::None;
    bool cut_ = false;
    bool readOnlyBeforeCut_ = false;
};

}  // namespace dbaware
