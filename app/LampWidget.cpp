// SPDX-License-Identifier: GPL-3.0-or-later
#include "LampWidget.h"

#include "LampAccessible.h"

#include <QPainter>

TLamp::TLamp(QWidget* parent) : QWidget(parent)
{
    LampAccessibility::Attach(this);
}

void TLamp::setLit(bool lit)
{
    if (lit == m_lit)
        return;
    m_lit = lit;
    update();
    Q_EMIT litChanged(lit);
}

QColor TLamp::fillColor() const
{
    return m_lit ? QColor(255, 0, 0) : QColor(255, 255, 255);
}

void TLamp::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 0, 0), 1));
    p.setBrush(fillColor());
    // Keep the circle inside the widget whatever size the form gives it.
    const int d = qMin(width(), height()) - 1;
    p.drawEllipse(QRectF(0.5, 0.5, d, d));
}
