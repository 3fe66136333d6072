#include "app/CommandLine.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    CCommandLine::KeepStandardStreams();
    QCoreApplication::setApplicationName(QStringLiteral("lumivor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMIVOR_VERSION));
    // The programme-file commands run without a window, so without a display too.
    if (CCommandLine::RunsWithoutWindow(argc, argv)) {
        QCoreApplication application(argc, argv);
        return CCommandLine::Run(QCoreApplication::arguments());
    }

    // Without a display Qt would abort while it makes the application object.
    if (!CCommandLine::HasDisplay(argc, argv))
        return CCommandLine::kBadInput;
    QApplication application(argc, argv);
    QString programmeFile;
    if (!CCommandLine::SetUpWindow(QCoreApplication::arguments(), &programmeFile))
        return CCommandLine::kBadInput;
    // Ties the window to the installed desktop entry, for its icon and launch feedback.
    QApplication::setDesktopFileName(QStringLiteral("org.lumivor.Lumivor"));
    MainWindow window(programmeFile);
    window.show();
    return application.exec();
}
