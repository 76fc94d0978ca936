#pragma once
#include <QWidget>

class QFrame;
class QLabel;

// The splash screen, on the screen while the windows are created; the main
// window's first activation closes it.
class TfrmSplash final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmSplash(QWidget* parent = nullptr);
    ~TfrmSplash() override;

    QFrame* Panel2;
    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label3;

    void FormCreate();
    void FormClose();

    // Shows the splash and has it painted before the caller goes on.
    void showPainted();

protected:
    void closeEvent(QCloseEvent* event) override;
};

// The splash reference: empty before the splash is created and again from
// the moment it closes.
extern TfrmSplash* frmSplash;
