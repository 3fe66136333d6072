#include "app/MainWindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // Ties the window to the installed desktop entry, for its icon and launch feedback.
    QApplication::setDesktopFileName(QStringLiteral("org.lumivor.Lumivor"));
    MainWindow window;
    window.show();
    return application.exec();
}
