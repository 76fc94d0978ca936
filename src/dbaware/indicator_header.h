#pragma once
#include <QHeaderView>
#include <QSize>

namespace dbaware {

// The narrow column at the left of a grid that marks the current record: an
// arrow while browsing, a bar while editing, an asterisk for a new record,
// as the model's GridModel::IndicatorRole says.
class IndicatorHeader final : public QHeaderView {
public:
    explicit IndicatorHeader(QWidget* parent);
    void setModel(QAbstractItemModel* model) override;
    void reset() override;

protected:
    // Every row's header is the marker alone, with no text, so one measure
    // serves them all; otherwise each reset of the rows measures a hundred.
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void changeEvent(QEvent* e) override;
    void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override;

private:
    void rowsGone(const QModelIndex& parent, int first, int last);
    // No row hidden or moved: then every row is like the last.
    bool rowsAlike() const;
    // For rows alike: as many as the model has.
    void followRowCount();

    mutable QSize measured_;
};

}  // namespace dbaware
