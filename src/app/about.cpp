#include "app/about.h"

#include "app/modal.h"
#include "app/shell.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox* AboutBox = nullptr;

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("About"));
    setAttribute(Qt::WA_QuitOnClose, false);

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ProgramIcon = new QLabel(Panel1);
    // Stretched to fit its box, in whole pixels so that the drawing stays sharp.
    ProgramIcon->setFixedSize(64, 64);
    ProgramIcon->setPixmap(app::programPixmap().scaled(ProgramIcon->size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
    ProductName = new QLabel(QStringLiteral("Valdane Character DataBase"), Panel1);
    Version = new QLabel(QStringLiteral("Version 1.3 - 12/31/98"), Panel1);

    auto* panel = new QGridLayout(Panel1);
    panel->setContentsMargins(12, 12, 24, 12);
    panel->setHorizontalSpacing(16);
    panel->addWidget(ProgramIcon, 0, 0, 2, 1, Qt::AlignTop);
    panel->addWidget(ProductName, 0, 1, Qt::AlignBottom);
    panel->addWidget(Version, 1, 1, Qt::AlignTop);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(Panel1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog border
    app::openCentred(*this);
}

void showAboutBox() { app::showModal(*AboutBox); }
