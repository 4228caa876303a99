// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the spin edit in the main window's configurations, focused and unfocused, into
// a PNG (and a 4x enlargement next to it) for checking the drawing by eye.
//   spinedit-shot <out.png>
#include "plussped.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QTest>

#include <functional>

namespace
{

struct Shot {
    QString caption;
    std::function<void(TPlusSpinEdit&)> setUp;
    bool focused;
};

QImage Render(const Shot& shot)
{
    QWidget w;
    w.setAutoFillBackground(true);
    w.resize(420, 34);
    auto* label = new QLabel(shot.caption, &w);
    label->setGeometry(6, 0, 240, 34);
    auto* spin = new TPlusSpinEdit(&w);
    spin->move(250, 6);
    shot.setUp(*spin);
    w.show();
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w))
        qWarning("window did not become active");
    if (shot.focused)
        spin->setFocus();
    else
        label->setFocus();
    QApplication::processEvents();
    return w.grab().toImage();
}

void MainCurrent(TPlusSpinEdit& s)
{
    s.SetAutoSize(false);
    s.SetBounds(s.x(), s.y(), 89, 21);
    s.SetDecimals(2);
    s.SetIncrement(0.01);
    s.SetLeadingDigits(3);
    s.SetMaxValue(150);
    s.AssignValue(12.34);
}

void PulseWidth(TPlusSpinEdit& s)
{
    s.SetDecimals(7);
    s.SetIncrement(0.0000001);
    s.SetThousandSeparator(",");
    s.SetBounds(s.x(), s.y(), 120, 21);
    s.AssignValue(0.0000125);
    s.SelectDigit(-5);
}

void QswDelay(TPlusSpinEdit& s)
{
    s.SetAutoSize(false);
    s.SetBounds(s.x(), s.y(), 120, 21);
    s.SetDecimals(7);
    s.SetIncrement(0.0000002);
    s.SetMinValue(-0.0061);
    s.SetMaxValue(0.0061);
    s.SetThousandSeparator(",");
    s.AssignValue(-0.0012346);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("spinedit.png");

    const QList<Shot> shots = {
        {"2 decimals, 3 leading digits", MainCurrent, false},
        {"  focused, last digit", MainCurrent, true},
        {"  focused, hundreds (placeholders)",
         [](TPlusSpinEdit& s) {
             MainCurrent(s);
             s.SelectDigit(2);
         },
         true},
        {"7 decimals, \",\"", PulseWidth, false},
        {"  focused", PulseWidth, true},
        {"7 decimals, \",\", limits +-0.0061",
         [](TPlusSpinEdit& s) {
             QswDelay(s);
             s.SelectDigit(-3);
         },
         true},
        {"disabled",
         [](TPlusSpinEdit& s) {
             MainCurrent(s);
             s.SetEnabled(false);
         },
         false},
        {"  disabled, focused by Tab",
         [](TPlusSpinEdit& s) {
             MainCurrent(s);
             s.SetEnabled(false);
         },
         true},
        {"disabled, 7 decimals",
         [](TPlusSpinEdit& s) {
             PulseWidth(s);
             s.SetEnabled(false);
         },
         false},
    };

    QList<QImage> rows;
    int height = 0;
    int width = 0;
    for (const Shot& shot : shots) {
        rows << Render(shot);
        height += rows.back().height();
        width = std::max(width, rows.back().width());
    }
    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    int y = 0;
    for (const QImage& row : rows) {
        p.drawImage(0, y, row);
        y += row.height();
    }
    p.end();
    if (!sheet.save(out))
        return 1;
    QString zoomed = out;
    zoomed.replace(QStringLiteral(".png"), QStringLiteral("-4x.png"));
    sheet.scaled(sheet.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(zoomed);
    return 0;
}
