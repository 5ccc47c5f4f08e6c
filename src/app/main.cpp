// The valdrin program: the main window and its event loop.
#include <QApplication>
#include <QTranslator>

#include "app/Dialogs.h"
#include "app/Main.h"
#include "app/WindowPlacement.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The window is Russian only, whatever the system's language.
    const auto qtRussian = valdrin::app::LoadQtRussian();
    if (qtRussian)
        QApplication::installTranslator(qtRussian.get());
    valdrin::app::TMainForm form;
    form.show();
    valdrin::app::KeepOnScreen(form);
    return app.exec();
}
