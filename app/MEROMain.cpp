// SPDX-License-Identifier: GPL-3.0-or-later
#include "MEROMain.h"

#include "ui_MEROMain.h"

#include "AppState.h"
#include "Communication.h"
#include "CompactTabStyle.h"
#include "ControlTips.h"
#include "KxComPort.h"
#include "LampWidget.h"
#include "MEROAccessibility.h"
#include "MeasureSession.h"
#include "PumpLink.h"
#include "ResponseListEcho.h"
#include "mvVersionInfo.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPalette>
#include <QProcess>
#include <QTabBar>
#include <QTimer>

namespace
{
constexpr int kControlFontPx = 11;
constexpr int kSpinFontPx = 13;
constexpr int kResponseListLines = 10000;
} // namespace

TMERO_App::TMERO_App(QWidget* parent)
    : QMainWindow(parent), ui(new Ui::TMERO_App), ComPort(new TKxComPort(this)),
      StatusTimer(new QTimer(this)), TaskTimer(new QTimer(this)),
      Measurements(new TMeasureSession(this)), VersionInfo(new TmvVersionInfo(this)),
      FExitRetry(new QTimer(this))
{
    ui->setupUi(this);
    for (size_t i = 0; i < kStatusBits.size(); ++i)
        FStatusLamps[i] = findChild<TLamp*>(QString::fromLatin1(kStatusBits[i].Lamp));
    ApplyFonts();
    ShowInitialComboTexts();
    ApplyValueFloors();

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
    FEcho = std::make_unique<TResponseListEcho>(ui->ResponseList);

    ComPort->setObjectName(QStringLiteral("ComPort"));
    ComPort->SetAllowEvents(false);
    ComPort->SetBaud(115200);
    ComPort->SetHandshaking(hsNone);
    ComPort->SetParity(parNone);
    ComPort->SetResponseTime(1000);
    ComPort->SetPort(1);
    ComPort->SetShowErrors(true);
    connect(ComPort, &TKxComPort::LinkFailed, this, &TMERO_App::PortLost);
    VersionInfo->setObjectName(QStringLiteral("VersionInfo"));

    StatusTimer->setObjectName(QStringLiteral("StatusTimer"));
    StatusTimer->setInterval(1000);
    TaskTimer->setObjectName(QStringLiteral("TaskTimer"));
    TaskTimer->setInterval(5);
    FExitRetry->setInterval(10);
    connect(FExitRetry, &QTimer::timeout, this, &TMERO_App::TryPendingExit);

    Arguments = QCoreApplication::arguments();
    StartNewInstance = [this] {
        QProcess::startDetached(QCoreApplication::applicationFilePath(), RestartArguments());
    };

    BindCommunication({ComPort, FEcho.get(), nullptr});
    StartMeasurements();
    appState().LogFile.OnStateChanged = [this](bool on) { ui->EnableLoggingMenu->setChecked(on); };

    ConnectHandlers();
    SetUpAccessibility(*this);
    ApplyControlTips(this);

    ui->CentralArea->installEventFilter(this);
    FOuterSize = size();
    setFixedSize(FOuterSize);
}

TMERO_App::~TMERO_App()
{
    UnbindCommunication();
    appState().LogFile.OnStateChanged = nullptr;
    delete ui;
}

void TMERO_App::ConnectHandlers()
{
    // Each handler receives its control as the sender.
    auto onTrigger = [this](QAction* action, void (TMERO_App::*handler)(QObject*)) {
        connect(action, &QAction::triggered, this,
                [this, action, handler] { (this->*handler)(action); });
    };
    onTrigger(ui->Exit1, &TMERO_App::Exit1Click);
    onTrigger(ui->Initialize1, &TMERO_App::Initialize1Click);
    onTrigger(ui->EnableLoggingMenu, &TMERO_App::EnableLoggingMenuClick);
    onTrigger(ui->About1, &TMERO_App::About1Click);
    onTrigger(ui->Measurements1, &TMERO_App::MeasurementsClick);

    connect(StatusTimer, &QTimer::timeout, this, [this] { StatusTimerTimer(StatusTimer); });
    connect(TaskTimer, &QTimer::timeout, this, [this] { TaskTimerTimer(TaskTimer); });

    auto onSpin = [this](TPlusSpinEdit* spin, void (TMERO_App::*handler)(QObject*)) {
        connect(spin, &TPlusSpinEdit::OnChange, this,
                [this, spin, handler] { (this->*handler)(spin); });
    };
    onSpin(ui->ISettingAdj, &TMERO_App::ISettingAdjChange);
    onSpin(ui->RepRateAdj, &TMERO_App::RepRateAdjChange);
    onSpin(ui->PulseWidthAdj, &TMERO_App::PulseWidthAdjChange);
    onSpin(ui->BurstCountAdj, &TMERO_App::BurstCountAdjChange);
    onSpin(ui->MaxCurrentAdj, &TMERO_App::MaxCurrentAdjChange);
    onSpin(ui->ComplianceVAdj, &TMERO_App::ComplianceVAdjChange);
    onSpin(ui->MaximumRateAdj, &TMERO_App::MaximumRateAdjChange);
    onSpin(ui->QSWDelayAdj, &TMERO_App::QSWDelayAdjChange);
    onSpin(ui->SpareAnalogOutAdj, &TMERO_App::SpareAnalogOutAdjChange);

    // A combo box's change is the operator's choice of an item; the program
    // setting the selection runs no handler.
    auto onCombo = [this](QComboBox* box, void (TMERO_App::*handler)(QObject*)) {
        connect(box, &QComboBox::activated, this, [this, box, handler] { (this->*handler)(box); });
    };
    onCombo(ui->PulseModeSel, &TMERO_App::PulseModeSelChange);
    onCombo(ui->TempFaultByp, &TMERO_App::TempFaultBypChange);
    onCombo(ui->IntlkCntrlByp, &TMERO_App::IntlkCntrlBypChange);
    onCombo(ui->PulseEnableOff, &TMERO_App::PulseEnableOffChange);
    onCombo(ui->StorageBinSel, &TMERO_App::StorageBinSelChange);
    onCombo(ui->ExtTrigSel, &TMERO_App::ExtTrigSelChange);
    onCombo(ui->SyncSettingSel, &TMERO_App::SyncSettingSelChange);

    auto onButton = [this](QPushButton* button, void (TMERO_App::*handler)(QObject*)) {
        connect(button, &QPushButton::clicked, this,
                [this, button, handler] { (this->*handler)(button); });
    };
    onButton(ui->SaveBin, &TMERO_App::SaveBinClick);
    onButton(ui->RecallBin, &TMERO_App::RecallBinClick);
    onButton(ui->Enablebtn, &TMERO_App::EnablebtnClick);
    onButton(ui->Startbtn, &TMERO_App::StartbtnClick);
    onButton(ui->Sendbtn, &TMERO_App::SendbtnClick);
    onButton(ui->Reload, &TMERO_App::ReloadClick);

    auto onRadio = [this](TRadioGroup* group, void (TMERO_App::*handler)(QObject*)) {
        connect(group, &TRadioGroup::OnClick, this,
                [this, group, handler] { (this->*handler)(group); });
    };
    onRadio(ui->QSWEnableGrp, &TMERO_App::QSWEnableGrpClick);
    onRadio(ui->IntrlkCntrlGrp, &TMERO_App::IntrlkCntrlGrpClick);

    for (QWidget* edit : {ui->SendEdit, ui->SNEdit, ui->BadgeEdit, ui->ConfigEdit})
        edit->installEventFilter(this);
    SetUpTerminal();
}

void TMERO_App::ApplyFonts()
{
    QFont controls = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    controls.setPixelSize(kControlFontPx);
    setFont(controls);
    QFont spin = controls;
    spin.setPixelSize(kSpinFontPx);
    for (TPlusSpinEdit* w : findChildren<TPlusSpinEdit*>())
        w->setFont(spin);
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
    FOuterSize = QSize(width, height);
    ApplyOuterSize();
}

void TMERO_App::ApplyOuterSize()
{
    // Before the window is shown, or without a window manager, the frame adds
    // nothing; once the frame is known the client area is shrunk to fit.
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize client = FOuterSize - frame;
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
    if (watched == ui->CentralArea && event->type() == QEvent::Resize) {
        FitBottomRow();
    } else if (event->type() == QEvent::KeyPress) {
        void (TMERO_App::*handler)(QObject*, QChar&) = nullptr;
        if (watched == ui->SendEdit)
            handler = &TMERO_App::SendEditKeyPress;
        else if (watched == ui->SNEdit)
            handler = &TMERO_App::SNEditKeyPress;
        else if (watched == ui->BadgeEdit)
            handler = &TMERO_App::BadgeEditKeyPress;
        else if (watched == ui->ConfigEdit)
            handler = &TMERO_App::ConfigEditKeyPress;
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (handler && !text.isEmpty()) {
            const QChar typed = text.front();
            QChar key = typed;
            (this->*handler)(watched, key);
            if (key.isNull())
                return true;
            if (key != typed) {
                static_cast<QLineEdit*>(watched)->insert(QString(key));
                return true;
            }
        }
    }
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
