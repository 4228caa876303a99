// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasureBar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>

TMeasureBar::TMeasureBar(QWidget* parent) : QProgressBar(parent)
{
    setTextVisible(false);
}

void TMeasureBar::SetMax(int maximum)
{
    setRange(0, qMax(0, maximum));
    // The reading stays what it was; only how much of the bar it fills changes.
    setValue(qBound(0, m_position, this->maximum()));
}

void TMeasureBar::SetPosition(int position)
{
    m_position = position;
    setValue(qBound(0, position, maximum()));
}

void TMeasureBar::paintEvent(QPaintEvent* event)
{
    if (maximum() > minimum()) {
        QProgressBar::paintEvent(event);
        return;
    }
    // Equal limits would make the style animate a busy indicator.
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.minimum = 0;
    option.maximum = 1;
    option.progress = 0;
    painter.drawControl(QStyle::CE_ProgressBar, option);
}
