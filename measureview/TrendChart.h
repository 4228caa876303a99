// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SampleStore.h"
#include "TrendPoints.h"

#include <QChartView>
#include <QColor>
#include <QList>

#include <vector>

class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// A trend of some readings over time: a time axis, a left and a right value
// axis, one line per reading, optional reference lines for the set-up
// limits and optional journal markers (tooltip: the command and its reply).
//
// The plot area leaves room for the status strip's names on its left, and
// PlotAreaChanged tells the strip under it where the time axis lies. The operator zooms with
// a horizontal rubber band or Ctrl+wheel and scrolls with the wheel; each
// such move is reported as Navigated, so the window stops following.
class TTrendChart : public QChartView
{
    Q_OBJECT

public:
    struct Line {
        QString Name;
        TReadingId Reading;
        bool RightAxis;
        QColor Colour;
    };

    TTrendChart(const QString& leftTitle, const QString& rightTitle, QList<Line> lines,
                bool limitsAndMarkers, QWidget* parent = nullptr);

    // Redraws from the store over [fromMs, toMs].
    void Refresh(const TSampleStore& store, qint64 fromMs, qint64 toMs);
    int PlotLeft() const;
    int PlotRight() const; // x of the plot area's right edge

    QValueAxis* LeftAxis() const { return fLeft; }
    QValueAxis* RightAxis() const { return fRight; }
    QDateTimeAxis* TimeAxis() const { return fTime; }
    // Journal texts of the events in the range shown, oldest first.
    QStringList MarkerTexts() const;
    int MarkerCount() const;
    int PointCount(int line) const;

Q_SIGNALS:
    void Navigated(qint64 fromMs, qint64 toMs);
    void Hovered(qint64 ms);
    void Left();
    void PlotAreaChanged();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void PlaceArea();
    int NamesWidth() const;
    void SetAxisRange(QValueAxis* axis, double lo, double hi);
    void ShowMarkerTip(const QPointF& point, bool state);

    QDateTimeAxis* fTime;
    QValueAxis* fLeft;
    QValueAxis* fRight;
    QValueAxis* fMarkerAxis = nullptr;
    QList<Line> fLines;
    QList<QLineSeries*> fSeries;
    std::vector<TrendPoints::TCache> fCaches;
    QLineSeries* fMaxCurrent = nullptr;
    QLineSeries* fCompliance = nullptr;
    QScatterSeries* fCommands = nullptr;
    QScatterSeries* fRefused = nullptr;
    const TSampleStore* fStore = nullptr;
    qint64 fFrom = 0;
    qint64 fTo = 1;
    bool fSettingRange = false;
};
