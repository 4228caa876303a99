// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>

// A status lamp: a 17 x 17 circle with a red outline, filled red when lit and
// white when not. Lamps start unlit; only the status poll changes them.
class TLamp : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool lit READ isLit WRITE setLit NOTIFY litChanged)

public:
    explicit TLamp(QWidget* parent = nullptr);

    bool isLit() const { return m_lit; }
    void setLit(bool lit);

    // The colour the circle is filled with right now.
    QColor fillColor() const;

    QSize sizeHint() const override { return {17, 17}; }
    QSize minimumSizeHint() const override { return {17, 17}; }

Q_SIGNALS:
    void litChanged(bool lit);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_lit = false;
};
