#include "controls/SpinExt.h"

#include "common/MathRout.h"
#include "common/NumText.h"
#include "common/qt/DecimalSep.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QStyleOptionSpinBox>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>

namespace valdrin::controls {

namespace {

constexpr int kCreationWidth = 65; // pixels, the spin edits' width when created
constexpr int kMaxDigits = 18;

std::function<void()> &beepHandler()
{
    static std::function<void()> handler;
    return handler;
}

class TQtRepeatTimer : public TRepeatTimer {
public:
    TQtRepeatTimer()
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (OnTimeout)
                OnTimeout();
        });
    }
    void Start(int ms) override { m_timer.start(ms); }
    void Stop() override { m_timer.stop(); }

private:
    QTimer m_timer;
};

TRepeatTimerFactory &repeatTimerFactory()
{
    static TRepeatTimerFactory factory;
    return factory;
}

std::unique_ptr<TRepeatTimer> makeRepeatTimer()
{
    if (const auto &factory = repeatTimerFactory()) {
        if (auto timer = factory())
            return timer;
    }
    return std::make_unique<TQtRepeatTimer>();
}

// The user's decimal separator as the number routines take it. A locale
// whose separator is not one ASCII character falls back to the point.
char decimalSep()
{
    return common::qt::UserDecimalSep();
}

} // namespace

void SetBeepHandler(std::function<void()> handler)
{
    beepHandler() = std::move(handler);
}

void Beep()
{
    if (const auto &handler = beepHandler())
        handler();
    else
        QApplication::beep();
}

void SetRepeatTimerFactory(TRepeatTimerFactory factory)
{
    repeatTimerFactory() = std::move(factory);
}

// ---------------------------------------------------------------------------

TCustomSpinEdit::TCustomSpinEdit(QWidget *parent)
    : QAbstractSpinBox(parent)
{
    // The text is the value: nothing of the base class may reinterpret it.
    setKeyboardTracking(false);
    setAccelerated(false);
    setFocusPolicy(Qt::StrongFocus);
    lineEdit()->setAcceptDrops(false);
    connect(lineEdit(), &QLineEdit::textChanged, this, &TCustomSpinEdit::changed);
}

void TCustomSpinEdit::SetEditorEnabled(bool enabled)
{
    m_editorEnabled = enabled;
}

void TCustomSpinEdit::SetReadOnly(bool readOnly)
{
    setReadOnly(readOnly);
}

QString TCustomSpinEdit::Text() const
{
    return lineEdit()->text();
}

void TCustomSpinEdit::SetText(const QString &text)
{
    if (lineEdit()->text() == text)
        return;
    lineEdit()->setText(text);
    // A number longer than the field shows its leading digits, not a tail
    // such as "0684931506"; the field being edited keeps its cursor.
    if (!hasFocus())
        lineEdit()->setCursorPosition(0);
}

QSize TCustomSpinEdit::sizeHintFor(const QString &sample) const
{
    ensurePolished();
    const QFontMetrics fm(font());
    const int w = fm.horizontalAdvance(sample) + 2; // room for the cursor
    const int h = lineEdit()->sizeHint().height();
    QStyleOptionSpinBox opt;
    initStyleOption(&opt);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &opt, QSize(w, h), this);
}

QSize TCustomSpinEdit::sizeHint() const
{
    QSize hint = sizeHintFor(SampleText());
    hint.setWidth(std::max(hint.width(), kCreationWidth));
    return hint;
}

QSize TCustomSpinEdit::minimumSizeHint() const
{
    return sizeHintFor(QStringLiteral("000"));
}

void TCustomSpinEdit::stepBy(int steps)
{
    Step(steps);
}

void TCustomSpinEdit::Step(int factor)
{
    if (ReadOnly()) {
        Beep();
        return;
    }
    StepValue(factor);
}

QAbstractSpinBox::StepEnabled TCustomSpinEdit::stepEnabled() const
{
    // Both buttons always work; a read-only control answers them with a beep.
    return StepUpEnabled | StepDownEnabled;
}

void TCustomSpinEdit::initStyleOption(QStyleOptionSpinBox *option) const
{
    QAbstractSpinBox::initStyleOption(option);
    if (m_pressed != QStyle::SC_None && m_pressedOver) {
        option->activeSubControls = m_pressed;
        option->state |= QStyle::State_Sunken;
    }
}

bool TCustomSpinEdit::acceptsChar(QChar c) const
{
    const char16_t code = c.unicode();
    if (code == u'\r')
        return false;
    if (code < 32 || code == 127)
        return m_editorEnabled || code != u'\b';
    const QString dp = QLocale().decimalPoint();
    const bool accepted = code == u'+' || code == u'-' || (code >= u'0' && code <= u'9')
        || (dp.size() == 1 && c == dp[0]) || (AcceptsExponent() && (code == u'E' || code == u'e'));
    return accepted && m_editorEnabled;
}

void TCustomSpinEdit::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Up:
        Step(1);
        event->accept();
        return;
    case Qt::Key_Down:
        Step(-1);
        event->accept();
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (PageFactor() != 0) {
            const int factor = PageFactor() * (ctrl ? 10 : 1);
            Step(event->key() == Qt::Key_PageUp ? factor : -factor);
        }
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Beep();
        event->accept();
        return;
    default:
        break;
    }

    if (event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Paste)) {
        if (!m_editorEnabled || ReadOnly()) {
            event->accept();
            return;
        }
        QAbstractSpinBox::keyPressEvent(event);
        return;
    }
    if (!m_editorEnabled) {
        if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) {
            Beep();
            event->accept();
            return;
        }
        if (event->matches(QKeySequence::DeleteStartOfWord)
            || event->matches(QKeySequence::DeleteEndOfWord)
            || event->matches(QKeySequence::DeleteEndOfLine)
            || event->matches(QKeySequence::DeleteCompleteLine)
            || event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
            event->accept();
            return;
        }
    }
    // Characters typed without Ctrl, Alt or Meta are checked before the
    // editor sees them; shortcuts pass unchecked.
    const QString text = event->text();
    const bool typed
        = !text.isEmpty() && !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    // The point and the comma both type the user's separator: a keypad or a
    // habit gives either, and a refused key would turn 42.8 into 428.
    const QString dp = QLocale().decimalPoint();
    if (typed && text.size() == 1 && (text[0] == u'.' || text[0] == u',') && dp.size() == 1
        && text != dp) {
        if (!acceptsChar(dp[0])) {
            Beep();
            event->accept();
            return;
        }
        QKeyEvent asSeparator(event->type(), Qt::Key_unknown, mods, dp, event->isAutoRepeat());
        QAbstractSpinBox::keyPressEvent(&asSeparator);
        event->setAccepted(asSeparator.isAccepted());
        return;
    }
    if (typed) {
        for (QChar c : text) {
            if (!acceptsChar(c)) {
                Beep();
                event->accept();
                return;
            }
        }
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void TCustomSpinEdit::focusInEvent(QFocusEvent *event)
{
    QAbstractSpinBox::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    // A click places the cursor; coming back to the window or out of a menu
    // is not entering the control.
    const bool entered = reason != Qt::MouseFocusReason && reason != Qt::ActiveWindowFocusReason
        && reason != Qt::PopupFocusReason;
    if (m_autoSelect && entered)
        selectAll();
    else if (!m_autoSelect && lineEdit()->hasSelectedText() && entered)
        lineEdit()->deselect();
}

void TCustomSpinEdit::focusOutEvent(QFocusEvent *event)
{
    QAbstractSpinBox::focusOutEvent(event);
    if (RangeChangesValue())
        ApplyRange();
}

QStyle::SubControl TCustomSpinEdit::buttonAt(const QPoint &pos) const
{
    QStyleOptionSpinBox opt;
    QAbstractSpinBox::initStyleOption(&opt);
    const QStyle::SubControl sc
        = style()->hitTestComplexControl(QStyle::CC_SpinBox, &opt, pos, this);
    return (sc == QStyle::SC_SpinBoxUp || sc == QStyle::SC_SpinBoxDown) ? sc : QStyle::SC_None;
}

QRect TCustomSpinEdit::ButtonRect(bool up) const
{
    QStyleOptionSpinBox opt;
    QAbstractSpinBox::initStyleOption(&opt);
    return style()->subControlRect(
        QStyle::CC_SpinBox, &opt, up ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown, this);
}

void TCustomSpinEdit::mousePressEvent(QMouseEvent *event)
{
    const QStyle::SubControl sc = event->button() == Qt::LeftButton
        ? buttonAt(event->position().toPoint())
        : QStyle::SC_None;
    if (sc == QStyle::SC_None || m_pressed != QStyle::SC_None) {
        QAbstractSpinBox::mousePressEvent(event);
        return;
    }
    if (!hasFocus() && (focusPolicy() & Qt::ClickFocus))
        setFocus(Qt::MouseFocusReason);
    m_pressed = sc;
    m_pressedOver = true;
    m_timer = makeRepeatTimer();
    m_timer->OnTimeout = [this] { onRepeat(); };
    m_timer->Start(kRepeatDelay);
    update();
    event->accept();
}

void TCustomSpinEdit::onRepeat()
{
    if (m_pressed == QStyle::SC_None)
        return;
    if (!isEnabled()) {
        endPress(false);
        return;
    }
    const int sign = m_pressed == QStyle::SC_SpinBoxUp ? 1 : -1;
    if (m_timer)
        m_timer->Start(kRepeatInterval);
    // Held off the button, the timer runs on but does not step.
    if (m_pressedOver)
        Step(sign);
}

void TCustomSpinEdit::endPress(bool stepAgain)
{
    const int sign = m_pressed == QStyle::SC_SpinBoxUp ? 1 : -1;
    if (m_timer)
        m_timer->Stop();
    m_pressed = QStyle::SC_None;
    m_pressedOver = false;
    update();
    if (stepAgain)
        Step(sign);
}

void TCustomSpinEdit::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed == QStyle::SC_None) {
        QAbstractSpinBox::mouseMoveEvent(event);
        return;
    }
    const bool over = buttonAt(event->position().toPoint()) == m_pressed;
    if (over != m_pressedOver) {
        m_pressedOver = over;
        update();
    }
    event->accept();
}

void TCustomSpinEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressed == QStyle::SC_None || event->button() != Qt::LeftButton) {
        QAbstractSpinBox::mouseReleaseEvent(event);
        return;
    }
    endPress(buttonAt(event->position().toPoint()) == m_pressed);
    event->accept();
}

void TCustomSpinEdit::wheelEvent(QWheelEvent *event)
{
    // The wheel scrolls the page around the control, never the value.
    event->ignore();
}

void TCustomSpinEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = lineEdit()->createStandardContextMenu();
    if (!menu)
        return;
    const bool mayEdit = m_editorEnabled && !ReadOnly();
    for (QAction *action : menu->actions()) {
        const QString name = action->objectName();
        if (!mayEdit
            && (name == QLatin1String("edit-cut") || name == QLatin1String("edit-paste")
                || name == QLatin1String("edit-delete") || name == QLatin1String("edit-undo")
                || name == QLatin1String("edit-redo")))
            action->setEnabled(false);
    }
    menu->exec(event->globalPos());
    delete menu;
    event->accept();
}

// ---------------------------------------------------------------------------

TSpinEdit::TSpinEdit(QWidget *parent)
    : TCustomSpinEdit(parent)
{
    SetText(QStringLiteral("0"));
}

int TSpinEdit::Value() const
{
    const auto value = common::TextToInt(Text().toStdString());
    return value ? *value : m_min;
}

void TSpinEdit::SetValue(int value)
{
    SetValueRanged(value, m_min != m_max);
}

bool TSpinEdit::Clamps() const
{
    return m_min != m_max;
}

long long TSpinEdit::ranged(long long value, bool clamps) const
{
    if (clamps)
        value = common::ClampToRange<long long>(value, m_min, m_max);
    // Steps past the 32-bit range stop at its ends instead of wrapping.
    return std::clamp<long long>(value, INT_MIN, INT_MAX);
}

void TSpinEdit::SetValueRanged(long long value, bool clamps)
{
    SetText(QString::number(ranged(value, clamps)));
}

void TSpinEdit::StepValue(int factor)
{
    SetValueRanged(
        static_cast<long long>(Value()) + static_cast<long long>(m_increment) * factor, Clamps());
}

bool TSpinEdit::RangeChangesValue() const
{
    const int value = Value();
    return ranged(value, Clamps()) != value;
}

void TSpinEdit::ApplyRange()
{
    SetValueRanged(Value(), Clamps());
}

QString TSpinEdit::SampleText() const
{
    if (m_min == m_max && m_min == 0)
        return QStringLiteral("-100000");
    const QString a = QString::number(m_min), b = QString::number(m_max);
    return a.size() > b.size() ? a : b;
}

TSpin10Edit::TSpin10Edit(QWidget *parent)
    : TSpinEdit(parent)
{
    resize(kCreationWidth, sizeHint().height());
}

bool TSpin10Edit::Clamps() const
{
    return MinValue() != MaxValue() || MinValue() != 0;
}

// ---------------------------------------------------------------------------

TFloatSpinEdit::TFloatSpinEdit(QWidget *parent)
    : TCustomSpinEdit(parent)
{
    SetText(QStringLiteral("0"));
    resize(kCreationWidth, sizeHint().height());
}

void TFloatSpinEdit::SetDigits(int digits)
{
    m_digits = std::clamp(digits, 0, kMaxDigits);
}

double TFloatSpinEdit::Value() const
{
    QString text = Text();
    if (m_format == TFloatFormat::Number || m_format == TFloatFormat::Currency) {
        // Read back what these formats add around the number.
        const QLocale locale;
        text.remove(locale.groupSeparator());
        if (m_format == TFloatFormat::Currency)
            text.remove(locale.currencySymbol());
        text.remove(QChar(0x00A0));
        text.remove(QChar(0x202F));
        text = text.trimmed();
    }
    const auto value = common::TextToFloatAnySep(text.toStdString(), decimalSep());
    return value && std::isfinite(*value) ? *value : m_min;
}

double TFloatSpinEdit::ranged(double value) const
{
    if (m_min != m_max || m_min != 0)
        value = common::ClampToRange(value, m_min, m_max);
    return value;
}

QString TFloatSpinEdit::FormatValue(double value) const
{
    if (!std::isfinite(value))
        return {};
    const char sep = decimalSep();
    // Fixed forms with more integer digits than a real holds fall back to
    // the exponent form.
    const bool huge = std::fabs(value) >= 1e18;
    constexpr int kExpDigits = 15; // the significant digits a double holds
    switch (m_format) {
    case TFloatFormat::General:
        return QString::fromStdString(common::FormatGeneral(value, sep));
    case TFloatFormat::Exponent:
        return QString::fromStdString(common::FormatExponent(value, kExpDigits, sep));
    case TFloatFormat::Fixed:
        if (huge)
            return QString::fromStdString(common::FormatExponent(value, kExpDigits, sep));
        return QString::fromStdString(common::FormatFixed(value, m_digits, sep));
    case TFloatFormat::Number:
        if (huge)
            return QString::fromStdString(common::FormatExponent(value, kExpDigits, sep));
        return QLocale().toString(value, 'f', m_digits);
    case TFloatFormat::Currency:
        return QLocale().toCurrencyString(value, QLocale().currencySymbol(), m_digits);
    }
    return {};
}

void TFloatSpinEdit::SetValue(double value)
{
    QString text = FormatValue(ranged(value));
    if (text.isEmpty())
        text = FormatValue(ranged(m_min));
    if (text.isEmpty())
        text = QStringLiteral("0");
    SetText(text);
}

void TFloatSpinEdit::StepValue(int factor)
{
    SetValue(Value() + m_increment * factor);
}

bool TFloatSpinEdit::RangeChangesValue() const
{
    const double value = Value();
    return ranged(value) != value;
}

void TFloatSpinEdit::ApplyRange()
{
    SetValue(Value());
}

QString TFloatSpinEdit::SampleText() const
{
    if (m_min == m_max && m_min == 0)
        return FormatValue(-100000.0);
    const QString a = FormatValue(m_min), b = FormatValue(m_max);
    return a.size() > b.size() ? a : b;
}

// ---------------------------------------------------------------------------

TComBox::TComBox(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(false);
    setCurrentIndex(-1);
    // A combo box picks its first item when items arrive in an empty list;
    // this list keeps "nothing chosen" until an item is chosen. Connected
    // after the combo box's own handlers, so this runs last.
    connect(model(), &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        m_keepNone = currentIndex() == -1;
        if (m_keepNone)
            m_signalsWereBlocked = blockSignals(true);
    });
    connect(model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (!m_keepNone)
            return;
        m_keepNone = false;
        setCurrentIndex(-1);
        blockSignals(m_signalsWereBlocked);
    });
}

void TComBox::SetItemIndex(int index)
{
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

} // namespace valdrin::controls
