#include "app/splash.h"

#include "app/shell.h"
#include "dbaware/guard.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWindow>

TfrmSplash* frmSplash = nullptr;

TfrmSplash::TfrmSplash(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("Splash Screen"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);

    Panel2 = new QFrame(this);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel2->setLineWidth(1);
    Panel2->setAutoFillBackground(true);
    // The bevel's light edge would vanish against the white.
    QPalette bevel = Panel2->palette();
    bevel.setColor(QPalette::Light, QColor(0xc8, 0xc8, 0xc8));
    bevel.setColor(QPalette::Dark, QColor(0x80, 0x80, 0x80));
    Panel2->setPalette(bevel);

    Image1 = new QLabel(Panel2);
    Image1->setPixmap(app::programPixmap());
    Image1->setFixedSize(32, 32);

    auto bold = [](QLabel* label, qreal scale) {
        QFont f = label->font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * scale);
        label->setFont(f);
    };
    Label1 = new QLabel(QStringLiteral("Valdane Campaign Database"), Panel2);
    bold(Label1, 2.0);
    Label2 = new QLabel(QStringLiteral("Version 1.3"), Panel2);
    bold(Label2, 1.2);
    Label2->setAlignment(Qt::AlignCenter);
    Label4 = new QLabel(QStringLiteral("December 31, 1998"), Panel2);
    bold(Label4, 1.2);
    Label3 = new QLabel(QStringLiteral("Initializing..."), Panel2);
    bold(Label3, 1.2);
    QFont italic = Label3->font();
    italic.setItalic(true);
    Label3->setFont(italic);
    QPalette red = Label3->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label3->setPalette(red);

    auto* grid = new QGridLayout(Panel2);
    grid->setContentsMargins(24, 20, 24, 16);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(10);
    grid->addWidget(Image1, 0, 0, Qt::AlignCenter);
    grid->addWidget(Label1, 0, 1);
    grid->addWidget(Label2, 1, 0, 1, 2, Qt::AlignHCenter);
    grid->addWidget(Label4, 2, 0, 1, 2, Qt::AlignHCenter);
    grid->setRowMinimumHeight(3, 16);
    grid->addWidget(Label3, 4, 0, 1, 2, Qt::AlignLeft);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(Panel2);
    app::openCentred(*this);
}

TfrmSplash::~TfrmSplash()
{
    if (frmSplash == this)
        frmSplash = nullptr;
}

void TfrmSplash::FormCreate() { QCoreApplication::processEvents(); }

void TfrmSplash::FormClose()
{
    // The window frees itself once closed (WA_DeleteOnClose).
    if (frmSplash == this)
        frmSplash = nullptr;
}

void TfrmSplash::showPainted()
{
    show();
    raise();
    // The window system maps the window in its own time; wait for that (a
    // little), so the splash is drawn before the long work begins.
    QElapsedTimer waited;
    waited.start();
    while (!(windowHandle() && windowHandle()->isExposed()) && waited.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmSplash::closeEvent(QCloseEvent* event)
{
    dbaware::guarded(this, [this] { FormClose(); });
    event->accept();
}
