#pragma once
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About box, shown modally from the Help menus.
class TAboutBox final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QPushButton* OKButton;
};

extern TAboutBox* AboutBox;

// Shows the About box modally and returns when it closes.
void showAboutBox();
