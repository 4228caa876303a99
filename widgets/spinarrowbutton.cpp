// SPDX-License-Identifier: GPL-3.0-or-later
#include "spinarrowbutton.h"

#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

TSpinArrowButton::TSpinArrowButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoRepeat(false);
}

void TSpinArrowButton::SetGlyph(const QPixmap& glyph)
{
    fGlyph = glyph;
    update();
}

QSize TSpinArrowButton::sizeHint() const
{
    return fGlyph.size() + QSize(6, 4);
}

void TSpinArrowButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QBrush face = palette().brush(QPalette::Button);
    qDrawWinButton(&p, rect(), palette(), isDown(), &face);
    if (fGlyph.isNull())
        return;
    // A pressed button shows its glyph one pixel down and right, like a pushed key.
    const int shift = isDown() ? 1 : 0;
    const int x = (width() - fGlyph.width()) / 2 + shift;
    const int y = (height() - fGlyph.height()) / 2 + shift;
    p.drawPixmap(x, y, fGlyph);
}

void TSpinArrowButton::mousePressEvent(QMouseEvent* event)
{
    QAbstractButton::mousePressEvent(event);
    event->accept();
    Q_EMIT ButtonMouseDown(event->button());
}

void TSpinArrowButton::mouseReleaseEvent(QMouseEvent* event)
{
    QAbstractButton::mouseReleaseEvent(event);
    event->accept();
    Q_EMIT ButtonMouseUp(event->button());
}
