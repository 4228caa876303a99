// SPDX-License-Identifier: GPL-3.0-or-later
// The numeric control TPlusSpinEdit driven by a random sequence of property
// writes, digit selections, typed digits, steps and arrow keys (offscreen).
//
// Asserts after every step: the value is finite, never -0, and inside the
// limits (or one of them when MinValue > MaxValue); the step is finite and
// positive; Decimals and Base stay in range; the text holds only digits, sign,
// ".", placeholders and the separator, and reads back as the value within half
// a unit of the last decimal; IntValue is the rounded value; a typed digit that
// is refused throws MeroError and changes nothing.

#include "FuzzCheck.h"
#include "meroerror.h"
#include "plussped.h"
#include "spinnumbers.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPixmap>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{

double Number(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return in.ConsumeFloatingPoint<double>();
    case 1:
        return in.ConsumeFloatingPointInRange<double>(-1e6, 1e6);
    case 2:
        return double(in.ConsumeIntegralInRange<int>(-1000, 1000));
    default:
        return in.ConsumeIntegralInRange<int>(-100000, 100000) / 100.0;
    }
}

struct TSnapshot {
    double Value;
    QString Text;
    int Focus;
    int Exponent;
    bool operator==(const TSnapshot&) const = default;
};

TSnapshot Snap(const TPlusSpinEdit& e)
{
    return {e.Value(), e.Text(), e.FocusIndex(), e.IncExponent()};
}

void CheckState(const TPlusSpinEdit& e)
{
    const double v = e.Value();
    FUZZ_CHECK(std::isfinite(v));
    FUZZ_CHECK(!(v == 0 && std::signbit(v)));
    const double lo = e.MinValue();
    const double hi = e.MaxValue();
    if (lo < hi)
        FUZZ_CHECK(v >= lo && v <= hi);
    else if (lo > hi)
        FUZZ_CHECK(v == lo || v == hi);
    FUZZ_CHECK(std::isfinite(e.Increment()) && e.Increment() > 0);
    FUZZ_CHECK(e.Decimals() >= 0 && e.Decimals() <= 18);
    FUZZ_CHECK(e.Base() >= spinnum::MinBase && e.Base() <= spinnum::MaxBase);
    FUZZ_CHECK(e.IntValue() == spinnum::RoundToInt(v));
    FUZZ_CHECK(e.FocusIndex() >= 1);

    const QString sep = e.ThousandSeparator();
    const QString shown = e.ShownText();
    FUZZ_CHECK(!shown.contains(u'_'));
    QString plain;
    for (QChar c : e.Text()) {
        const bool known = (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u'_';
        // The separator shown may stand in for an unusable one (as a blank).
        FUZZ_CHECK(known || c == u' ' || (!sep.isEmpty() && c == sep.front()));
        if (known)
            plain += c == u'_' ? u'0' : c;
    }
    // The shown text is the value in decimal. Texts are held to 255 characters,
    // so only values whose grouped text fits are read back.
    if (std::fabs(v) < 1e150) {
        const double back = spinnum::ParseInBase(plain, 10);
        const double tolerance =
            0.5 * std::pow(10.0, -e.Decimals()) * (1 + 1e-9) + std::fabs(v) * 1e-12;
        FUZZ_CHECK(std::fabs(back - v) <= tolerance);
    }
}

void SendKey(TPlusSpinEdit& e, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&e, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(&e, &release);
}

// Building a widget costs more than most inputs, so one control serves every
// input and is put back into its first state before each.
TPlusSpinEdit* control = nullptr;

void Reset(TPlusSpinEdit& e)
{
    // Only what differs is written: several setters repaint the arrow glyphs.
    if (!e.Enabled())
        e.SetEnabled(true);
    if (!e.AutoSize())
        e.SetAutoSize(true);
    if (!e.ThousandSeparator().isEmpty())
        e.SetThousandSeparator(QString());
    e.SetMinValue(0);
    e.SetMaxValue(0);
    e.SetValue(0);
    e.SetBase(10);
    if (e.Decimals() != 2)
        e.SetDecimals(2);
    e.SetLeadingDigits(0);
    e.SetIncrement(0); // clears the written step
    e.SelectDigit(0);
    e.FormatText();
    e.UpdateFocusDigit();
}

// FocusCell is left out: a hidden control gets its resize event only when shown.
bool SameState(const TPlusSpinEdit& a, const TPlusSpinEdit& b)
{
    return Snap(a) == Snap(b) && a.Increment() == b.Increment() && a.Decimals() == b.Decimals() &&
           a.Base() == b.Base() && a.MinValue() == b.MinValue() && a.MaxValue() == b.MaxValue() &&
           a.ThousandSeparator() == b.ThousandSeparator() && a.AutoSize() == b.AutoSize() &&
           a.Enabled() == b.Enabled() && a.LeadingDigits() == b.LeadingDigits() &&
           a.size() == b.size() && !a.Spinning() && !b.Spinning();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    (void)argc;
    (void)argv;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int qargc = 1;
    static char name[] = "fuzz_spinedit";
    static char* qargv[] = {name, nullptr};
    // One application for the whole run; never destroyed.
    static QApplication* app = new QApplication(qargc, qargv);
    (void)app;
    control = new TPlusSpinEdit;
    // The reset state is the state of a new control, also after a busy input.
    TPlusSpinEdit fresh;
    FUZZ_CHECK(SameState(*control, fresh));
    control->SetMinValue(-5);
    control->SetMaxValue(7.5);
    control->AssignValue(3.25);
    control->SetIncrement(0.5);
    control->SetBase(16);
    control->SetThousandSeparator(QStringLiteral(","));
    control->SetDecimals(4);
    control->SelectDigit(-3);
    control->SetEnabled(false);
    Reset(*control);
    FUZZ_CHECK(SameState(*control, fresh));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    TPlusSpinEdit& e = *control;
    Reset(e);
    CheckState(e);
    int steps = 0;
    while (in.remaining_bytes() > 0 && ++steps <= 16) {
        switch (in.ConsumeIntegralInRange<int>(0, 19)) {
        case 0:
            e.AssignValue(Number(in));
            break;
        case 1:
            e.SetValue(Number(in));
            break;
        case 2:
            e.SetMinValue(Number(in));
            break;
        case 3:
            e.SetMaxValue(Number(in));
            break;
        case 4:
            e.SetIncrement(Number(in));
            break;
        case 5:
            e.SetDecimals(in.ConsumeIntegralInRange<int>(-5, 25));
            break;
        case 6:
            e.SetLeadingDigits(in.ConsumeIntegralInRange<int>(-5, 25));
            break;
        case 7:
            e.SetBase(in.ConsumeIntegralInRange<int>(-1, 40));
            break;
        case 8: {
            const int n = in.ConsumeIntegralInRange<int>(0, 2);
            QString s;
            for (int i = 0; i < n; ++i)
                s += QChar(in.ConsumeIntegral<char16_t>());
            e.SetThousandSeparator(s);
            break;
        }
        case 9:
            e.SelectDigit(in.ConsumeIntegralInRange<int>(-40, 400));
            break;
        case 10:
        case 11: {
            // Mostly digits of the base, sometimes any character.
            const QChar c =
                in.ConsumeBool()
                    ? QChar(in.ConsumeIntegral<char16_t>())
                    : QChar(
                          u"0123456789ABCDEFGHIJ"[in.ConsumeIntegralInRange<int>(0, e.Base() - 1)]);
            const TSnapshot before = Snap(e);
            bool refused = false;
            try {
                e.EnterDigit(c);
            } catch (const MeroError& err) {
                FUZZ_CHECK(std::string(err.what()) == "Not a valid number");
                FUZZ_CHECK(Snap(e) == before);
                refused = true;
            }
            // Without limits, a digit of the base gives the value of the edited text.
            const int d = spinnum::DigitValue(c);
            const bool inText = before.Focus >= 1 && before.Focus <= before.Text.size();
            if (!refused && inText && d >= 0 && d < e.Base() && e.MinValue() == e.MaxValue()) {
                QString t = before.Text;
                t[before.Focus - 1] = c;
                QString kept;
                for (qsizetype i = 0; i < t.size(); ++i) {
                    const QChar x = t[i];
                    if (x == u'_')
                        kept += i >= before.Focus ? u'0' : u'_';
                    else if (spinnum::DigitValue(x) >= 0 || x == u'-' || x == u'.')
                        kept += x;
                }
                FUZZ_CHECK(e.Value() == spinnum::ParseInBase(kept, e.Base()) + 0.0);
            }
            break;
        }
        case 12:
            e.SpinUp(nullptr);
            break;
        case 13:
            e.SpinDown(nullptr);
            break;
        case 14:
            e.RightZero();
            break;
        case 15:
            e.SetIntValue(in.ConsumeIntegral<int>());
            break;
        case 16:
            e.SetAutoSize(in.ConsumeBool());
            break;
        case 17: {
            static const int keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
            SendKey(e, keys[in.ConsumeIntegralInRange<int>(0, 3)]);
            break;
        }
        case 18:
            e.FormatText();
            e.UpdateFocusDigit();
            break;
        case 19:
            // Draws the control once (paint path, cells, glyphs).
            (void)e.sizeHint();
            (void)e.FocusCell();
            if (in.ConsumeIntegralInRange<int>(0, 7) == 0)
                (void)e.grab();
            break;
        }
        CheckState(e);
    }
    return 0;
}
