// SPDX-License-Identifier: GPL-3.0-or-later
#include "plussped.h"

#include "meroerror.h"
#include "plusspedaccessible.h"
#include "spinarrowbutton.h"
#include "spinnumbers.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace
{

// Texts are held to this length; longer fixed-point texts are cut.
constexpr qsizetype MaxTextLength = 255;
// Highest selectable exponent: keeps the placeholders of a selection inside MaxTextLength
// and every step finite.
constexpr int MaxExponent = 150;
constexpr QChar Placeholder = u'_';
const QColor GrayText(128, 128, 128);
const QColor FocusBlue(0, 0, 255);

double StepOf(int base, int e)
{
    double step = 1.0;
    for (int i = 0; i < e; ++i)
        step *= base;
    for (int i = 0; i < -e; ++i)
        step /= base;
    return step;
}

} // namespace

TPlusSpinEdit::TPlusSpinEdit(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Clicks give the focus by hand: a click on a control whose own Enabled is false must
    // not move the focus.
    setFocusPolicy(Qt::TabFocus);
    QFont f = font();
    f.setPixelSize(13);
    setFont(f);

    fTimer = new QTimer(this);
    connect(fTimer, &QTimer::timeout, this, [this] {
        // A blocked window never passes the arrow's release on: the spin would go on
        // stepping after the box that took the release was answered.
        if (!CanSeeRelease()) {
            AbandonSpin();
            return;
        }
        if (fTick == TTick::Up)
            SpinUp(fTimer);
        else if (fTick == TTick::Down)
            SpinDown(fTimer);
    });
    fUpButton = new TSpinArrowButton(this);
    fDownButton = new TSpinArrowButton(this);
    for (TSpinArrowButton* b : {fUpButton, fDownButton}) {
        connect(b, &TSpinArrowButton::ButtonMouseDown, this,
                [this, b](Qt::MouseButton button) { ButtonMouseDown(b, button); });
        connect(b, &TSpinArrowButton::ButtonMouseUp, this, [this] { ButtonMouseUp(); });
    }

    SelectDigit(0);
    FormatText();
    fConstructed = true;
    FontChanged();
    resize(8 * std::abs(QFontInfo(font()).pixelSize()), AutoHeight());
    PlusSpinEditAccessibility::Attach(this);
}

TPlusSpinEdit::~TPlusSpinEdit() = default;

// ---- value model -------------------------------------------------------------------------

QString TPlusSpinEdit::ThousandSeparator() const
{
    return fThousandSep.isNull() ? QString() : QString(fThousandSep);
}

int TPlusSpinEdit::IntValue() const
{
    return spinnum::RoundToInt(fValue);
}

QString TPlusSpinEdit::ShownText() const
{
    QString t = fText;
    t.replace(Placeholder, u'0');
    return t;
}

void TPlusSpinEdit::SetValue(double NewValue)
{
    if (!std::isfinite(NewValue))
        return;
    if (fMinValue != fMaxValue) {
        if (NewValue < fMinValue)
            NewValue = fMinValue;
        else if (NewValue > fMaxValue)
            NewValue = fMaxValue;
    }
    if (NewValue < fFloorValue)
        NewValue = fFloorValue;
    NewValue += 0.0; // no negative zero
    if (NewValue == fValue)
        return;
    fValue = NewValue;
    FormatText();
    UpdateFocusDigit();
    PaintNow();
    Q_EMIT ValueChanged(fValue);
}

void TPlusSpinEdit::AssignValue(double NewValue)
{
    const double old = fValue;
    SetValue(NewValue);
    if (fValue == old)
        return;
    if (!fSpinning || fTrackSpin) {
        Change();
        fModified = false;
    } else {
        fModified = true;
    }
}

void TPlusSpinEdit::SetIntValue(int NewValue)
{
    AssignValue(NewValue);
}

void TPlusSpinEdit::Change()
{
    Q_EMIT OnChange(this);
}

void TPlusSpinEdit::SetMinValue(double NewValue)
{
    if (!std::isfinite(NewValue) || NewValue == fMinValue)
        return;
    fMinValue = NewValue;
    AssignValue(fValue);
    SetAutoSize(fAutoSize);
    Q_EMIT MinValueChanged(fMinValue);
}

void TPlusSpinEdit::SetMaxValue(double NewValue)
{
    if (!std::isfinite(NewValue) || NewValue == fMaxValue)
        return;
    fMaxValue = NewValue;
    AssignValue(fValue);
    SetAutoSize(fAutoSize);
    Q_EMIT MaxValueChanged(fMaxValue);
}

void TPlusSpinEdit::SetFloorValue(double NewValue)
{
    // -infinity removes the floor; a floor of NaN or +infinity would store a value that is
    // not finite.
    if (std::isnan(NewValue) || NewValue == std::numeric_limits<double>::infinity() ||
        NewValue == fFloorValue)
        return;
    // The present value stays: a form's value at creation is shown as designed.
    fFloorValue = NewValue;
}

void TPlusSpinEdit::SelectDigit(int e)
{
    if (e < -fDecimals)
        e = -fDecimals;
    if (fMinValue != fMaxValue) {
        const int top = std::max(spinnum::LeadingExponent(fBase, fMinValue),
                                 spinnum::LeadingExponent(fBase, fMaxValue));
        if (e > top)
            e = top;
    }
    e = std::min(e, MaxExponent);
    const double step = StepOf(fBase, e);
    // Only an unchanged digit with an unchanged step is a no-op: with a written Increment
    // equal to a coarser digit's step, comparing steps alone would pin the selection.
    if (e == fIncExponent && fIncrement != 0 && std::fabs((step - fIncrement) / fIncrement) <= 1e-7)
        return;
    const double oldIncrement = fIncrement;
    fIncrement = step;
    if (fSavedIncrement > fIncrement)
        fIncrement = fSavedIncrement;
    fIncExponent = e;
    Q_EMIT OnSetIncrement(this);
    if (fIncrement != oldIncrement)
        Q_EMIT IncrementChanged(fIncrement);
    UpdateFocusDigit();
    PaintNow();
}

void TPlusSpinEdit::SetIncrement(double NewValue)
{
    if (!std::isfinite(NewValue))
        return;
    fSavedIncrement = NewValue;
    double x = std::fabs(NewValue);
    int n = 0;
    if (x > 1e-20) {
        n = static_cast<int>(std::nearbyint(std::log(x) / spinnum::LnBase(fBase)));
        if (spinnum::BasePower(fBase, n) > 1.0001 * x)
            n -= 1;
    } else {
        // A zero step would freeze the control and divide by zero later: step by the
        // smallest shown digit instead.
        n = -fDecimals;
        x = StepOf(fBase, n);
    }
    if (std::fabs((x - fIncrement) / fIncrement) < 1e-7)
        return;
    fIncExponent = std::min(n, MaxExponent);
    UpdateFocusDigit();
    PaintNow();
    fIncrement = x;
    Q_EMIT OnSetIncrement(this);
    Q_EMIT IncrementChanged(fIncrement);
}

void TPlusSpinEdit::SetDecimals(int NewValue)
{
    NewValue = std::clamp(NewValue, 0, 18);
    const bool changed = NewValue != fDecimals;
    fDecimals = NewValue;
    FormatText();
    // A selection below the shown decimals would point past the text.
    if (fIncExponent < -fDecimals)
        SelectDigit(-fDecimals);
    if (fAutoSize) {
        ApplyAutoSize();
    } else {
        UpdateFocusDigit();
    }
    update();
    if (changed)
        Q_EMIT DecimalsChanged(fDecimals);
}

void TPlusSpinEdit::SetLeadingDigits(int NewValue)
{
    fLeading = std::clamp(NewValue, 0, 18);
    FormatText();
    UpdateFocusDigit();
    update();
}

void TPlusSpinEdit::SetThousandSeparator(const QString& NewValue)
{
    const QChar c = NewValue.isEmpty() ? QChar() : NewValue.front();
    if (c == fThousandSep)
        return;
    fThousandSep = c;
    const char16_t u = c.unicode();
    // A sign, a digit, a letter or the decimal separator cannot serve as a group separator,
    // nor can "_", which marks placeholder digits.
    const bool unusable = u <= 255 && (c == u'+' || c == u'-' || (u >= u'0' && u <= u'9') ||
                                       (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
                                       c == spinnum::DecimalSeparator || c == Placeholder);
    fInternalThousandSep = c.isNull() ? QChar() : (unusable ? QChar(u' ') : c);
    FormatText();
    UpdateFocusDigit();
    PaintNow();
}

void TPlusSpinEdit::SetBase(int NewValue)
{
    NewValue = std::clamp(NewValue, spinnum::MinBase, spinnum::MaxBase);
    if (NewValue == fBase)
        return;
    fBase = NewValue;
    SelectDigit(fIncExponent);
    FormatText();
    if (fAutoSize)
        ApplyAutoSize();
    else
        UpdateFocusDigit();
    PaintNow();
}

void TPlusSpinEdit::FormatText()
{
    QString s = spinnum::FormatFixed(fValue, fDecimals);
    if (!fInternalThousandSep.isNull())
        s = spinnum::GroupDigits(s, fInternalThousandSep, GroupSize());
    if (s.size() > MaxTextLength)
        s.truncate(MaxTextLength);
    fText = s;
}

void TPlusSpinEdit::UpdateFocusDigit()
{
    const int n = static_cast<int>(fText.size());
    const int e = fIncExponent;
    const int d = fDecimals;
    const QChar sep = fInternalThousandSep;
    const int g = GroupSize();
    int idx = n - e - d;
    if (e >= 0 && d != 0)
        idx -= 1;
    if (!sep.isNull()) {
        idx -= (d - 1) / g;
        if (e < 0)
            idx += (-1 - e) / g;
        else
            idx -= e / g;
    }

    // Placeholders for a selection left of the leading digit go between the sign and the
    // digits, so a typed digit keeps the sign.
    QString t = fText;
    const int first = t.startsWith(u'-') ? 2 : 1;
    bool changed = false;
    if (idx < first) {
        for (int i = idx - (first - 1); i <= 0; ++i) {
            const bool isSep = !sep.isNull() && (e + i + e / g + 1) % (g + 1) == 0;
            t.insert(first - 1, isSep ? sep : Placeholder);
        }
        idx = first;
        changed = true;
    }
    while (idx > first && t.size() >= first &&
           (t[first - 1] == Placeholder || (!sep.isNull() && t[first - 1] == sep))) {
        t.remove(first - 1, 1);
        --idx;
        changed = true;
    }
    if (changed)
        fText = t;
    fFocusIndex = idx;

    // Pixel half: the cell of the selected character.
    const QFontMetrics fm(font());
    const QString shown = ShownText();
    fCapXStart = fCapXStop - fm.horizontalAdvance(shown);
    if (fFocusIndex >= 1 && fFocusIndex <= shown.size()) {
        // Both edges from prefix widths, like the hit-test, so that cells and clicks agree
        // to the pixel even where a font's advances are fractional.
        fFocusRect.right = fCapXStart + fm.horizontalAdvance(shown.left(fFocusIndex)) - 1;
        fFocusRect.left = fCapXStart + fm.horizontalAdvance(shown.left(fFocusIndex - 1));
    } else {
        // Past the shown digits: an empty cell after the text.
        fFocusRect.right = fCapXStop - 1;
        fFocusRect.left = fCapXStop;
    }
    fFocusRect.top = fCapYStart;
    fFocusRect.bottom = fCapYStart + fDigitHeight - 1;
    DisplayFieldsInitialized = true;
}

void TPlusSpinEdit::EnterDigit(QChar c)
{
    if (fFocusIndex < 1 || fFocusIndex > fText.size())
        return;
    QString t = fText;
    t[fFocusIndex - 1] = c;
    for (qsizetype i = fFocusIndex; i < t.size(); ++i)
        if (t[i] == Placeholder)
            t[i] = u'0';
    if (!fInternalThousandSep.isNull())
        t.remove(fInternalThousandSep);
    const double v = spinnum::ParseInBase(t, fBase); // throws before anything changed
    if (fIncExponent > -fDecimals)
        SelectDigit(fIncExponent - 1);
    AssignValue(v);
}

void TPlusSpinEdit::RightZero()
{
    QString s = spinnum::FormatFixedSignificant(fValue, fDecimals, 12);
    const int e = fIncExponent;
    if (e < 0) {
        const qsizetype k = std::min<qsizetype>(fDecimals + e, s.size());
        for (qsizetype i = s.size() - k; i < s.size(); ++i)
            s[i] = u'0';
    } else {
        if (fDecimals > 0)
            s = s.left(s.indexOf(spinnum::DecimalSeparator));
        const qsizetype k = std::min<qsizetype>(e, s.size());
        for (qsizetype i = s.size() - k; i < s.size(); ++i)
            s[i] = u'0';
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(s, &ok);
    if (ok)
        AssignValue(v);
}

void TPlusSpinEdit::SpinUp(QObject* Sender)
{
    if (!fEnabled)
        return;
    if (Sender != nullptr && Sender == fTimer) {
        fTimer->setInterval(RepeatInterval);
        if (!fUpButton->isDown())
            return;
    }
    AssignValue(fValue + fIncrement);
}

void TPlusSpinEdit::SpinDown(QObject* Sender)
{
    if (!fEnabled)
        return;
    if (Sender != nullptr && Sender == fTimer) {
        fTimer->setInterval(RepeatInterval);
        if (!fDownButton->isDown())
            return;
    }
    AssignValue(fValue - fIncrement);
}

void TPlusSpinEdit::SetEnabled(bool NewValue)
{
    const bool changed = NewValue != fEnabled;
    fEnabled = NewValue;
    if (!fEnabled)
        AbandonSpin();
    PaintNow();
    ArrangeButtons();
    if (changed)
        Q_EMIT EnabledChanged(fEnabled);
}

// ---- geometry ---------------------------------------------------------------------------

int TPlusSpinEdit::ButtonWidth() const
{
    return std::max(10, fDigitWidth + fDigitWidth / 2 + 8);
}

int TPlusSpinEdit::AutoHeight() const
{
    int h = fDigitHeight + fDigitHeight / 3;
    if (h % 2 == 0)
        h += 1;
    return h;
}

int TPlusSpinEdit::LimitTextWidth()
{
    const double keep = fValue;
    fValue = spinnum::LeadingExponent(fBase, fMaxValue) > spinnum::LeadingExponent(fBase, fMinValue)
                 ? fMaxValue
                 : fMinValue;
    FormatText();
    const int w = QFontMetrics(font()).horizontalAdvance(ShownText());
    fValue = keep;
    FormatText();
    return w;
}

void TPlusSpinEdit::ApplyAutoSize()
{
    if (!fAutoSize)
        return;
    // Sizing waits for the first polish: a form sets its properties in any order, and
    // AutoSize false written after Decimals must still keep the form's geometry.
    if (!fPolished) {
        ArrangeButtons();
        return;
    }
    const int h = AutoHeight();
    int w = width();
    if (fMinValue != fMaxValue) {
        const int tw = LimitTextWidth();
        // Room for the text, half a digit on each side, the arrows and the frame.
        w = std::max(tw + h, tw + fDigitWidth + ButtonWidth() + 2 * Border());
    }
    SetBounds(x(), y(), w, h);
}

void TPlusSpinEdit::SetAutoSize(bool NewValue)
{
    fAutoSize = NewValue;
    if (fAutoSize)
        ApplyAutoSize();
}

void TPlusSpinEdit::SetBorderStyle(TBorderStyle NewValue)
{
    if (NewValue == fBorderStyle)
        return;
    fBorderStyle = NewValue;
    ArrangeButtons();
    update();
}

void TPlusSpinEdit::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    setGeometry(ALeft, ATop, AWidth, AHeight);
    // A geometry that did not change sends no resize event; arrange anyway.
    ArrangeButtons();
}

QPixmap TPlusSpinEdit::MakeGlyph(int s, bool up) const
{
    QPixmap pm(s + 1, s / 2 + 2);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    // Black on the standard palette; the palette's button text keeps it visible on a dark one.
    const QColor c = fEnabled ? palette().color(QPalette::ButtonText) : GrayText;
    p.setPen(QPen(c, 0));
    p.setBrush(c);
    QPolygon tri;
    if (up)
        tri << QPoint(0, s / 2) << QPoint(s / 2, 0) << QPoint(s, s / 2);
    else
        tri << QPoint(0, 1) << QPoint(s / 2, s / 2 + 1) << QPoint(s, 1);
    p.drawPolygon(tri);
    return pm;
}

void TPlusSpinEdit::ArrangeButtons()
{
    const int b = Border();
    const int cw = width() - 2 * b;
    const int ch = height() - 2 * b;
    const int bw = ButtonWidth();
    fUpButton->setGeometry(b + cw - bw, b, bw, ch / 2);
    fDownButton->setGeometry(b + cw - bw, b + ch / 2, bw, ch - ch / 2);

    int s = static_cast<int>(std::nearbyint(1.3 * std::pow(bw, 0.75))) - 2;
    if (s < 4)
        s = 4;
    if (s % 2 != 0)
        s -= 1;
    fUpButton->SetGlyph(MakeGlyph(s, true));
    fDownButton->SetGlyph(MakeGlyph(s, false));

    fCapXStop = cw - bw - fDigitWidth / 2;
    fCapYStart = (ch - fDigitHeight) / 2;
    UpdateFocusDigit();
}

void TPlusSpinEdit::FontChanged()
{
    const QFontMetrics fm(font());
    fDigitHeight = fm.height();
    fDigitWidth = fm.horizontalAdvance(u'0');
    if (fAutoSize)
        ApplyAutoSize();
    else
        ArrangeButtons();
    updateGeometry();
    update();
}

QSize TPlusSpinEdit::sizeHint() const
{
    const QFontMetrics fm(font());
    int tw = fm.horizontalAdvance(ShownText());
    if (fMinValue != fMaxValue)
        tw = std::max(tw, const_cast<TPlusSpinEdit*>(this)->LimitTextWidth());
    const int w = std::max(tw + fDigitWidth + ButtonWidth() + 2 * Border(),
                           8 * QFontInfo(font()).pixelSize());
    return QSize(w, AutoHeight());
}

QSize TPlusSpinEdit::minimumSizeHint() const
{
    return QSize(ButtonWidth() + 2 * fDigitWidth + 2 * Border(), AutoHeight());
}

QRect TPlusSpinEdit::FocusCell() const
{
    const int b = Border();
    return QRect(QPoint(fFocusRect.left + b, fFocusRect.top + b),
                 QPoint(fFocusRect.right + b, fFocusRect.bottom + b));
}

bool TPlusSpinEdit::CaretVisible() const
{
    return hasFocus() && !fSpinning && fFocusIndex >= 1 && fFocusIndex <= fText.size();
}

// ---- painting ---------------------------------------------------------------------------

void TPlusSpinEdit::PaintNow()
{
    // Value changes and selections show at once, not at the next pass of the event loop.
    if (isVisible())
        repaint();
}

void TPlusSpinEdit::paintEvent(QPaintEvent*)
{
    if (!DisplayFieldsInitialized)
        UpdateFocusDigit();
    QPainter p(this);
    const int b = Border();
    // Frame, caret and underline in the text colour: black on the standard palette, and
    // still visible on a dark one.
    const QColor ink = palette().color(QPalette::Text);
    if (b != 0) {
        p.setPen(ink);
        p.drawRect(0, 0, width() - 1, height() - 1);
    }
    // The text area: everything left of the arrow buttons, in client coordinates.
    const QRect area(0, 0, fUpButton->x() - b, height() - 2 * b);
    p.translate(b, b);
    p.setClipRect(area);
    p.fillRect(area, palette().color(QPalette::Base));

    const QFontMetrics fm(font());
    const QString shown = ShownText();
    const int baseline = fCapYStart + fm.ascent();
    p.setFont(font());
    p.setPen(fEnabled ? palette().color(QPalette::Text) : GrayText);
    // Each character at its prefix width, the same positions as the cells.
    for (qsizetype i = 0; i < shown.size(); ++i)
        p.drawText(fCapXStart + fm.horizontalAdvance(shown.left(i)), baseline, QString(shown[i]));

    const bool inText = fFocusIndex >= 1 && fFocusIndex <= shown.size();
    const TRect& r = fFocusRect;
    if (hasFocus()) {
        if (inText) {
            p.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), FocusBlue);
            p.setPen(Qt::white);
            p.drawText(r.left, baseline, shown.mid(fFocusIndex - 1, 1));
        }
        // The caret: 2 pixels high under the selected cell, hidden during a spin.
        if (CaretVisible())
            p.fillRect(QRect(r.left, r.bottom, r.right - r.left, 2), ink);
    } else if (inText) {
        p.setPen(ink);
        p.drawLine(r.left, r.bottom, r.right - 1, r.bottom);
    }
}

void TPlusSpinEdit::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ArrangeButtons();
}

bool TPlusSpinEdit::event(QEvent* event)
{
    if (event->type() == QEvent::Polish && !fPolished) {
        fPolished = true;
        FontChanged();
    }
    // The window passes its deactivation on to every visible child.
    if (event->type() == QEvent::WindowDeactivate)
        AbandonSpin();
    return QWidget::event(event);
}

void TPlusSpinEdit::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && fConstructed)
        FontChanged();
    else if (event->type() == QEvent::PaletteChange && fConstructed)
        ArrangeButtons(); // the glyphs follow the palette
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        AbandonSpin();
}

// ---- input ------------------------------------------------------------------------------

void TPlusSpinEdit::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    PaintNow();
}

void TPlusSpinEdit::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    // A key spin whose key-up goes elsewhere ends here.
    if (fSpinning && !fTimer->isActive())
        EndSpin();
    PaintNow();
}

void TPlusSpinEdit::ButtonMouseDown(TSpinArrowButton* Sender, Qt::MouseButton Button)
{
    if (!fEnabled || Button != Qt::LeftButton)
        return;
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    fSpinning = true;
    PaintNow();
    fTimer->setInterval(InitialRepeatDelay);
    fTimer->start();
    if (Sender == fUpButton) {
        SpinUp(nullptr);
        fTick = TTick::Up;
    } else {
        SpinDown(nullptr);
        fTick = TTick::Down;
    }
}

void TPlusSpinEdit::ButtonMouseUp()
{
    // Always stop the timer: a spin ended by a key-up or by Enabled going false must not
    // leave it ticking.
    fTimer->stop();
    if (fSpinning)
        EndSpin();
}

bool TPlusSpinEdit::CanSeeRelease() const
{
    if (!fEnabled || !isEnabled() || !isVisible())
        return false;
    const QWidget* modal = QApplication::activeModalWidget();
    return modal == nullptr || modal == window();
}

void TPlusSpinEdit::AbandonSpin()
{
    // Ends a spin whose release this control will not see; an owed change event is paid
    // as at a release.
    fTick = TTick::None;
    fTimer->stop();
    fUpButton->setDown(false);
    fDownButton->setDown(false);
    if (fSpinning)
        EndSpin();
}

void TPlusSpinEdit::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    AbandonSpin();
}

void TPlusSpinEdit::EndSpin()
{
    fSpinning = false;
    PaintNow();
    if (!fTrackSpin && fModified) {
        fModified = false;
        Change();
    }
}

void TPlusSpinEdit::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (!fEnabled)
        return;
    if (event->button() == Qt::LeftButton) {
        const QFontMetrics fm(font());
        const int x = static_cast<int>(std::floor(event->position().x())) - Border();
        const QChar sep = fInternalThousandSep;
        QString s = ShownText();
        s.chop(1);
        int e = -fDecimals;
        if (!sep.isNull() && s.endsWith(sep))
            s.chop(1);
        while (!s.isEmpty() && fm.horizontalAdvance(s) > x - fCapXStart) {
            ++e;
            s.chop(1);
            if (!s.isEmpty()) {
                if (e == 0)
                    s.chop(1); // the decimal separator belongs to the units digit
                else if (!sep.isNull() && s.endsWith(sep))
                    s.chop(1);
            }
        }
        if (x < fCapXStart)
            ++e;
        SelectDigit(e);
    }
    if (hasFocus())
        PaintNow();
    else
        setFocus(Qt::MouseFocusReason);
}

void TPlusSpinEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    // Only the left button's double click zeroes; the others are no command.
    if (fEnabled && event->button() == Qt::LeftButton)
        RightZero();
}

void TPlusSpinEdit::keyPressEvent(QKeyEvent* event)
{
    // Keys the control does not use (Enter, Escape, shortcuts) go on to the parent, so a
    // dialog's default button still works; arrows never move the focus.
    const Qt::KeyboardModifiers mods = event->modifiers();
    const int key = event->key();
    const bool arrow =
        key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
    const bool ctrlZero = key == Qt::Key_0 && (mods & Qt::ControlModifier);
    event->setAccepted(arrow || ctrlZero);
    if (!fEnabled)
        return;
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!fSpinning) {
            fSpinning = true;
            PaintNow();
        }
        if (key == Qt::Key_Up)
            SpinUp(this);
        else
            SpinDown(this);
        return;
    case Qt::Key_Left:
        if (fFocusRect.left > fDigitWidth - 2)
            SelectDigit(fIncExponent + 1);
        return;
    case Qt::Key_Right:
        if (fIncExponent > -fDecimals)
            SelectDigit(fIncExponent - 1);
        return;
    default:
        break;
    }
    if (ctrlZero) {
        RightZero();
        return;
    }
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return;
    const QString text = event->text();
    if (fEditorEnabled && text.size() == 1) {
        const int dv = spinnum::DigitValue(text.front());
        if (dv >= 0 && dv < fBase) {
            event->accept();
            // Reported here: the error must not travel through Qt's event delivery.
            try {
                EnterDigit(text.front());
            } catch (const MeroError& e) {
                ReportMeroError(e);
            }
        }
    }
}

void TPlusSpinEdit::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
    // Held keys repeat presses; only the real release ends a key spin.
    if (!fEnabled || event->isAutoRepeat())
        return;
    // A key released while an arrow is held leaves that spin to the arrow's release.
    if (fSpinning && !fTimer->isActive())
        EndSpin();
}
