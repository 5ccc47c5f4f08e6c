// The valdrin program: the main window and its event loop.
#include <QApplication>

#include "app/Main.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    valdrin::app::TMainForm form;
    form.show();
    return app.exec();
}
