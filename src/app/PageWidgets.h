// Small pieces the window's pages are built from, and the rule for counts
// typed into a spin edit.
#pragma once

#include <QObject>
#include <QSize>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace valdrin::controls {
class TFloatSpinEdit;
class TStrGrid;
} // namespace valdrin::controls

namespace valdrin::app {

constexpr int kMapWidth = 504; // MapBitmap at the design size, pixels
constexpr int kMapHeight = 475;
constexpr int kMinMapWidth = 400, kMinMapHeight = 300; // the map panel's least size, pixels
constexpr int kRowHeight = 15; // default row height of the tables

// The user's decimal separator; a point where it is not one ASCII character.
char DecimalSep();

QString U8(const std::string &s);

QLabel *MakeLabel(const QString &text, QWidget *parent);
// A grey field that shows a result and takes no input.
QLineEdit *MakeReadOnlyEdit(const char *name, const char *text, QWidget *parent);
// A read-only number longer than its field shows its leading digits.
void ShowNumber(QLineEdit *edit, const QString &text);
QPushButton *MakeButton(const char *name, const char *caption, QWidget *parent);
// Range, step, format and value are set from the control lists afterwards.
controls::TFloatSpinEdit *MakeFloatEdit(const char *name, QWidget *parent);
controls::TStrGrid *MakeGrid(const char *name, int rows, int cols, QWidget *parent);

// The page size a map panel draws at: its own, or its size hint until the
// window is first shown, within the renderer's limits.
QSize MapPageSize(const QWidget *panel);

// A count typed digit by digit passes through values the user does not mean
// ("3" on the way to "30"); applying those would cut the tables and lose
// their rows. Typed counts apply when the edit is left; steps, the wheel and
// the mouse apply at once.
class TTypedCount : public QObject {
public:
    TTypedCount(QWidget *edit, std::function<void()> apply);

    // From the edit's change handler: true when the change waits for the
    // edit to be left.
    bool Defer();
    // The count was applied; nothing waits any more.
    void Applied() { m_pending = false; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_apply;
    bool m_typing = false; // the last key went into the text
    bool m_pending = false; // a typed change waits for the edit to be left
};

} // namespace valdrin::app
