// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <QPixmap>

// One arrow button of the spin edit: a small bevelled button showing one glyph. It never
// takes the focus. While the left button is held, isDown() tells whether the pointer is
// still on it. Every press and release is reported, whatever the mouse button, and never
// passed on to the parent.
class TSpinArrowButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit TSpinArrowButton(QWidget* parent);

    void SetGlyph(const QPixmap& glyph);
    const QPixmap& Glyph() const { return fGlyph; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void ButtonMouseDown(Qt::MouseButton button);
    void ButtonMouseUp(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap fGlyph;
};
