#include "dbaware/statusbar.h"

#include <QLabel>

namespace dbaware {

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent), label_(new QLabel(this))
{
    label_->setTextFormat(Qt::PlainText);
    label_->setIndent(2);
    addWidget(label_, 1);
}

void StatusBar::setText(const QString& text) { label_->setText(text); }

QString StatusBar::text() const { return label_->text(); }

}  // namespace dbaware
