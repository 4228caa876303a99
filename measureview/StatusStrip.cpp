// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusStrip.h"

#include <QPainter>

#include <cmath>

namespace
{
// A band ends when the next sample is this much later (a lost port, a
// silent unit): it never pretends a lamp stayed on through the gap.
constexpr qint64 kMaxGapMs = 5000;
} // namespace

TStatusStrip::TStatusStrip(QList<Row> rows, TBits bits, QWidget* parent)
    : QWidget(parent), fRows(std::move(rows)), fBits(std::move(bits))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TStatusStrip::SetPlotColumns(int left, int right)
{
    if (left == fLeft && right == fRight)
        return;
    fLeft = left;
    fRight = right;
    update();
}

void TStatusStrip::SetRange(qint64 fromMs, qint64 toMs)
{
    toMs = std::max(toMs, fromMs + 1);
    if (fromMs == fFrom && toMs == fTo)
        return;
    fFrom = fromMs;
    fTo = toMs;
    update();
}

void TStatusStrip::NewestChanged()
{
    const TMeasureSample* newest = fStore ? fStore->Newest() : nullptr;
    if (!newest)
        return;
    const double perMs = double(std::max(1, fRight - fLeft)) / double(fTo - fFrom);
    const auto column = [&](qint64 ms) { return qint64(std::floor(double(ms - fFrom) * perMs)); };
    if (fPaintedNewestMs < 0 || column(newest->Ms) != column(fPaintedNewestMs) ||
        fBits(*newest) != fPaintedNewestBits)
        update();
}

QStringList TStatusStrip::OnAt(const TMeasureSample& sample) const
{
    QStringList names;
    const quint32 bits = fBits(sample);
    for (int r = 0; r < fRows.size(); ++r) {
        if ((bits >> r) & 1)
            names << fRows[r].Name;
    }
    return names;
}

int TStatusStrip::RowHeight() const
{
    return fontMetrics().height() + 2;
}

QSize TStatusStrip::sizeHint() const
{
    return QSize(400, RowHeight() * int(fRows.size()) + 2);
}

void TStatusStrip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int h = RowHeight();
    const int plotWidth = std::max(1, fRight - fLeft);
    const double perMs = double(plotWidth) / double(fTo - fFrom);
    auto xOf = [&](qint64 ms) {
        return fLeft + int(std::clamp(double(ms - fFrom) * perMs, -1.0, double(plotWidth) + 1));
    };

    for (int r = 0; r < fRows.size(); ++r) {
        const QRect row(fLeft, 1 + r * h, plotWidth, h - 2);
        p.fillRect(row, r % 2 ? QColor(244, 244, 244) : QColor(236, 236, 236));
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(0, 1 + r * h, fLeft - 6, h - 2), Qt::AlignRight | Qt::AlignVCenter,
                   fRows[r].Name);
    }
    if (!fStore)
        return;
    if (const TMeasureSample* newest = fStore->Newest()) {
        fPaintedNewestMs = newest->Ms;
        fPaintedNewestBits = fBits(*newest);
    }

    // Run-length: one rectangle per band, however many samples it spans.
    std::vector<qint64> runStart(size_t(fRows.size()), -1);
    qint64 previousMs = -1;
    auto close = [&](int r, qint64 endMs) {
        if (runStart[size_t(r)] < 0)
            return;
        const int x0 = xOf(runStart[size_t(r)]);
        const int x1 = std::max(x0 + 1, xOf(endMs));
        p.fillRect(QRect(x0, 2 + r * h, x1 - x0, h - 4), fRows[r].Colour);
        runStart[size_t(r)] = -1;
    };
    quint32 last = 0;
    fStore->ForEach(fFrom - kMaxGapMs, fTo, [&](const TMeasureSample& s) {
        const bool gap = previousMs >= 0 && s.Ms - previousMs > kMaxGapMs;
        const quint32 bits = fBits(s);
        if (gap || bits != last) {
            for (int r = 0; r < fRows.size(); ++r) {
                if (gap)
                    close(r, previousMs + 1000);
                const bool on = (bits >> r) & 1;
                if (on && runStart[size_t(r)] < 0)
                    runStart[size_t(r)] = s.Ms;
                else if (!on)
                    close(r, s.Ms);
            }
            last = bits;
        }
        previousMs = s.Ms;
    });
    for (int r = 0; r < fRows.size(); ++r)
        close(r, previousMs + 1000);
}
