// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasureWindow.h"

#include "CsvExport.h"
#include "MeasureSession.h"
#include "StatusStrip.h"
#include "TrendChart.h"
#include "UserPrompts.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

namespace
{
const QColor kCurrentColour(20, 90, 200);
const QColor kVoltageColour(200, 110, 0);

QString SizeText(qint64 bytes)
{
    const QLocale c = QLocale::c();
    if (bytes < 10 * 1024)
        return c.toString(bytes) + QStringLiteral(" bytes");
    if (bytes < 10 * 1024 * 1024)
        return c.toString(double(bytes) / 1024, 'f', 1) + QStringLiteral(" KiB");
    return c.toString(double(bytes) / (1024 * 1024), 'f', 1) + QStringLiteral(" MiB");
}

// A tab page: the trend above its strip.
QWidget* Page(TTrendChart* trend, TStatusStrip* strip)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->setSpacing(0);
    layout->addWidget(trend, 1);
    layout->addWidget(strip);
    return page;
}

QString Reading(const TMeasureSample& s, TReadingId id, const char* unit)
{
    if (!s.Has(id))
        return s.States[id] == rsNotAsked ? QString() : QStringLiteral("—");
    return QString::number(s.Values[id], 'g', 6) + QLatin1String(unit);
}
} // namespace

TMeasureWindow::TMeasureWindow(TMeasureSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), fSession(session)
{
    setWindowTitle(QStringLiteral("MERO Measurements"));
    resize(1000, 640);

    AskFileName = [this](const QString& caption, const QString& suggested) {
        return QFileDialog::getSaveFileName(this, caption, suggested,
                                            QStringLiteral("CSV files (*.csv);;All files (*)"));
    };

    // Tool row: spans, follow, record, export.
    auto* tools = new QHBoxLayout;
    fSpans = new QButtonGroup(this);
    const char* spanNames[] = {"1 min", "10 min", "1 h", "All"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromLatin1(spanNames[i]));
        b->setCheckable(true);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        fSpans->addButton(b, i);
        tools->addWidget(b);
    }
    fSpans->button(fSpan)->setChecked(true);
    connect(fSpans, &QButtonGroup::idClicked, this, [this](int id) { SetSpan(TSpan(id)); });
    fFollow = new QPushButton(QStringLiteral("&Follow Newest"), this);
    fFollow->setToolTip(QStringLiteral("Show the newest samples again (scrolling or zooming "
                                       "stops following)"));
    connect(fFollow, &QPushButton::clicked, this, &TMeasureWindow::Follow);
    tools->addSpacing(8);
    tools->addWidget(fFollow);
    tools->addStretch(1);
    fRecord = new QPushButton(QStringLiteral("&Record…"), this);
    connect(fRecord, &QPushButton::clicked, this, &TMeasureWindow::RecordClick);
    fExportButton = new QPushButton(QStringLiteral("&Export…"), this);
    fExportButton->setToolTip(QStringLiteral("Write every sample and event of this session to a "
                                             "CSV file"));
    connect(fExportButton, &QPushButton::clicked, this, &TMeasureWindow::ExportClick);
    tools->addWidget(fRecord);
    tools->addWidget(fExportButton);

    fRecordState = new QLabel(this);
    fRecordState->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fReadOut = new QLabel(this);
    fReadOut->setTextFormat(Qt::PlainText);
    fReadOut->setMinimumHeight(fReadOut->fontMetrics().height() + 4);

    // Trend of current and voltage, status strip under it.
    fTrend = new TTrendChart(QStringLiteral("Current (A)"), QStringLiteral("Voltage (V)"),
                             {{QStringLiteral("Current (A)"), rdCurrent, false, kCurrentColour},
                              {QStringLiteral("Voltage (V)"), rdVoltage, true, kVoltageColour}},
                             true);
    QList<TStatusStrip::Row> rows;
    for (const TStatusBitInfo& b : kStatusBits)
        rows << TStatusStrip::Row{QString::fromLatin1(b.Caption), QColor::fromRgb(b.StripRgb)};
    rows << TStatusStrip::Row{QStringLiteral("No reply"), QColor(60, 60, 60)};
    fStrip = new TStatusStrip(rows, [](const TMeasureSample& s) {
        quint32 bits = 0;
        for (size_t i = 0; i < kStatusBits.size(); ++i) {
            if (s.StatusBit(kStatusBits[i].Bit))
                bits |= 1u << i;
        }
        for (int r = 0; r < rdCount; ++r) {
            if (s.States[r] != rsNotAsked && s.States[r] != rsValue) {
                bits |= 1u << kStatusBits.size();
                break;
            }
        }
        return bits;
    });
    fStrip->SetStore(&fSession.Store());

    // Extended readings (configuration code 1).
    fExtended = new TTrendChart(
        QStringLiteral("Thermistor (as read)"), QStringLiteral("Analog in (as read)"),
        {{QStringLiteral("Thermistor A"), rdThermistorA, false, QColor(180, 40, 40)},
         {QStringLiteral("Thermistor B"), rdThermistorB, false, QColor(40, 130, 160)},
         {QStringLiteral("PhotoDiode"), rdPhotoDiode, true, QColor(120, 60, 170)},
         {QStringLiteral("Spare Analog In"), rdSpareAnalogIn, true, QColor(90, 140, 40)}},
        false);
    fSpareStrip = new TStatusStrip({{QStringLiteral("Spare In 1"), QColor(60, 160, 60)},
                                    {QStringLiteral("Spare In 2"), QColor(20, 110, 200)},
                                    {QStringLiteral("Spare In 3"), QColor(220, 30, 30)}},
                                   [](const TMeasureSample& s) {
                                       quint32 bits = 0;
                                       for (int i = 0; i < 3; ++i) {
                                           if (s.Has(TReadingId(rdSpareIn1 + i)) &&
                                               s.Values[rdSpareIn1 + i] > 0)
                                               bits |= 1u << i;
                                       }
                                       return bits;
                                   });
    fSpareStrip->SetStore(&fSession.Store());

    fTabs = new QTabWidget(this);
    fTabs->addTab(Page(fTrend, fStrip), QStringLiteral("Current and Voltage"));
    fTabs->addTab(Page(fExtended, fSpareStrip), QStringLiteral("VRX Readings"));
    connect(fTabs, &QTabWidget::currentChanged, this, &TMeasureWindow::ScheduleRefresh);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(fRecordState);
    layout->addWidget(fReadOut);
    layout->addWidget(fTabs, 1);

    for (TTrendChart* t : {fTrend, fExtended}) {
        connect(t, &TTrendChart::PlotAreaChanged, this, &TMeasureWindow::AlignStrips);
        connect(t, &TTrendChart::Navigated, this, &TMeasureWindow::Navigate);
        connect(t, &TTrendChart::Hovered, this, &TMeasureWindow::ShowReadOut);
        connect(t, &TTrendChart::Left, fReadOut, [this] { fReadOut->setText(QString()); });
    }

    fRefresh.setSingleShot(true);
    fRefresh.setInterval(0);
    connect(&fRefresh, &QTimer::timeout, this, &TMeasureWindow::RefreshNow);
    connect(&fSession, &TMeasureSession::SampleAdded, this, &TMeasureWindow::ScheduleRefresh);
    connect(&fSession, &TMeasureSession::EventAdded, this, &TMeasureWindow::ScheduleRefresh);
    connect(&fSession, &TMeasureSession::RecordingChanged, this, &TMeasureWindow::ShowRecordState);
    ShowRecordState();
}

TMeasureWindow::~TMeasureWindow() = default;

qint64 TMeasureWindow::SpanMs() const
{
    switch (fSpan) {
    case spMinute:
        return 60 * 1000;
    case spTenMinutes:
        return 10 * 60 * 1000;
    case spHour:
        return 60 * 60 * 1000;
    case spAll:
        break;
    }
    const TSampleStore& store = fSession.Store();
    return std::max<qint64>(60 * 1000, store.LastMs() - store.FirstMs());
}

void TMeasureWindow::SetSpan(TSpan span)
{
    fSpan = span;
    if (QAbstractButton* b = fSpans->button(span))
        b->setChecked(true);
    if (!fFollowing) {
        // Keep the right edge where the operator left it.
        fFrom = fTo - SpanMs();
        if (span == spAll) {
            fFollowing = true;
        }
    }
    RefreshNow();
}

void TMeasureWindow::Follow()
{
    fFollowing = true;
    RefreshNow();
}

void TMeasureWindow::Navigate(qint64 fromMs, qint64 toMs)
{
    if (toMs - fromMs < 1000)
        return;
    fFollowing = false;
    fFrom = fromMs;
    fTo = toMs;
    RefreshNow();
}

void TMeasureWindow::ScheduleRefresh()
{
    // Closed (hidden), the window costs a poll nothing; showing it redraws.
    if (fRecord)
        ShowRecordState();
    if (isVisible() && !fRefresh.isActive())
        fRefresh.start();
}

void TMeasureWindow::RefreshNow()
{
    fRefresh.stop();
    const TSampleStore& store = fSession.Store();
    if (fFollowing) {
        const qint64 now = store.Empty() ? QDateTime::currentMSecsSinceEpoch() : store.LastMs();
        if (fSpan == spAll && !store.Empty()) {
            // The right edge moves in steps of about 1/64 of the span, so a
            // long session's axis (and its labels) stays put for many polls.
            fFrom = store.FirstMs();
            qint64 step = 1000;
            while (step * 64 < now - fFrom)
                step *= 2;
            fTo = std::max((now / step + 1) * step, fFrom + 60 * 1000);
        } else {
            fTo = now;
            fFrom = now - SpanMs();
        }
    }
    fFollow->setEnabled(!fFollowing);
    // Only the page in view is drawn; the other catches up when shown.
    if (fTabs->currentIndex() == 0) {
        fTrend->Refresh(store, fFrom, fTo);
        fStrip->SetRange(fFrom, fTo);
        fStrip->NewestChanged();
    } else {
        fExtended->Refresh(store, fFrom, fTo);
        fSpareStrip->SetRange(fFrom, fTo);
        fSpareStrip->NewestChanged();
    }
    AlignStrips();
}

void TMeasureWindow::AlignStrips()
{
    fStrip->SetPlotColumns(fTrend->PlotLeft(), fTrend->PlotRight());
    fSpareStrip->SetPlotColumns(fExtended->PlotLeft(), fExtended->PlotRight());
}

void TMeasureWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The plots are filled in the next pass of the event loop: opening the
    // window and drawing a day of samples never hold up a poll together.
    ScheduleRefresh();
}

void TMeasureWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    AlignStrips();
}

void TMeasureWindow::ShowReadOut(qint64 ms)
{
    const TMeasureSample* s = fSession.Store().Nearest(ms);
    if (!s) {
        fReadOut->setText(QString());
        return;
    }
    QString text = QDateTime::fromMSecsSinceEpoch(s->Ms).toString(QStringLiteral("HH:mm:ss.zzz"));
    if (fTabs->currentIndex() == 0) {
        text += QStringLiteral("   Current: ") + Reading(*s, rdCurrent, " A") +
                QStringLiteral("   Voltage: ") + Reading(*s, rdVoltage, " V");
        if (s->Has(rdStatusWord)) {
            const QStringList on = fStrip->OnAt(*s);
            text += QStringLiteral("   Status: ") +
                    QString::number(qint64(s->Values[rdStatusWord])) + QStringLiteral(" (") +
                    (on.isEmpty() ? QStringLiteral("no lamp") : on.join(QStringLiteral(", "))) +
                    QLatin1Char(')');
        } else {
            text += QStringLiteral("   Status: —");
        }
    } else if (s->Extended()) {
        text += QStringLiteral("   Thermistor A: ") + Reading(*s, rdThermistorA, "") +
                QStringLiteral("   Thermistor B: ") + Reading(*s, rdThermistorB, "") +
                QStringLiteral("   PhotoDiode: ") + Reading(*s, rdPhotoDiode, "") +
                QStringLiteral("   Spare Analog In: ") + Reading(*s, rdSpareAnalogIn, "") +
                QStringLiteral("   Spare In: ") + Reading(*s, rdSpareIn1, "") + QLatin1Char('/') +
                Reading(*s, rdSpareIn2, "") + QLatin1Char('/') + Reading(*s, rdSpareIn3, "");
    } else {
        text += QStringLiteral("   no extended readings (basic unit)");
    }
    fReadOut->setText(text);
}

void TMeasureWindow::ShowRecordState()
{
    if (fSession.Recording()) {
        fRecord->setText(QStringLiteral("&Stop Recording"));
        fRecordState->setText(
            QStringLiteral("Recording to ") + QDir::toNativeSeparators(fSession.RecordingPath()) +
            QStringLiteral("  (") + SizeText(fSession.RecordingSize()) + QLatin1Char(')'));
    } else {
        fRecord->setText(QStringLiteral("&Record…"));
        if (!fExport)
            fRecordState->setText(QStringLiteral("Not recording"));
    }
}

void TMeasureWindow::RecordClick()
{
    if (fSession.Recording()) {
        fSession.StopRecording();
        return;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString path =
        AskFileName(QStringLiteral("Record Measurements"),
                    QStringLiteral("MERO-recording-") + stamp + QStringLiteral(".csv"));
    if (path.isEmpty())
        return;
    QString error;
    if (!fSession.StartRecording(path, &error))
        UserPrompts().Warning(error);
}

void TMeasureWindow::ExportClick()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString path =
        AskFileName(QStringLiteral("Export Measurements"),
                    QStringLiteral("MERO-export-") + stamp + QStringLiteral(".csv"));
    if (!path.isEmpty())
        StartExport(path);
}

bool TMeasureWindow::StartExport(const QString& path)
{
    if (fExport && fExport->Running())
        return false;
    // The export belongs to the session: it goes on when the window closes.
    auto* exporter = new TCsvExport(&fSession);
    QString error;
    if (!exporter->Start(path, fSession.Store(), fSession.StartMs(), &error)) {
        delete exporter;
        UserPrompts().Warning(error);
        return false;
    }
    fExport = exporter;
    fExportButton->setEnabled(false);
    const int total = exporter->Total();
    connect(exporter, &TCsvExport::Progress, this, [this, path](int done, int all) {
        fRecordState->setText(QStringLiteral("Exporting to ") + QDir::toNativeSeparators(path) +
                              QStringLiteral(": ") + QString::number(done) +
                              QStringLiteral(" of ") + QString::number(all) +
                              QStringLiteral(" rows"));
    });
    connect(exporter, &TCsvExport::Finished, this, [this, path, total](bool ok, const QString&) {
        fExportButton->setEnabled(true);
        if (ok)
            fRecordState->setText(QStringLiteral("Exported ") + QString::number(total) +
                                  QStringLiteral(" rows to ") + QDir::toNativeSeparators(path));
        else
            ShowRecordState();
    });
    // The failure message and the clean-up do not depend on the window.
    connect(exporter, &TCsvExport::Finished, &fSession, [exporter](bool ok, const QString& msg) {
        exporter->deleteLater();
        if (!ok)
            UserPrompts().Warning(msg);
    });
    return true;
}
