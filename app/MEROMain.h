#pragma once

#include <QMainWindow>
#include <QSize>

class QTimer;
class QWidget;

namespace Ui
{
class TMERO_App;
}

// The main window: every control of the program, the two timers, the start-up
// sequence, the read-back of the unit's settings and the status poll.
class TMERO_App : public QMainWindow
{
    Q_OBJECT

public:
    explicit TMERO_App(QWidget* parent = nullptr);
    ~TMERO_App() override;

    // Sets the outer size of the window (frame included where the window
    // manager draws one); the client area follows when the frame is known.
    void SetOuterSize(int width, int height);

    Ui::TMERO_App* const ui;
    QTimer* const StatusTimer;
    QTimer* const TaskTimer;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyFonts();
    void ShowInitialComboTexts();
    void ApplyOuterSize();
    void FitBottomRow();

    QSize m_outerSize;
};
