// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A dark desktop palette (as Fusion dark themes give) and the contrast measure by which the
// theme tests judge readability.

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>

#include <algorithm>
#include <cmath>

inline QPalette DarkPalette()
{
    QPalette p;
    const QColor window(53, 53, 53), base(35, 35, 35), text(230, 230, 230);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::AlternateBase, window);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::Button, window);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::Highlight, QColor(42, 130, 218));
        p.setColor(group, QPalette::HighlightedText, Qt::black);
        p.setColor(group, QPalette::ToolTipBase, base);
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::Light, QColor(90, 90, 90));
        p.setColor(group, QPalette::Midlight, QColor(70, 70, 70));
        p.setColor(group, QPalette::Mid, QColor(40, 40, 40));
        p.setColor(group, QPalette::Dark, QColor(25, 25, 25));
        p.setColor(group, QPalette::Shadow, Qt::black);
    }
    p.setColor(QPalette::Disabled, QPalette::Window, window);
    p.setColor(QPalette::Disabled, QPalette::Base, window);
    p.setColor(QPalette::Disabled, QPalette::Button, window);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(127, 127, 127));
    return p;
}

// WCAG contrast ratio of two colours: 1 (none) to 21 (black on white). Body text wants 4.5,
// lines and outlines 3.
inline double Contrast(const QColor& a, const QColor& b)
{
    auto lum = [](const QColor& c) {
        auto lin = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    const double la = lum(a), lb = lum(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The strongest contrast any pixel of the area (in the widget's coordinates) has against
// the background colour.
inline double BestContrast(const QImage& image, const QRect& area, const QColor& background)
{
    double best = 1;
    const qreal dpr = image.devicePixelRatio();
    const QRect scaled(
        QPoint(int(area.left() * dpr), int(area.top() * dpr)),
        QSize(int(std::ceil(area.width() * dpr)), int(std::ceil(area.height() * dpr))));
    const QRect r = scaled.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            best = std::max(best, Contrast(image.pixelColor(x, y), background));
    return best;
}
