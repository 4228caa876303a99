// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include <limits>

class QTimer;
class TSpinArrowButton;

// TPlusSpinEdit: a self-drawn numeric entry control. It shows one value as a right-aligned
// line of digits with one selected digit and two arrow buttons at its right edge. The arrows
// and the Up/Down keys add or subtract the place value of the selected digit; Left/Right or a
// click select another digit; a typed digit overwrites the selected one.
//
// Contracts:
// - Writing Value (AssignValue), IntValue, MinValue or MaxValue fires OnChange synchronously,
//   before the write returns, whenever the stored value changes - also from program code and
//   also while the control's own Enabled is false. SetValue stores without any event.
// - When MinValue and MaxValue differ, a value below MinValue becomes MinValue, otherwise one
//   above MaxValue becomes MaxValue; equal limits (the default 0 and 0) do not limit.
// - FloorValue (none by default) holds after the limits, whatever they are, for every later
//   write of the value: a control whose upper side is unlimited can still refuse to go below
//   a value.
// - A value that is not finite is never stored: such writes are ignored.
// - A typed digit that leaves a text that cannot be read raises MeroError("Not a valid
//   number"): EnterDigit throws it, the key handling reports it through ReportMeroError;
//   value, text and selection stay unchanged.
// - Enabled (capital E) is the control's own flag: false greys it and makes it ignore mouse,
//   keys and arrows, while the widget itself stays enabled and still takes the focus by Tab.
// - A held arrow's auto-repeat ends (paying an owed change event) as soon as the control can
//   no longer see the release: its window blocked by a modal box or deactivated, the control
//   disabled or hidden.
// - Only the left button's double click zeroes the digits right of the selection.
// - The arrow buttons and the auto-repeat timer are children owned by the control.
class TPlusSpinEdit : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(int Base READ Base WRITE SetBase)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(int Decimals READ Decimals WRITE SetDecimals NOTIFY DecimalsChanged)
    Q_PROPERTY(int LeadingDigits READ LeadingDigits WRITE SetLeadingDigits)
    Q_PROPERTY(double Increment READ Increment WRITE SetIncrement NOTIFY IncrementChanged)
    Q_PROPERTY(double MaxValue READ MaxValue WRITE SetMaxValue NOTIFY MaxValueChanged)
    Q_PROPERTY(double MinValue READ MinValue WRITE SetMinValue NOTIFY MinValueChanged)
    Q_PROPERTY(double Value READ Value WRITE AssignValue NOTIFY ValueChanged)
    Q_PROPERTY(bool EditorEnabled READ EditorEnabled WRITE SetEditorEnabled)
    Q_PROPERTY(QString ThousandSeparator READ ThousandSeparator WRITE SetThousandSeparator)
    Q_PROPERTY(bool TrackSpin READ TrackSpin WRITE SetTrackSpin)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled NOTIFY EnabledChanged)
    Q_PROPERTY(bool EnterRequired READ EnterRequired WRITE SetEnterRequired)
    Q_PROPERTY(int IntValue READ IntValue WRITE SetIntValue NOTIFY ValueChanged
                   STORED false DESIGNABLE false)
    Q_PROPERTY(QString Text READ Text STORED false DESIGNABLE false)

public:
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    // Auto-repeat of a held arrow: first repeat after this delay, then at this interval (ms).
    static constexpr int InitialRepeatDelay = 500;
    static constexpr int RepeatInterval = 150;

    explicit TPlusSpinEdit(QWidget* parent = nullptr);
    ~TPlusSpinEdit() override;

    double Value() const { return fValue; }
    double MinValue() const { return fMinValue; }
    double MaxValue() const { return fMaxValue; }
    double FloorValue() const { return fFloorValue; }
    double Increment() const { return fIncrement; }
    int Decimals() const { return fDecimals; }
    int LeadingDigits() const { return fLeading; }
    QString ThousandSeparator() const;
    bool AutoSize() const { return fAutoSize; }
    int Base() const { return fBase; }
    TBorderStyle BorderStyle() const { return fBorderStyle; }
    bool EditorEnabled() const { return fEditorEnabled; }
    bool TrackSpin() const { return fTrackSpin; }
    bool Enabled() const { return fEnabled; }
    bool EnterRequired() const { return fEnterReq; }
    int IntValue() const;
    // The text as held: "_" marks a placeholder digit (shown as "0").
    QString Text() const { return fText; }
    // The text as drawn.
    QString ShownText() const;

    // Limits and stores without any change event.
    void SetValue(double NewValue);
    // Limits and stores; fires OnChange when the stored value changed.
    void AssignValue(double NewValue);
    void SetIntValue(int NewValue);
    void SetMinValue(double NewValue);
    void SetMaxValue(double NewValue);
    // Applies to later writes; the present value stays. -infinity removes the floor.
    void SetFloorValue(double NewValue);
    void SetIncrement(double NewValue);
    void SetDecimals(int NewValue);
    void SetLeadingDigits(int NewValue);
    // The first character is used; empty means no grouping.
    void SetThousandSeparator(const QString& NewValue);
    void SetAutoSize(bool NewValue);
    void SetBase(int NewValue);
    void SetBorderStyle(TBorderStyle NewValue);
    void SetEditorEnabled(bool NewValue) { fEditorEnabled = NewValue; }
    void SetTrackSpin(bool NewValue) { fTrackSpin = NewValue; }
    void SetEnabled(bool NewValue);
    void SetEnterRequired(bool NewValue) { fEnterReq = NewValue; }

    // Selects the digit with place value Base^e (0 = units, -1 = first decimal); the step
    // follows it. Held to the shown decimals and, with limits, to the widest limit.
    void SelectDigit(int e);
    // Zeroes the digits right of the selected one.
    void RightZero();
    // Overwrites the selected digit with c (a digit of the control) and selects the next one.
    void EnterDigit(QChar c);
    // One step up or down. Sender is null for the first step of an arrow press, the control
    // for a key, the repeat timer for a repeat (which steps only while the arrow is held on).
    void SpinUp(QObject* Sender = nullptr);
    void SpinDown(QObject* Sender = nullptr);
    void FormatText();
    void UpdateFocusDigit();
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    void ArrangeButtons();

    // Read-outs of the present selection and geometry.
    int IncExponent() const { return fIncExponent; }
    int FocusIndex() const { return fFocusIndex; }
    // Cell of the selected character in widget coordinates, both edges included.
    QRect FocusCell() const;
    int DigitWidth() const { return fDigitWidth; }
    int DigitHeight() const { return fDigitHeight; }
    bool Spinning() const { return fSpinning; }
    bool CaretVisible() const;
    QTimer* RepeatTimer() const { return fTimer; }
    TSpinArrowButton* UpButton() const { return fUpButton; }
    TSpinArrowButton* DownButton() const { return fDownButton; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // The value changed (see the contracts above).
    void OnChange(QObject* Sender);
    // The step or the selected digit changed.
    void OnSetIncrement(QObject* Sender);
    // Property notifications; ValueChanged also follows SetValue.
    void ValueChanged(double value);
    void MinValueChanged(double value);
    void MaxValueChanged(double value);
    void IncrementChanged(double value);
    void DecimalsChanged(int value);
    void EnabledChanged(bool value);

protected:
    virtual void Change();

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    struct TRect {
        int left = 0, top = 0, right = 0, bottom = 0;
    };

    void ButtonMouseDown(TSpinArrowButton* Sender, Qt::MouseButton Button);
    void ButtonMouseUp();
    void EndSpin();
    bool CanSeeRelease() const;
    void AbandonSpin();
    void FontChanged();
    void ApplyAutoSize();
    void PaintNow();
    int Border() const { return fBorderStyle == bsSingle ? 1 : 0; }
    int GroupSize() const { return fBase == 10 ? 3 : 4; }
    int ButtonWidth() const;
    int AutoHeight() const;
    int LimitTextWidth();
    QPixmap MakeGlyph(int s, bool up) const;

    double fMinValue = 0;
    double fMaxValue = 0;
    double fFloorValue = -std::numeric_limits<double>::infinity();
    double fValue = 0;
    double fIncrement = 1.0;
    double fSavedIncrement = 0;
    int fDecimals = 2;
    int fLeading = 0;
    bool fAutoSize = true;
    bool fTrackSpin = true;
    bool fModified = false;
    bool fEditorEnabled = true;
    TBorderStyle fBorderStyle = bsSingle;
    QChar fThousandSep;
    int fBase = 10;
    bool fEnabled = true;
    bool fEnterReq = false;
    int fIncExponent = 0;
    int fDigitWidth = 0;
    int fDigitHeight = 0;
    int fCapXStart = 0;
    int fCapXStop = 0;
    int fCapYStart = 0;
    int fFocusIndex = 0;
    TSpinArrowButton* fUpButton = nullptr;
    TSpinArrowButton* fDownButton = nullptr;
    TRect fFocusRect;
    bool DisplayFieldsInitialized = false;
    bool fSpinning = false;
    QChar fInternalThousandSep;
    QTimer* fTimer = nullptr;
    enum class TTick { None, Up, Down } fTick = TTick::None;
    QString fText;
    bool fConstructed = false;
    bool fPolished = false;
};
