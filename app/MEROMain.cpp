#include "MEROMain.h"

#include "ui_MEROMain.h"

#include "CompactTabStyle.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QPalette>
#include <QTabBar>
#include <QTimer>

namespace
{
constexpr int kControlFontPx = 11;
constexpr int kSpinFontPx = 13;
constexpr int kResponseListLines = 10000;
} // namespace

TMERO_App::TMERO_App(QWidget* parent)
    : QMainWindow(parent), ui(new Ui::TMERO_App), StatusTimer(new QTimer(this)),
      TaskTimer(new QTimer(this))
{
    ui->setupUi(this);
    ApplyFonts();
    ShowInitialComboTexts();

    auto* tabStyle = new TCompactTabStyle;
    tabStyle->setParent(ui->PageControl1);
    ui->PageControl1->tabBar()->setStyle(tabStyle);

    // The form keeps the page disabled; the tab itself has to follow.
    ui->PageControl1->setTabEnabled(ui->PageControl1->indexOf(ui->TabVRX), ui->TabVRX->isEnabled());

    ui->ResponseList->document()->setMaximumBlockCount(kResponseListLines);
    QPalette pal = ui->ResponseList->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    ui->ResponseList->setPalette(pal);

    StatusTimer->setObjectName(QStringLiteral("StatusTimer"));
    StatusTimer->setInterval(1000);
    TaskTimer->setObjectName(QStringLiteral("TaskTimer"));
    TaskTimer->setInterval(5);

    ui->CentralArea->installEventFilter(this);
    m_outerSize = size();
    setFixedSize(m_outerSize);
}

TMERO_App::~TMERO_App()
{
    delete ui;
}

void TMERO_App::ApplyFonts()
{
    QFont controls = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    controls.setPixelSize(kControlFontPx);
    setFont(controls);
    QFont spin = controls;
    spin.setPixelSize(kSpinFontPx);
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->inherits("TPlusSpinEdit"))
            w->setFont(spin);
    }
}

void TMERO_App::ShowInitialComboTexts()
{
    // The form gives each combo box a text to show until an item is chosen;
    // the designer cannot store "no item" for a list that has items.
    for (QComboBox* box : findChildren<QComboBox*>()) {
        const QString text = box->currentText();
        box->setCurrentIndex(-1);
        box->setEditText(text);
    }
}

void TMERO_App::SetOuterSize(int width, int height)
{
    m_outerSize = QSize(width, height);
    ApplyOuterSize();
}

void TMERO_App::ApplyOuterSize()
{
    // Before the window is shown, or without a window manager, the frame adds
    // nothing; once the frame is known the client area is shrunk to fit.
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize client = m_outerSize - frame;
    if (client != size() || minimumSize() != client || maximumSize() != client)
        setFixedSize(client);
}

bool TMERO_App::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    // Frame extents arrive from the window manager after the window is shown.
    if (event->type() == QEvent::Show || event->type() == QEvent::Move)
        ApplyOuterSize();
    return handled;
}

bool TMERO_App::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->CentralArea && event->type() == QEvent::Resize)
        FitBottomRow();
    return QMainWindow::eventFilter(watched, event);
}

void TMERO_App::FitBottomRow()
{
    // The response list and the information box reach down to the bottom
    // edge, whatever height the frame leaves for the client area.
    constexpr int margin = 4;
    constexpr int minHeight = 60;
    const int bottom = ui->CentralArea->height() - margin;
    for (QWidget* w :
         {static_cast<QWidget*>(ui->ResponseList), static_cast<QWidget*>(ui->InfoBox)}) {
        QRect r = w->geometry();
        r.setHeight(qMax(minHeight, bottom - r.top()));
        w->setGeometry(r);
    }
}
