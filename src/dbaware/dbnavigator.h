#pragma once
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <array>

#include "dbaware/datasource.h"

class QHBoxLayout;
class QToolButton;

namespace dbaware {

enum class NavButton { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
inline constexpr int navButtonCount = 10;

// A bar of buttons acting directly on a data source's table: moves, insert,
// delete (after "Delete record?" with OK and Cancel), edit, post, cancel and
// refresh. A button is enabled as the table's position and state allow:
// First and Prior not at the beginning, Next and Last not at the end, Post
// and Cancel only while editing, Edit only while not, Delete while there is a
// record. Errors are shown in the error box.
class DBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit DBNavigator(QWidget* parent = nullptr);
    ~DBNavigator() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }

    // The buttons shown, left to right; all ten in NavButton order by default.
    void setVisibleButtons(const QList<NavButton>& buttons);
    QList<NavButton> visibleButtons() const { return visible_; }

    // Tooltips, one per kind in NavButton order, hidden buttons included;
    // entries beyond the list keep their text. The defaults: "First record",
    // "Prior record", "Next record", "Last record", "Insert record", "Delete
    // record", "Edit record", "Post edit", "Cancel edit", "Refresh data".
    void setHints(const QStringList& hints);
    void setHint(NavButton b, const QString& hint);
    QString hint(NavButton b) const;

    void setConfirmDelete(bool on) { confirmDelete_ = on; }
    bool confirmDelete() const { return confirmDelete_; }

    QToolButton* button(NavButton b) const { return buttons_[static_cast<std::size_t>(b)]; }
    // Runs the button's action as a click on it does.
    void click(NavButton b);

signals:
    // After a button's action ran without error.
    void clicked(dbaware::NavButton button);

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateButtons();
    // The button faces in the colours of the navigator's palette, again
    // whenever it changes (a dark palette needs light ink).
    void paintFaces();

    QPointer<DataSource> source_;
    std::array<QToolButton*, navButtonCount> buttons_{};
    QList<NavButton> visible_;
    QHBoxLayout* layout_;
    bool confirmDelete_ = true;
    QMetaObject::Connection onState_, onRecord_;
};

}  // namespace dbaware
