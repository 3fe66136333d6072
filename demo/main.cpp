// Runs the tool's own window against a simulated Lumivor V1 board on a pseudo-terminal, so every
// feature can be tried without hardware. The board keeps what it is sent: after a save, "Connect"
// reads the new values back. Command files of the file modes go to the current directory.

#include "app/MainWindow.h"
#include "device/AdvCmd.h"
#include "sim/SimulatedBoard.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);

    CSimulatedBoard board(BoardType::LumivorV1);
    board.SetPacing(true); // as slow as a real 9600-baud line
    if (!board.Start()) {
        std::fprintf(stderr,
                     "lumivor-demo: cannot open a pseudo-terminal for the simulated board\n");
        return 1;
    }
    // The only port the demo scans is the simulated board's.
    CAdvCmd::SetDefaultPortDiscovery([&board] { return QStringList{board.PortName()}; });

    MainWindow window;
    window.show();
    return application.exec();
}
