// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SampleStore.h"

#include <QColor>
#include <QList>
#include <QWidget>

#include <functional>

// Rows of coloured bands under a trend: row r is on where bit r of Bits(sample)
// is set, from that sample to the next (a gap of more than a few polls ends a
// band). One call per sample serves every row, so a day of samples paints
// in about a millisecond. The row names stand left of the plot; the plot columns are
// the ones the chart above uses (SetPlotColumns), so bands line up with it.
class TStatusStrip : public QWidget
{
    Q_OBJECT

public:
    struct Row {
        QString Name;
        QColor Colour;
    };
    using TBits = std::function<quint32(const TMeasureSample&)>;

    TStatusStrip(QList<Row> rows, TBits bits, QWidget* parent = nullptr);

    void SetStore(const TSampleStore* store) { fStore = store; }
    void SetPlotColumns(int left, int right);
    void SetRange(qint64 fromMs, qint64 toMs);
    // A sample arrived: repaints only when it changes what is drawn (a new
    // pixel column or other bits than the newest one drawn).
    void NewestChanged();
    int RowCount() const { return int(fRows.size()); }
    // Names of the rows that are on at time ms (hover read-out).
    QStringList OnAt(const TMeasureSample& sample) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int RowHeight() const;

    QList<Row> fRows;
    TBits fBits;
    const TSampleStore* fStore = nullptr;
    int fLeft = 0;
    int fRight = 0;
    qint64 fFrom = 0;
    qint64 fTo = 1;
    qint64 fPaintedNewestMs = -1;
    quint32 fPaintedNewestBits = 0;
};
