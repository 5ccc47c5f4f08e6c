// The window's message boxes and file dialogs behind one seam, so that tests
// can answer them without blocking.
#pragma once

#include <QString>

class QWidget;

namespace valdrin::app {

// A filter as the window's dialogs state it, pairs of description and mask
// separated by "|" ("INI|*.ini|Все файлы|*.*"), in Qt's form
// ("INI (*.ini);;Все файлы (*.*)").
QString QtFileFilter(const QString &pipeFilter);

class TDialogs {
public:
    virtual ~TDialogs() = default;

    // A message box with the application's title and one OK button.
    virtual void ShowMessage(QWidget *parent, const QString &text);
    // The chosen path, or an empty text when the user cancelled.
    virtual QString OpenFileName(QWidget *parent, const QString &pipeFilter);
    // No default extension is added and an existing file is replaced without a question.
    virtual QString SaveFileName(QWidget *parent, const QString &pipeFilter);
};

} // namespace valdrin::app
