#include "device/AdvCmd.h"
#include "device/ScanReport.h"
#include "tests/LinkBench.h"

#include <QSerialPort>
#include <QtTest>

#include <atomic>
#include <memory>
#include <vector>

// The port scan as the link runs it: every listed port probed at once, the port of highest
// priority that answers taken, the others closed, and the report when no board answered.

using namespace linkbench;

namespace {

const QByteArray kHandshake = "ADV#\r";
const QByteArray kEchoOff = "ADV#ECHO=0\r";
const QString kMissingPort = QStringLiteral("/dev/lumivor-no-such-port");
// Chatter that keeps a board's line busy for about 400 ms at the line's pace, so that its
// handshake ends well after that of a board that answers at once.
const QByteArray kChatter(400, 'x');

enum class Port
{
    Board,
    SlowBoard, // answers, but only once its chatter has ended
    Silent,
    Missing,
};

} // namespace

Q_DECLARE_METATYPE(QVector<Port>)

class TestPortScan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ScanOnly({}); // never the machine's own ports
        QuietDebugOutput();
    }

    void whichPortIsTaken_data()
    {
        QTest::addColumn<QVector<Port>>("ports");
        QTest::addColumn<int>("lastFound");  // where the link found a board before; -1: nowhere
        QTest::addColumn<int>("taken");      // -1: none
        QTest::addColumn<QString>("report"); // %1, %2, ... are the ports in list order

        QTest::newRow("a board after silent ports")
            << QVector<Port>{Port::Silent, Port::Silent, Port::Board} << -1 << 2 << QString();
        QTest::newRow("of two boards, the first listed")
            << QVector<Port>{Port::Board, Port::Board} << -1 << 0 << QString();
        QTest::newRow("of two boards, the one that answered last")
            << QVector<Port>{Port::Board, Port::Board} << 1 << 1 << QString();
        QTest::newRow("a board listed first is waited for while a later one has answered")
            << QVector<Port>{Port::SlowBoard, Port::Board} << -1 << 0 << QString();
        QTest::newRow("no board: every port in the report, in list order")
            << QVector<Port>{Port::Silent, Port::Missing, Port::Silent} << -1 << -1
            << QString("No board found: %1 (no answer); %2 (could not be opened); %3 (no "
                       "answer).");
    }

    void whichPortIsTaken()
    {
        QFETCH(QVector<Port>, ports);
        QFETCH(int, lastFound);
        QFETCH(int, taken);
        QFETCH(QString, report);

        std::vector<std::unique_ptr<CSimulatedBoard>> boards;
        QStringList names;
        for (const Port port : ports) {
            if (port == Port::Missing) {
                boards.push_back(nullptr);
                names << kMissingPort;
                continue;
            }
            boards.push_back(std::make_unique<CSimulatedBoard>(BoardType::LumivorV2));
            if (port == Port::Silent)
                boards.back()->SetFault(Fault::Silent);
            boards.back()->SetPacing(port == Port::SlowBoard);
            QVERIFY(boards.back()->Start());
            names << boards.back()->PortName();
        }
        CAdvCmd link;
        QString name = "kept";
        if (lastFound >= 0) {
            link.SetPortDiscovery([&] { return QStringList{names[lastFound]}; });
            QVERIFY(link.OpenPort(&name));
        }
        link.SetPortDiscovery([&] { return names; });
        QStringList priority = names;
        if (lastFound >= 0)
            priority.move(lastFound, 0);
        for (int i = 0; i < ports.size(); ++i) {
            if (boards[size_t(i)])
                boards[size_t(i)]->ClearReceived();
            if (ports[i] == Port::SlowBoard)
                boards[size_t(i)]->Inject(kChatter);
        }

        QCOMPARE(link.OpenPort(&name), taken >= 0);
        QCOMPARE(link.IsConnected(), taken >= 0);
        if (taken >= 0)
            QCOMPARE(name, names[taken]);
        for (const QString &entry : names)
            report = report.isEmpty() ? report : report.arg(entry);
        QCOMPARE(link.LastScan().isEmpty() ? QString() : CScanReport::Message(link.LastScan()),
                 report);
        for (int i = 0; i < ports.size(); ++i) {
            const CSimulatedBoard *board = boards[size_t(i)].get();
            if (!board)
                continue;
            // Ports of higher priority than the one taken had to finish their handshake; the
            // others may have been closed before theirs.
            const bool waitedFor =
                taken < 0 || priority.indexOf(names[i]) < priority.indexOf(names[taken]);
            if (i == taken)
                QCOMPARE(Lines(*board), (QByteArrayList{kHandshake, kEchoOff}));
            else if (waitedFor)
                QCOMPARE(Lines(*board), QByteArrayList{kHandshake});
            else
                QVERIFY(HandshakeAtMost(*board));
            // Every port not taken is closed again, so another program may open it.
            if (i != taken) {
                QSerialPort other;
                other.setPortName(names[i]);
                QVERIFY2(other.open(QIODevice::ReadWrite), qPrintable(names[i]));
            }
        }
    }

    // The open of the first port blocks for 1.5 s: the scan reports it and does not wait for it;
    // when the open completes, the port is closed again without a byte written.
    void openThatBlocksIsNotWaitedFor()
    {
        CSimulatedBoard blocked(BoardType::LumivorV2);
        CSimulatedBoard silent(BoardType::LumivorV2);
        silent.SetFault(Fault::Silent);
        QVERIFY(blocked.Start() && silent.Start());
        ScanOnly({blocked.PortName(), silent.PortName()});
        const auto opened = std::make_shared<std::atomic<bool>>(false);
        CAdvCmd link;
        link.SetPortOpener([opened, path = blocked.PortName()](QSerialPort &port) {
            if (!path.endsWith(port.portName()))
                return port.open(QIODevice::ReadWrite);
            QThread::msleep(1500);
            const bool done = port.open(QIODevice::ReadWrite);
            *opened = done;
            return done;
        });
        QString name;

        QVERIFY(!link.OpenPort(&name));
        QCOMPARE(CScanReport::Message(link.LastScan()),
                 QString("No board found: %1 (did not open within 1 s); %2 (no answer).")
                     .arg(blocked.PortName(), silent.PortName()));
        QVERIFY(WaitUntil([&] { return opened->load(); }));
        QVERIFY(WaitUntil([&] {
            QSerialPort again;
            again.setPortName(blocked.PortName());
            return again.open(QIODevice::ReadWrite);
        }));
        QVERIFY(Lines(blocked).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPortScan)
#include "test_portscan.moc"
