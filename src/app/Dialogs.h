// The window's message boxes and file dialogs behind one seam, so that tests
// can answer them without blocking.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QTranslator;
class QWidget;

namespace valdrin::app {

// A filter as the window's dialogs state it, pairs of description and mask
// separated by "|" ("INI|*.ini|Все файлы|*.*"), in Qt's form
// ("INI (*.ini);;Все файлы (*.*)").
QString QtFileFilter(const QString &pipeFilter);

// The extension of a Qt filter's first mask without the dot: "ini" for
// "INI (*.ini)"; empty for a filter of every name ("Все файлы (*)").
QString FilterExtension(const QString &qtFilter);

// name with the chosen filter's extension added when its file name has none.
QString WithFilterExtension(const QString &name, const QString &qtFilter);

// The window's title, which its message boxes carry too.
QString WindowTitle();

// Qt's own Russian texts (the file dialogs, standard buttons and messages),
// or null when the translations are not installed.
std::unique_ptr<QTranslator> LoadQtRussian();

// A file to save and the filter the user chose for it: its index among the
// pairs of the filter, -1 when the dialog does not tell.
struct TSaveTarget {
    QString Path; // empty: cancelled
    int Filter = -1;
};

// The size of a map file: pixels at Dpi (fonts are in points, so a higher
// resolution makes the same page finer, not larger).
struct TMapSize {
    int Width = 1600, Height = 1200; // pixels, 64 .. 16000
    double Dpi = 150; // 36 .. 2400
};

class TDialogs {
public:
    virtual ~TDialogs() = default;

    // A message box with the window's title and one OK button.
    virtual void ShowMessage(QWidget *parent, const QString &text);
    // A question with "Да" and "Нет"; true for "Да".
    virtual bool Ask(QWidget *parent, const QString &question);
    // The chosen path, or an empty text when the user cancelled. A name typed
    // without an extension takes the chosen filter's ("Все файлы" adds none).
    virtual QString OpenFileName(QWidget *parent, const QString &pipeFilter);
    // As OpenFileName; an existing file is replaced without a question.
    virtual QString SaveFileName(QWidget *parent, const QString &pipeFilter);
    // As SaveFileName, with the chosen filter, which picks the file's format.
    virtual TSaveTarget SaveFileTyped(QWidget *parent, const QString &pipeFilter);
    // A question answered by one of choices or "Отмена": the index of the
    // choice, -1 for "Отмена" or a closed box.
    virtual int Choose(QWidget *parent, const QString &question, const QStringList &choices);
    // Width, height and resolution of a map file, starting from size; false
    // when the user cancelled (size unchanged).
    virtual bool AskMapSize(QWidget *parent, TMapSize &size);
};

} // namespace valdrin::app
