// The numeric edits of the window and its drop-down list.
//
// In the spin edits the displayed text is the value: Value() converts the
// current text with the user's decimal separator (QLocale().decimalPoint()
// at the moment of use), the point or the comma, and reads MinValue() when
// it does not convert; the "." and "," keys both type the user's separator;
// SetValue() applies the range rule and replaces the text. There is no
// separate stored number, and changed() fires only when the text changes.
// A range of 0 to 0 means unbounded.
//
// Testing seams (process-wide, set before the event they affect):
// - SetBeepHandler: every refused key or step calls it instead of
//   QApplication::beep().
// - SetRepeatTimerFactory: the up/down buttons take a fresh single-shot
//   TRepeatTimer from the factory on every press. A test installs timers that
//   it fires by hand, so the auto-repeat (first step kRepeatDelay ms after the
//   press, then every kRepeatInterval ms) runs without sleeps.
#pragma once

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QString>

#include <functional>
#include <memory>

namespace valdrin::controls {

void SetBeepHandler(std::function<void()> handler); // empty: QApplication::beep()
void Beep();

class TRepeatTimer {
public:
    virtual ~TRepeatTimer() = default;
    // Calls OnTimeout once, ms milliseconds from now; a running wait is replaced.
    virtual void Start(int ms) = 0;
    virtual void Stop() = 0;
    std::function<void()> OnTimeout;
};
using TRepeatTimerFactory = std::function<std::unique_ptr<TRepeatTimer>()>;
void SetRepeatTimerFactory(TRepeatTimerFactory factory); // empty: a QTimer

// What the integer and real spin edits share: typing rules, keys, the button
// pair with auto-repeat, focus handling. Not used on its own.
class TCustomSpinEdit : public QAbstractSpinBox {
    Q_OBJECT

public:
    static constexpr int kRepeatDelay = 400; // ms from press to the first repeat
    static constexpr int kRepeatInterval = 100; // ms between later repeats

    bool EditorEnabled() const { return m_editorEnabled; }
    void SetEditorEnabled(bool enabled);
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool readOnly);
    bool AutoSelect() const { return m_autoSelect; }
    void SetAutoSelect(bool autoSelect) { m_autoSelect = autoSelect; }
    QString Text() const;
    void SetText(const QString &text);

    // Where the up and down buttons are, in widget coordinates.
    QRect ButtonRect(bool up) const;

    QSize sizeHint() const override; // fits the longer of the range's ends
    QSize minimumSizeHint() const override;
    void stepBy(int steps) override; // steps × the increment, through the step rule

signals:
    void changed(); // the text changed, by typing or by setting the value

protected:
    explicit TCustomSpinEdit(QWidget *parent);

    // Step by factor × the increment: beeps when read-only.
    void Step(int factor);
    virtual void StepValue(int factor) = 0;
    virtual int PageFactor() const = 0; // 0: Page Up/Down do nothing
    virtual bool AcceptsExponent() const = 0;
    virtual bool RangeChangesValue() const = 0; // the leave check
    virtual void ApplyRange() = 0; // set the value to itself
    virtual QString SampleText() const = 0; // the widest text to make room for

    StepEnabled stepEnabled() const override;
    void initStyleOption(QStyleOptionSpinBox *option) const override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    bool acceptsChar(QChar c) const;
    QSize sizeHintFor(const QString &sample) const;
    QStyle::SubControl buttonAt(const QPoint &pos) const;
    void onRepeat();
    void endPress(bool stepAgain);

    bool m_editorEnabled = true;
    bool m_autoSelect = true;
    QStyle::SubControl m_pressed = QStyle::SC_None; // button held by the mouse
    bool m_pressedOver = false; // the cursor is over it
    std::unique_ptr<TRepeatTimer> m_timer;
};

class TSpinEdit : public TCustomSpinEdit {
    Q_OBJECT

public:
    explicit TSpinEdit(QWidget *parent = nullptr);

    int Value() const;
    void SetValue(int value); // clamps when MinValue != MaxValue
    int MinValue() const { return m_min; }
    void SetMinValue(int value) { m_min = value; }
    int MaxValue() const { return m_max; }
    void SetMaxValue(int value) { m_max = value; }
    int Increment() const { return m_increment; }
    void SetIncrement(int value) { m_increment = value; }

protected:
    // Whether stepping and leaving clamp; SetValue always uses the plain rule.
    virtual bool Clamps() const;
    void SetValueRanged(long long value, bool clamps);

    void StepValue(int factor) override;
    int PageFactor() const override { return 0; }
    bool AcceptsExponent() const override { return false; }
    bool RangeChangesValue() const override;
    void ApplyRange() override;
    QString SampleText() const override;

private:
    long long ranged(long long value, bool clamps) const;

    int m_min = 0;
    int m_max = 0;
    int m_increment = 1;
};

// Page Up/Down step ten increments (a hundred with Ctrl); a range of equal
// non-zero bounds clamps when stepping and leaving.
class TSpin10Edit : public TSpinEdit {
    Q_OBJECT

public:
    explicit TSpin10Edit(QWidget *parent = nullptr);

protected:
    bool Clamps() const override;
    int PageFactor() const override { return 10; }
};

enum class TFloatFormat { General, Exponent, Fixed, Number, Currency };

class TFloatSpinEdit : public TCustomSpinEdit {
    Q_OBJECT

public:
    explicit TFloatSpinEdit(QWidget *parent = nullptr);

    double Value() const;
    // Clamps when MinValue != MaxValue or both are non-zero. A value that
    // cannot be shown (NaN, infinite) shows MinValue instead.
    void SetValue(double value);
    double MinValue() const { return m_min; }
    void SetMinValue(double value) { m_min = value; }
    double MaxValue() const { return m_max; }
    void SetMaxValue(double value) { m_max = value; }
    double Increment() const { return m_increment; }
    void SetIncrement(double value) { m_increment = value; }
    TFloatFormat Format() const { return m_format; }
    void SetFormat(TFloatFormat format) { m_format = format; }
    int Digits() const { return m_digits; } // decimals of the fixed, number and currency formats
    void SetDigits(int digits);

    // The text SetValue would show for value (no range rule); empty for NaN
    // and infinities.
    QString FormatValue(double value) const;

protected:
    void StepValue(int factor) override;
    int PageFactor() const override { return 10; }
    bool AcceptsExponent() const override { return true; }
    bool RangeChangesValue() const override;
    void ApplyRange() override;
    QString SampleText() const override;

private:
    double ranged(double value) const;

    double m_min = 0;
    double m_max = 0;
    double m_increment = 1.0;
    TFloatFormat m_format = TFloatFormat::Fixed;
    int m_digits = 2;
};

// A drop-down list: the user can only pick an item. Adding items to a list
// with nothing chosen keeps nothing chosen.
class TComBox : public QComboBox {
    Q_OBJECT

public:
    explicit TComBox(QWidget *parent = nullptr);

    int ItemIndex() const { return currentIndex(); } // -1: nothing chosen
    void SetItemIndex(int index); // out of range: -1

private:
    bool m_keepNone = false;
    bool m_signalsWereBlocked = false;
};

} // namespace valdrin::controls
