// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CsvExport.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QPushButton;
class QTabWidget;
class TMeasureSession;
class TStatusStrip;
class TTrendChart;

// The window "MERO Measurements": the trend of current and voltage with the
// set-up limits, a strip of the status lamps, markers for the journal, a tab
// for the extended readings, and recording/export to CSV.
//
// It only listens to the session, which keeps collecting while the window
// is closed; closing only hides it, so opening it again costs one redraw. Redraws are coalesced:
// any number of samples arriving in one pass of the event loop cost one redraw. While following,
// the time axis ends at the newest sample; scrolling or zooming stops following until "Follow
// Newest" is pressed.
class TMeasureWindow : public QWidget
{
    Q_OBJECT

public:
    enum TSpan { spMinute, spTenMinutes, spHour, spAll };

    explicit TMeasureWindow(TMeasureSession& session, QWidget* parent = nullptr);
    ~TMeasureWindow() override;

    void SetSpan(TSpan span);
    TSpan Span() const { return fSpan; }
    bool Following() const { return fFollowing; }
    void Follow();
    // The time range shown (ms since the epoch).
    qint64 FromMs() const { return fFrom; }
    qint64 ToMs() const { return fTo; }
    // Redraws now (the coalesced redraw otherwise runs from the event loop).
    void RefreshNow();

    // Start/stop recording and export; the buttons ask for the file with
    // AskFileName (replaceable in tests; empty = cancelled).
    std::function<QString(const QString& caption, const QString& suggested)> AskFileName;
    void RecordClick();
    void ExportClick();
    bool StartExport(const QString& path);

    TTrendChart* Trend() const { return fTrend; }
    TTrendChart* ExtendedTrend() const { return fExtended; }
    TStatusStrip* Strip() const { return fStrip; }
    QLabel* ReadOut() const { return fReadOut; }
    QLabel* RecordState() const { return fRecordState; }
    QPushButton* RecordButton() const { return fRecord; }
    QTabWidget* Tabs() const { return fTabs; }
    TCsvExport* Export() const { return fExport; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ScheduleRefresh();
    void Navigate(qint64 fromMs, qint64 toMs);
    void ShowReadOut(qint64 ms);
    void ShowRecordState();
    void AlignStrips();
    qint64 SpanMs() const;

    TMeasureSession& fSession;
    TTrendChart* fTrend;
    TTrendChart* fExtended;
    TStatusStrip* fStrip;
    TStatusStrip* fSpareStrip;
    QTabWidget* fTabs;
    QButtonGroup* fSpans;
    QPushButton* fFollow;
    QPushButton* fRecord;
    QPushButton* fExportButton;
    QLabel* fReadOut;
    QLabel* fRecordState;
    QPointer<TCsvExport> fExport;
    QTimer fRefresh;
    TSpan fSpan = spTenMinutes;
    bool fFollowing = true;
    qint64 fFrom = 0;
    qint64 fTo = 0;
};
