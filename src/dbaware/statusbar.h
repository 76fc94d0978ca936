#pragma once
#include <QStatusBar>

class QLabel;

namespace dbaware {

// A status bar with one text area across its width that keeps the last text
// set (Qt's own messages are temporary and hidden by other widgets).
class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const;

private:
    QLabel* label_;
};

}  // namespace dbaware
