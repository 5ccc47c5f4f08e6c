#include "TestLocale.h"
#include "controls/SpinExt.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <cmath>
#include <limits>
#include <vector>

using namespace valdrin::controls;

namespace {

// Counts the beeps of the controls for the lifetime of the object.
struct BeepCounter {
    int count = 0;
    BeepCounter()
    {
        SetBeepHandler([this] { ++count; });
    }
    ~BeepCounter() { SetBeepHandler({}); }
};

// A clock that the test moves by hand; the controls' repeat timers run on it.
class FakeClock {
public:
    class Timer : public TRepeatTimer {
    public:
        explicit Timer(FakeClock &clock)
            : m_clock(clock)
        {
            m_clock.m_timers.push_back(this);
        }
        ~Timer() override { std::erase(m_clock.m_timers, this); }
        void Start(int ms) override
        {
            m_deadline = m_clock.m_now + ms;
            m_running = true;
        }
        void Stop() override { m_running = false; }

    private:
        friend class FakeClock;
        FakeClock &m_clock;
        int m_deadline = 0;
        bool m_running = false;
    };

    FakeClock()
    {
        SetRepeatTimerFactory([this] { return std::make_unique<Timer>(*this); });
    }
    ~FakeClock() { SetRepeatTimerFactory({}); }

    void Advance(int ms)
    {
        for (int i = 0; i < ms; ++i) {
            ++m_now;
            const std::vector<Timer *> timers = m_timers;
            for (Timer *t : timers)
                if (t->m_running && t->m_deadline <= m_now) {
                    t->m_running = false;
                    if (t->OnTimeout)
                        t->OnTimeout();
                }
        }
    }

private:
    int m_now = 0;
    std::vector<Timer *> m_timers;
};

void Leave(QWidget &w)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&w, &out);
}

void Enter(QWidget &w, Qt::FocusReason reason)
{
    QFocusEvent in(QEvent::FocusIn, reason);
    QApplication::sendEvent(&w, &in);
}

// Replaces the whole text as a user would: select all, then type.
void Retype(TCustomSpinEdit &w, const QString &text)
{
    w.selectAll();
    QTest::keyClicks(&w, text);
}

// Types characters that QTest cannot map to keys (Cyrillic letters).
void TypeText(QWidget &w, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&w, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&w, &release);
    }
}

QLineEdit *EditorOf(QWidget &w)
{
    return w.findChild<QLineEdit *>();
}

// The parameter edit of the window with range 0.1 to 10 and step 0.01.
void MakeB0(TFloatSpinEdit &w)
{
    w.SetMinValue(0.1);
    w.SetMaxValue(10);
    w.SetIncrement(0.01);
    w.SetFormat(TFloatFormat::Fixed);
    w.SetDigits(2);
    w.SetValue(1.5);
}

} // namespace

class FloatSpinTest : public LocaleTest { };
VALDRIN_LOCALES(FloatSpinTest);

TEST_P(FloatSpinTest, StepsByOneTenAndHundredIncrements)
{
    TFloatSpinEdit w;
    MakeB0(w);
    EXPECT_EQ(w.Text(), N("1.50"));
    QTest::keyClick(&w, Qt::Key_Up);
    EXPECT_EQ(w.Text(), N("1.51"));
    w.SetValue(1.5);
    QTest::keyClick(&w, Qt::Key_PageUp);
    EXPECT_EQ(w.Text(), N("1.60"));
    w.SetValue(1.5);
    QTest::keyClick(&w, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(w.Text(), N("2.50"));
    QTest::keyClick(&w, Qt::Key_PageDown, Qt::ControlModifier);
    QTest::keyClick(&w, Qt::Key_Down);
    EXPECT_EQ(w.Text(), N("1.49"));
    // Stepping clamps: a hundred steps down from 0.49 stop at the minimum.
    QTest::keyClick(&w, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(w.Text(), N("0.49"));
    QTest::keyClick(&w, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(w.Text(), N("0.10"));
}

TEST_P(FloatSpinTest, LeavingClampsButKeepsAnInRangeTextAsTyped)
{
    TFloatSpinEdit w;
    MakeB0(w);
    Retype(w, QStringLiteral("20"));
    EXPECT_EQ(w.Text(), QStringLiteral("20"));
    Leave(w);
    EXPECT_EQ(w.Text(), N("10.00"));

    Retype(w, N("1.5"));
    Leave(w);
    EXPECT_EQ(w.Text(), N("1.5"));
    EXPECT_DOUBLE_EQ(w.Value(), 1.5);
}

TEST_P(FloatSpinTest, ZeroToZeroRangeIsUnbounded)
{
    TFloatSpinEdit w;
    w.SetFormat(TFloatFormat::General);
    Retype(w, QStringLiteral("-1000"));
    Leave(w);
    EXPECT_EQ(w.Text(), QStringLiteral("-1000"));
    QTest::keyClick(&w, Qt::Key_Down);
    EXPECT_EQ(w.Text(), QStringLiteral("-1001"));
    w.SetValue(1e6);
    EXPECT_EQ(w.Text(), QStringLiteral("1000000"));
}

TEST_P(FloatSpinTest, EqualNonZeroBoundsClamp)
{
    TFloatSpinEdit w;
    w.SetMinValue(5);
    w.SetMaxValue(5);
    w.SetValue(7);
    EXPECT_EQ(w.Text(), N("5.00"));
    // A reversed range: the upper bound has the last word, as in a stored file.
    w.SetMinValue(10);
    w.SetValue(7);
    EXPECT_EQ(w.Text(), N("5.00"));
}

TEST_P(FloatSpinTest, RefusesLettersButTakesExponents)
{
    BeepCounter beeps;
    TFloatSpinEdit w;
    w.SetFormat(TFloatFormat::General);
    Retype(w, QStringLiteral("12"));
    QSignalSpy changed(&w, &TFloatSpinEdit::changed);
    QTest::keyClicks(&w, QStringLiteral("a"));
    TypeText(w, QStringLiteral("ж"));
    EXPECT_EQ(beeps.count, 2);
    EXPECT_EQ(w.Text(), QStringLiteral("12"));
    EXPECT_EQ(changed.count(), 0);

    Retype(w, QStringLiteral("1e3"));
    EXPECT_EQ(beeps.count, 2);
    EXPECT_DOUBLE_EQ(w.Value(), 1000);
    Retype(w, N("-2.5E-1"));
    EXPECT_DOUBLE_EQ(w.Value(), -0.25);
}

TEST_P(FloatSpinTest, PointAndCommaKeysBothTypeTheUsersSeparator)
{
    BeepCounter beeps;
    TFloatSpinEdit w;
    MakeB0(w);
    for (const QString &sep : { QStringLiteral("."), QStringLiteral(",") }) {
        Retype(w, QStringLiteral("42") + sep + QStringLiteral("8"));
        EXPECT_EQ(w.Text(), N("42.8")) << sep.toStdString();
        EXPECT_DOUBLE_EQ(w.Value(), 42.8);
    }
    QTest::keyClick(&w, Qt::Key_Period); // a second separator is typed, not read
    EXPECT_EQ(w.Text(), N("42.8."));
    EXPECT_DOUBLE_EQ(w.Value(), 0.1);
    EXPECT_EQ(beeps.count, 0);

    // Read-only and disabled editors refuse the key as before.
    w.SetReadOnly(true);
    Retype(w, QStringLiteral(","));
    EXPECT_EQ(w.Text(), N("42.8."));
    w.SetReadOnly(false);
    w.SetEditorEnabled(false);
    QTest::keyClicks(&w, OtherSep());
    EXPECT_EQ(w.Text(), N("42.8."));
    EXPECT_EQ(beeps.count, 1);
}

TEST_P(FloatSpinTest, TextsThatAreNotNumbersReadAsMinValue)
{
    TFloatSpinEdit w;
    MakeB0(w);
    for (const QString &text : { N("1.2.3"), QStringLiteral("-"), QString(),
             QStringLiteral("1,2.3"), QStringLiteral("1e"), QStringLiteral("1e999") }) {
        w.SetText(text);
        EXPECT_DOUBLE_EQ(w.Value(), 0.1) << text.toStdString();
    }
    w.SetText(N("2.25"));
    EXPECT_DOUBLE_EQ(w.Value(), 2.25);
    w.SetText(OtherSep() + u'5'); // pasted from another locale
    EXPECT_DOUBLE_EQ(w.Value(), 0.5);
}

TEST_P(FloatSpinTest, ALongValueShowsItsLeadingDigits)
{
    TFloatSpinEdit w;
    w.SetFormat(TFloatFormat::General);
    w.SetValue(1234.0684931506849);
    EXPECT_EQ(EditorOf(w)->cursorPosition(), 0);
}

TEST_P(FloatSpinTest, ShowsEachFormat)
{
    TFloatSpinEdit w;
    w.SetFormat(TFloatFormat::General);
    w.SetValue(0.1);
    EXPECT_EQ(w.Text(), N("0.1"));
    w.SetValue(0.00002);
    EXPECT_DOUBLE_EQ(w.Value(), 0.00002); // the shortest form still reads back
    w.SetFormat(TFloatFormat::Fixed);
    w.SetDigits(4);
    w.SetValue(0.005);
    EXPECT_EQ(w.Text(), N("0.0050"));
    w.SetFormat(TFloatFormat::Exponent);
    w.SetValue(1234.5);
    EXPECT_DOUBLE_EQ(w.Value(), 1234.5);
    // The formats that add separators or a symbol still read back.
    w.SetDigits(2);
    w.SetFormat(TFloatFormat::Number);
    w.SetValue(-1234567.25);
    EXPECT_DOUBLE_EQ(w.Value(), -1234567.25);
    w.SetFormat(TFloatFormat::Currency);
    w.SetValue(1234.5);
    EXPECT_DOUBLE_EQ(w.Value(), 1234.5) << w.Text().toStdString();
}

TEST_P(FloatSpinTest, ValuesThatCannotBeShownShowTheMinimum)
{
    TFloatSpinEdit w;
    MakeB0(w);
    w.SetValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(w.Text(), N("0.10"));
    w.SetMinValue(0);
    w.SetMaxValue(0);
    w.SetValue(std::numeric_limits<double>::infinity());
    EXPECT_EQ(w.Text(), N("0.00"));
}

class IntSpinTest : public LocaleTest { };
VALDRIN_LOCALES(IntSpinTest);

TEST_P(IntSpinTest, EmptyTextStepsFromTheMinimum)
{
    TSpinEdit w;
    w.SetMinValue(1);
    w.SetMaxValue(100);
    w.SetText(QString());
    EXPECT_EQ(w.Value(), 1);
    QTest::keyClick(&w, Qt::Key_Up);
    EXPECT_EQ(w.Text(), QStringLiteral("2"));
}

TEST_P(IntSpinTest, Spin10PagesByTenAndClampsAtTheEnds)
{
    TSpin10Edit w;
    w.SetMinValue(1);
    w.SetMaxValue(100);
    w.SetValue(95);
    QTest::keyClick(&w, Qt::Key_PageUp);
    EXPECT_EQ(w.Text(), QStringLiteral("100"));
    w.SetValue(5);
    QTest::keyClick(&w, Qt::Key_PageDown);
    EXPECT_EQ(w.Text(), QStringLiteral("1"));
    w.SetValue(1);
    QTest::keyClick(&w, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(w.Text(), QStringLiteral("100"));
}

TEST_P(IntSpinTest, PlainSpinEditIgnoresPageKeys)
{
    TSpinEdit w;
    w.SetValue(7);
    QTest::keyClick(&w, Qt::Key_PageUp);
    QTest::keyClick(&w, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(w.Text(), QStringLiteral("7"));
}

TEST_P(IntSpinTest, RangeRulesOfTheTwoKinds)
{
    TSpinEdit plain;
    plain.SetMinValue(5);
    plain.SetMaxValue(5);
    plain.SetValue(7);
    EXPECT_EQ(plain.Value(), 7);
    plain.SetMinValue(1);
    plain.SetMaxValue(10);
    plain.SetValue(-3);
    EXPECT_EQ(plain.Value(), 1);

    // Equal non-zero bounds clamp a TSpin10Edit when it steps or is left,
    // not when it is set from outside.
    TSpin10Edit ten;
    ten.SetMinValue(5);
    ten.SetMaxValue(5);
    ten.SetValue(7);
    EXPECT_EQ(ten.Value(), 7);
    Leave(ten);
    EXPECT_EQ(ten.Value(), 5);
    ten.SetValue(7);
    QTest::keyClick(&ten, Qt::Key_Up);
    EXPECT_EQ(ten.Value(), 5);
}

TEST_P(IntSpinTest, StepsStopAtThe32BitLimits)
{
    TSpin10Edit w;
    w.SetValue(INT_MAX - 5);
    QTest::keyClick(&w, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(w.Value(), INT_MAX);
    w.SetIncrement(INT_MAX);
    w.SetValue(INT_MIN);
    QTest::keyClick(&w, Qt::Key_PageDown);
    EXPECT_EQ(w.Value(), INT_MIN);
}

TEST_P(IntSpinTest, NonNumbersReadAsMinValue)
{
    BeepCounter beeps;
    TSpinEdit w;
    w.SetMinValue(3);
    w.SetMaxValue(50);
    for (const QString &text :
        { QStringLiteral("-"), N("1.5"), QStringLiteral("12a"), QStringLiteral("99999999999") }) {
        w.SetText(text);
        EXPECT_EQ(w.Value(), 3) << text.toStdString();
    }
    // An integer edit takes the separator as a key but not the exponent.
    Retype(w, N("1."));
    QTest::keyClicks(&w, QStringLiteral("e"));
    EXPECT_EQ(beeps.count, 1);
    EXPECT_EQ(w.Text(), N("1."));
}

class SpinKeysTest : public LocaleTest { };
VALDRIN_LOCALES(SpinKeysTest);

TEST_P(SpinKeysTest, EnterBeepsInEveryKindAndChangesNothing)
{
    BeepCounter beeps;
    TSpinEdit plain;
    TSpin10Edit ten;
    TFloatSpinEdit real;
    plain.SetValue(4);
    ten.SetValue(5);
    real.SetValue(1.25);
    const std::vector<TCustomSpinEdit *> all { &plain, &ten, &real };
    for (TCustomSpinEdit *w : all) {
        const QString before = w->Text();
        QSignalSpy finished(w, &QAbstractSpinBox::editingFinished);
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Enter);
        EXPECT_EQ(w->Text(), before);
        EXPECT_EQ(finished.count(), 0);
    }
    EXPECT_EQ(beeps.count, 6);
}

TEST_P(SpinKeysTest, ChangedFiresOnlyWhenTheTextChanges)
{
    TFloatSpinEdit w;
    MakeB0(w);
    QSignalSpy changed(&w, &TFloatSpinEdit::changed);
    w.SetValue(1.5);
    w.SetValue(1.501); // shows the same text
    EXPECT_EQ(changed.count(), 0);
    w.SetValue(2);
    EXPECT_EQ(changed.count(), 1);
    EditorOf(w)->end(false); // a value set from outside shows its start
    QTest::keyClick(&w, Qt::Key_Backspace);
    EXPECT_EQ(changed.count(), 2);
    QTest::keyClick(&w, Qt::Key_Up); // from 2.0, read as typed
    EXPECT_EQ(w.Text(), N("2.01"));
    EXPECT_EQ(changed.count(), 3);
}

TEST_P(SpinKeysTest, ReadOnlyBeepsOnSteps)
{
    BeepCounter beeps;
    TSpin10Edit w;
    w.SetValue(10);
    w.SetReadOnly(true);
    QTest::keyClick(&w, Qt::Key_Up);
    QTest::keyClick(&w, Qt::Key_PageDown);
    QTest::keyClicks(&w, QStringLiteral("3"));
    EXPECT_EQ(beeps.count, 2);
    EXPECT_EQ(w.Text(), QStringLiteral("10"));
    w.SetValue(20); // setting from the program still works
    EXPECT_EQ(w.Text(), QStringLiteral("20"));
}

TEST_P(SpinKeysTest, DisabledEditorRefusesTypingButSteps)
{
    BeepCounter beeps;
    TFloatSpinEdit w;
    w.SetFormat(TFloatFormat::General);
    w.SetValue(8);
    w.SetEditorEnabled(false);
    QTest::keyClicks(&w, QStringLiteral("5"));
    QTest::keyClick(&w, Qt::Key_Backspace);
    QTest::keyClick(&w, Qt::Key_Home);
    QTest::keyClick(&w, Qt::Key_Delete);
    EXPECT_EQ(beeps.count, 3);
    EXPECT_EQ(w.Text(), QStringLiteral("8"));

    QApplication::clipboard()->setText(QStringLiteral("77"));
    w.selectAll();
    QTest::keyClick(&w, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&w, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(&w, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(w.Text(), QStringLiteral("8"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("77"));

    QTest::keyClick(&w, Qt::Key_Up);
    EXPECT_EQ(w.Text(), QStringLiteral("9"));

    w.SetEditorEnabled(true);
    w.selectAll();
    QTest::keyClick(&w, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(w.Text(), QStringLiteral("77"));
}

TEST_P(SpinKeysTest, AutoSelectOnKeyboardEntryOnly)
{
    TSpinEdit w;
    w.SetValue(123);
    EditorOf(w)->deselect();
    Enter(w, Qt::TabFocusReason);
    EXPECT_EQ(EditorOf(w)->selectedText(), QStringLiteral("123"));
    Leave(w);
    EditorOf(w)->deselect();
    Enter(w, Qt::MouseFocusReason);
    EXPECT_FALSE(EditorOf(w)->hasSelectedText());
    Leave(w);
    w.SetAutoSelect(false);
    Enter(w, Qt::TabFocusReason);
    EXPECT_FALSE(EditorOf(w)->hasSelectedText());
}

class SpinButtonsTest : public LocaleTest { };
VALDRIN_LOCALES(SpinButtonsTest);

TEST_P(SpinButtonsTest, ClickStepsOnceOnRelease)
{
    FakeClock clock;
    TSpinEdit w;
    w.resize(80, 24);
    const QPoint up = w.ButtonRect(true).center();
    const QPoint down = w.ButtonRect(false).center();
    ASSERT_NE(up, down);
    QTest::mousePress(&w, Qt::LeftButton, {}, up);
    EXPECT_EQ(w.Value(), 0);
    clock.Advance(100);
    QTest::mouseRelease(&w, Qt::LeftButton, {}, up);
    EXPECT_EQ(w.Value(), 1);
    QTest::mouseClick(&w, Qt::LeftButton, {}, down);
    QTest::mouseClick(&w, Qt::LeftButton, {}, down);
    EXPECT_EQ(w.Value(), -1);
    clock.Advance(1000); // nothing is held: no more steps
    EXPECT_EQ(w.Value(), -1);
}

TEST_P(SpinButtonsTest, HeldButtonRepeatsAfter400ThenEvery100)
{
    FakeClock clock;
    TFloatSpinEdit w;
    w.SetIncrement(0.5);
    w.resize(80, 24);
    const QPoint up = w.ButtonRect(true).center();
    QTest::mousePress(&w, Qt::LeftButton, {}, up);
    clock.Advance(399);
    EXPECT_EQ(w.Text(), QStringLiteral("0"));
    clock.Advance(1);
    EXPECT_EQ(w.Text(), N("0.50"));
    clock.Advance(99);
    EXPECT_EQ(w.Text(), N("0.50"));
    clock.Advance(1);
    EXPECT_EQ(w.Text(), N("1.00"));
    clock.Advance(200);
    EXPECT_EQ(w.Text(), N("2.00"));
    QTest::mouseRelease(&w, Qt::LeftButton, {}, up);
    EXPECT_EQ(w.Text(), N("2.50"));
    clock.Advance(1000);
    EXPECT_EQ(w.Text(), N("2.50"));
}

TEST_P(SpinButtonsTest, HeldOffTheButtonDoesNotStep)
{
    FakeClock clock;
    TSpinEdit w;
    w.resize(80, 24);
    const QPoint down = w.ButtonRect(false).center();
    QTest::mousePress(&w, Qt::LeftButton, {}, down);
    clock.Advance(400);
    EXPECT_EQ(w.Value(), -1);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), w.mapToGlobal(QPointF(5, 5)), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &move);
    clock.Advance(500);
    EXPECT_EQ(w.Value(), -1);
    QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(w.Value(), -1);
}

TEST_P(SpinButtonsTest, ReadOnlyButtonBeeps)
{
    FakeClock clock;
    BeepCounter beeps;
    TSpinEdit w;
    w.resize(80, 24);
    w.SetReadOnly(true);
    QTest::mouseClick(&w, Qt::LeftButton, {}, w.ButtonRect(true).center());
    EXPECT_EQ(beeps.count, 1);
    EXPECT_EQ(w.Value(), 0);
}

TEST(ComBoxTest, NothingChosenUntilAnItemIsPicked)
{
    TComBox box;
    EXPECT_FALSE(box.isEditable());
    QSignalSpy changes(&box, &QComboBox::currentIndexChanged);
    box.addItems({ QStringLiteral("f"), QStringLiteral("p1"), QStringLiteral("p2") });
    box.addItem(QStringLiteral("p3"));
    EXPECT_EQ(box.ItemIndex(), -1);
    EXPECT_EQ(changes.count(), 0);
    box.SetItemIndex(2);
    EXPECT_EQ(box.ItemIndex(), 2);
    EXPECT_EQ(box.currentText(), QStringLiteral("p2"));
    box.addItem(QStringLiteral("p4"));
    EXPECT_EQ(box.ItemIndex(), 2);
    box.SetItemIndex(42);
    EXPECT_EQ(box.ItemIndex(), -1);
    box.SetItemIndex(-7);
    EXPECT_EQ(box.ItemIndex(), -1);
    box.clear();
    box.addItem(QStringLiteral("again"));
    EXPECT_EQ(box.ItemIndex(), -1);
}
