// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrendChart.h"

#include "TrendPoints.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace
{
constexpr int kTop = 34;    // legend
constexpr int kBottom = 34; // time labels
constexpr double kMarkerY = 0.95;
} // namespace

TTrendChart::TTrendChart(const QString& leftTitle, const QString& rightTitle, QList<Line> lines,
                         bool limitsAndMarkers, QWidget* parent)
    : QChartView(parent), fTime(new QDateTimeAxis), fLeft(new QValueAxis), fRight(new QValueAxis),
      fLines(std::move(lines))
{
    auto* c = new QChart;
    setChart(c); // the view owns the chart, the chart its series and axes
    c->setAnimationOptions(QChart::NoAnimation);
    c->legend()->setAlignment(Qt::AlignTop);
    c->setMargins(QMargins(0, 0, 0, 0));
    c->layout()->setContentsMargins(0, 0, 0, 0);
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::HorizontalRubberBand);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);

    fTime->setFormat(QStringLiteral("HH:mm:ss"));
    fTime->setTitleText(QStringLiteral("Local time"));
    fTime->setTickCount(7);
    fLeft->setTitleText(leftTitle);
    fRight->setTitleText(rightTitle);
    for (QValueAxis* a : {fLeft, fRight}) {
        a->setLabelFormat(QStringLiteral("%g"));
        a->setTickCount(6);
    }
    c->addAxis(fTime, Qt::AlignBottom);
    c->addAxis(fLeft, Qt::AlignLeft);
    c->addAxis(fRight, Qt::AlignRight);

    auto attach = [&](QAbstractSeries* s, QAbstractAxis* y) {
        c->addSeries(s);
        s->attachAxis(fTime);
        s->attachAxis(y);
    };
    for (const Line& l : fLines) {
        auto* s = new QLineSeries;
        s->setName(l.Name);
        s->setPen(QPen(l.Colour, 1.5));
        attach(s, l.RightAxis ? fRight : fLeft);
        fSeries << s;
    }
    fCaches.resize(size_t(fLines.size()));
    if (limitsAndMarkers) {
        fMaxCurrent = new QLineSeries;
        fMaxCurrent->setName(QStringLiteral("Max current (A)"));
        fMaxCurrent->setPen(QPen(fLines.value(0).Colour, 1, Qt::DashLine));
        attach(fMaxCurrent, fLeft);
        fCompliance = new QLineSeries;
        fCompliance->setName(QStringLiteral("Compliance voltage (V)"));
        fCompliance->setPen(QPen(fLines.value(1).Colour, 1, Qt::DashLine));
        attach(fCompliance, fRight);

        // Markers sit near the top on an axis of their own, whatever the values.
        fMarkerAxis = new QValueAxis;
        fMarkerAxis->setRange(0, 1);
        c->addAxis(fMarkerAxis, Qt::AlignRight);
        fMarkerAxis->setVisible(false);
        auto makeMarkers = [&](const QString& name, const QColor& colour) {
            auto* m = new QScatterSeries;
            m->setName(name);
            m->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
            m->setMarkerSize(9);
            m->setColor(colour);
            m->setBorderColor(colour.darker(150));
            attach(m, fMarkerAxis);
            connect(m, &QScatterSeries::hovered, this, &TTrendChart::ShowMarkerTip);
            return m;
        };
        fCommands = makeMarkers(QStringLiteral("Commands"), QColor(40, 120, 40));
        fRefused = makeMarkers(QStringLiteral("Refused"), QColor(200, 40, 40));
    }

    connect(c, &QChart::plotAreaChanged, this, &TTrendChart::PlaceArea);
    connect(fTime, &QDateTimeAxis::rangeChanged, this, [this](QDateTime from, QDateTime to) {
        if (fSettingRange)
            return;
        // The rubber band or a scroll moved the time axis.
        Q_EMIT Navigated(from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch());
    });
}

int TTrendChart::PlotLeft() const
{
    return int(chart()->plotArea().left());
}

int TTrendChart::PlotRight() const
{
    return int(chart()->plotArea().right());
}

int TTrendChart::NamesWidth() const
{
    // Room for the longest lamp name of the strip below ("Interlock Control").
    return fontMetrics().horizontalAdvance(QStringLiteral("Interlock Control")) + 16;
}

void TTrendChart::PlaceArea()
{
    // The plot starts right of the strip's names; the chart's own layout
    // decides the rest, and the strip follows PlotAreaChanged.
    const QRectF area = chart()->plotArea();
    QMargins m = chart()->margins();
    const int missing = NamesWidth() - int(area.left());
    if (area.isValid() && missing != 0 && (missing > 0 || m.left() > 0)) {
        m.setLeft(std::max(0, m.left() + missing));
        chart()->setMargins(m);
        return;
    }
    Q_EMIT PlotAreaChanged();
}

int TTrendChart::PointCount(int line) const
{
    return line >= 0 && line < fSeries.size() ? int(fSeries[line]->count()) : 0;
}

void TTrendChart::SetAxisRange(QValueAxis* axis, double lo, double hi)
{
    // Readings that never go below 0 keep 0 as the axis' floor.
    const bool floorAtZero = lo >= 0;
    if (!(hi > lo)) {
        // One value (or none): a range around it that still shows it.
        const double pad = std::max(1.0, std::fabs(lo) * 0.1);
        lo -= pad;
        hi += pad;
    } else {
        const double pad = (hi - lo) * 0.08;
        lo -= pad;
        hi += pad;
    }
    if (floorAtZero)
        lo = 0;
    // Nice numbers keep the axis still while the data stays inside it; an
    // unchanged range costs no new labels.
    QValueAxis probe;
    probe.setTickCount(axis->tickCount());
    probe.setRange(lo, hi);
    probe.applyNiceNumbers();
    if (probe.min() != axis->min() || probe.max() != axis->max() ||
        probe.tickCount() != axis->tickCount()) {
        axis->setTickCount(probe.tickCount());
        axis->setRange(probe.min(), probe.max());
    }
}

void TTrendChart::Refresh(const TSampleStore& store, qint64 fromMs, qint64 toMs)
{
    fStore = &store;
    fFrom = fromMs;
    fTo = std::max(toMs, fromMs + 1000);
    const int buckets = std::max(50, (PlotRight() - PlotLeft()) / 2);
    double lo[2] = {0, 0}, hi[2] = {0, 0};
    bool any[2] = {false, false};
    auto widen = [&](int side, double v) {
        if (!any[side]) {
            lo[side] = hi[side] = v;
            any[side] = true;
        }
        lo[side] = std::min(lo[side], v);
        hi[side] = std::max(hi[side], v);
    };
    for (int i = 0; i < fLines.size(); ++i) {
        const QList<QPointF>& points =
            fCaches[size_t(i)].Update(store, fLines[i].Reading, fFrom, fTo, buckets);
        for (const QPointF& p : points)
            widen(fLines[i].RightAxis ? 1 : 0, p.y());
        if (fSeries[i]->points() != points)
            fSeries[i]->replace(points);
    }
    // Axes start at 0 for the measurements so a bar-like reading is honest.
    widen(0, 0);
    widen(1, 0);

    if (fMaxCurrent) {
        const TMeasureSample* newest = store.Newest();
        auto reference = [&](QLineSeries* s, double value, int side) {
            QList<QPointF> pts;
            if (newest && value > 0 && std::isfinite(value)) {
                const double v = TrendPoints::Clamp(value);
                pts << QPointF(double(fFrom), v) << QPointF(double(fTo), v);
                widen(side, v);
            }
            if (s->points() != pts)
                s->replace(pts);
        };
        reference(fMaxCurrent, newest ? newest->MaxCurrent : 0, 0);
        reference(fCompliance, newest ? newest->ComplianceVoltage : 0, 1);

        // One marker per pixel column at most (a burst of changes stays readable).
        QList<QPointF> ok, refused;
        const double perPixel = double(fTo - fFrom) / std::max(1, PlotRight() - PlotLeft());
        double lastOk = -1e300, lastRefused = -1e300;
        const auto& events = store.Events();
        auto it = std::lower_bound(events.begin(), events.end(), fFrom,
                                   [](const TJournalEvent& e, qint64 t) { return e.Ms < t; });
        for (; it != events.end() && it->Ms <= fTo; ++it) {
            const bool isRefused = it->Kind == TJournalEvent::evRefused;
            double& last = isRefused ? lastRefused : lastOk;
            if (double(it->Ms) - last < perPixel)
                continue;
            last = double(it->Ms);
            (isRefused ? refused : ok) << QPointF(double(it->Ms), kMarkerY);
        }
        if (fCommands->points() != ok)
            fCommands->replace(ok);
        if (fRefused->points() != refused)
            fRefused->replace(refused);
    }

    SetAxisRange(fLeft, lo[0], hi[0]);
    SetAxisRange(fRight, lo[1], hi[1]);
    const qint64 span = fTo - fFrom;
    const QString format = span > 2LL * 24 * 3600 * 1000 ? QStringLiteral("dd.MM. HH:mm")
                           : span > 10LL * 60 * 1000     ? QStringLiteral("HH:mm")
                                                         : QStringLiteral("HH:mm:ss");
    if (fTime->format() != format)
        fTime->setFormat(format);
    fSettingRange = true;
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(fFrom);
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(fTo);
    if (fTime->min() != from || fTime->max() != to)
        fTime->setRange(from, to);
    fSettingRange = false;
}

QStringList TTrendChart::MarkerTexts() const
{
    QStringList texts;
    if (!fStore)
        return texts;
    for (const TJournalEvent& e : fStore->Events()) {
        if (e.Ms >= fFrom && e.Ms <= fTo)
            texts << e.Summary();
    }
    return texts;
}

int TTrendChart::MarkerCount() const
{
    return fCommands ? int(fCommands->count() + fRefused->count()) : 0;
}

void TTrendChart::ShowMarkerTip(const QPointF& point, bool state)
{
    if (!state) {
        QToolTip::hideText();
        return;
    }
    // Every event within a few pixels of the marker, so a merged marker
    // still names each command.
    const double perPixel = double(fTo - fFrom) / std::max(1, PlotRight() - PlotLeft());
    QStringList lines;
    if (fStore) {
        const qint64 from = qint64(point.x() - 4 * perPixel);
        const auto& events = fStore->Events();
        auto it = std::lower_bound(events.begin(), events.end(), from,
                                   [](const TJournalEvent& e, qint64 t) { return e.Ms < t; });
        for (; it != events.end() && double(it->Ms) <= point.x() + 4 * perPixel; ++it)
            lines << QDateTime::fromMSecsSinceEpoch(it->Ms).toString(
                         QStringLiteral("HH:mm:ss.zzz")) +
                         QStringLiteral("  ") + it->Summary();
    }
    if (lines.size() > 12)
        lines = lines.mid(0, 12) << QStringLiteral("…");
    QToolTip::showText(QCursor::pos(), lines.join(QLatin1Char('\n')), this);
}

void TTrendChart::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0) {
        event->ignore();
        return;
    }
    const qint64 span = fTo - fFrom;
    qint64 from = fFrom, to = fTo;
    if (event->modifiers() & Qt::ControlModifier) {
        // Zoom around the pointer.
        const double factor = std::pow(0.8, steps);
        const double x = chart()->mapToValue(event->position(), fSeries.value(0)).x();
        from = qint64(x - (x - double(fFrom)) * factor);
        to = qint64(x + (double(fTo) - x) * factor);
        if (to - from < 2000)
            return;
    } else {
        const qint64 shift = qint64(double(span) * 0.1 * steps);
        from -= shift;
        to -= shift;
    }
    event->accept();
    Q_EMIT Navigated(from, to);
}

void TTrendChart::mouseMoveEvent(QMouseEvent* event)
{
    QChartView::mouseMoveEvent(event);
    if (chart()->plotArea().contains(event->position()) && !fSeries.isEmpty())
        Q_EMIT Hovered(qint64(chart()->mapToValue(event->position(), fSeries[0]).x()));
    else
        Q_EMIT Left();
}

void TTrendChart::mouseReleaseEvent(QMouseEvent* event)
{
    // A right click would zoom out by the chart's own step: go back to the
    // whole span the window chose instead (the window decides on Navigated).
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void TTrendChart::leaveEvent(QEvent* event)
{
    QChartView::leaveEvent(event);
    Q_EMIT Left();
}
