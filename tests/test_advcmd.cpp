#include "device/AdvCmd.h"
#include "tests/LinkBench.h"

#include <QSerialPort>
#include <QtTest>

#include <memory>

// The link's transaction, its reply parsing and its debug output, and the port scan with its
// handshake, against simulated boards.

using namespace linkbench;

namespace {

const QByteArray kHandshake = "ADV#\r";
const QByteArray kEchoOff = "ADV#ECHO=0\r";

// The text of a reply as the link reads it: UTF-8 up to the first NUL byte.
QString TextOf(const QByteArray &reply)
{
    const int nul = reply.indexOf('\0');
    return QString::fromUtf8(nul >= 0 ? reply.left(nul) : reply);
}

// Two texts with a NUL byte between them.
QByteArray WithNul(const char *before, const char *after)
{
    return QByteArray(before) + '\0' + QByteArray(after);
}

// A board for the port scan: running, and silent, junk-speaking or normal as asked.
std::unique_ptr<CSimulatedBoard> StartedBoard(Fault fault = Fault::None)
{
    auto board = std::make_unique<CSimulatedBoard>(BoardType::LumivorV2);
    if (fault != Fault::None)
        board->SetFault(fault);
    if (!board->Start())
        return nullptr;
    return board;
}

} // namespace

class TestAdvCmd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No test may ever scan the machine's own serial ports.
        ScanOnly({});
        QuietDebugOutput();
    }

    void handshakeThenEchoOff()
    {
        CSimulatedBoard board(BoardType::LumivorV1);
        QVERIFY(board.Start());
        ScanOnly({board.PortName()});
        CAdvCmd link;
        QString name = "before";

        QVERIFY(link.OpenPort(&name));
        QCOMPARE(name, board.PortName());
        QCOMPARE(link.PortName(), board.PortName());
        QVERIFY(link.IsConnected());
        QCOMPARE(Lines(board), (QByteArrayList{kHandshake, kEchoOff}));
    }

    void parsesReplies_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("skip");
        QTest::addColumn<QByteArray>("reply"); // injected unasked; empty: nothing comes
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("fields");

        QTest::newRow("the character before the CR is dropped")
            << QByteArray("ADV#OUTPUT=?\r") << 5 << QByteArray("+OUTPUT=1,2,3x\r\nOK\r\n") << true
            << QStringList{"1", "2", "3"};
        QTest::newRow("two data lines make one list")
            << QByteArray("ADV#COUTPUT=?\r") << 5
            << QByteArray("+COUTPUT=1,0,5;\r\n+COUTPUT=2,3,6;\r\nOK\r\n") << true
            << QStringList{"1", "0", "5", "2", "3", "6"};
        QTest::newRow("OK without a data line")
            << QByteArray("ADV#WAKE=?\r") << 5 << QByteArray("OK\r\n") << false << QStringList();
        QTest::newRow("OK inside a field stands for the OK line")
            << QByteArray("ADV#VERSION\r") << 3 << QByteArray("+VERSION=2OK-1.0;\r\n") << true
            << QStringList{"2OK-1.0"};
        QTest::newRow("no reply") << QByteArray("ADV#POWER=?\r") << 5 << QByteArray() << false
                                  << QStringList();
        QTest::newRow("data lines without OK")
            << QByteArray("ADV#POWER=?\r") << 5 << QByteArray("+POWER=1,2,2,0;\r\nERROR\r\n")
            << false << QStringList();
        QTest::newRow("a line without CR keeps its comma-ended fields")
            << QByteArray("ADV#OUTPUT=?\r") << 5 << QByteArray("OK\n+OUTPUT=1,2,3") << false
            << QStringList{"1", "2"};
        QTest::newRow("an unterminated line after a complete one")
            << QByteArray("ADV#OUTPUT=?\r") << 5 << QByteArray("OK\r\n+OUTPUT=1,2;\r\n+OUTPUT=3,4")
            << true << QStringList{"1", "2", "3"};
        QTest::newRow("text before the first plus is skipped")
            << QByteArray("ADV#OUTPUT=?\r") << 5
            << QByteArray("ADV#OUTPUT=?\rnoise, more\r\n+OUTPUT=4,5;\r\nOK\r\n") << true
            << QStringList{"4", "5"};
        QTest::newRow("text after the last data line is skipped")
            << QByteArray("ADV#POWER=?\r") << 5 << QByteArray("+POWER=1,2;\r\nOK\r\nlate,3,4")
            << true << QStringList{"1", "2"};
        QTest::newRow("a NUL byte ends the text")
            << QByteArray("ADV#OUTPUT=?\r") << 5
            << WithNul("+OUTPUT=1,2,3;\r\n", "+OUTPUT=4,5;\r\nOK\r\n") << true
            << QStringList{"1", "2", "3"};
        QTest::newRow("a NUL byte before the data line leaves no text")
            << QByteArray("ADV#OUTPUT=?\r") << 5 << WithNul("", "+OUTPUT=1,2;\r\nOK\r\n") << false
            << QStringList();
        QTest::newRow("a CR right after the header gives one empty field")
            << QByteArray("ADV#VERSION\r") << 3 << QByteArray("+VERSION=\r\nOK\r\n") << true
            << QStringList{""};
        QTest::newRow("a comma before the CR is the dropped character")
            << QByteArray("ADV#POWER=?\r") << 5 << QByteArray("+POWER=1,\r\nOK\r\n") << true
            << QStringList{"1"};
        QTest::newRow("a line shorter than its header yields nothing")
            << QByteArray("ADV#VERSION\r") << 3 << QByteArray("+V\r\nOK\r\n") << false
            << QStringList();
        QTest::newRow("empty fields between commas are kept")
            << QByteArray("ADV#WAKE=?\r") << 5
            << QByteArray("+WAKE=0,1,,\"00:10:00\",12;\r\nOK\r\n") << true
            << QStringList{"0", "1", "", "\"00:10:00\"", "12"};
        QTest::newRow("the header is skipped, not compared")
            << QByteArray("ADV#OUTPUT=?\r") << 5 << QByteArray("+XXXXXX=7,8;\r\nOK\r\n") << true
            << QStringList{"7", "8"};
        QTest::newRow("skip 3: header of the version")
            << QByteArray("ADV#VERSION\r") << 3 << QByteArray("+VERSION=1LV1-2.04;\r\nOK\r\n")
            << true << QStringList{"1LV1-2.04"};
        QTest::newRow("skip 3: header of an analog input with its digit")
            << QByteArray("ADV#INPUTA=3\r") << 3 << QByteArray("+INPUTA=3,1.25;\r\nOK\r\n") << true
            << QStringList{"1.25"};
        QTest::newRow("skip 5: header of the time")
            << QByteArray("ADV#TIME=?\r") << 5 << QByteArray("+TIME=\"14:05:00\";\r\nOK\r\n")
            << true << QStringList{"\"14:05:00\""};
    }

    // Each reply is the board's answer to the request, from a board that answers nothing
    // itself, so the link reads exactly these bytes.
    void parsesReplies()
    {
        QFETCH(QByteArray, command);
        QFETCH(int, skip);
        QFETCH(QByteArray, reply);
        QFETCH(bool, result);
        QFETCH(QStringList, fields);

        Bench bench;
        QVERIFY(bench.Connect());
        bench.board.SetFault(Fault::Silent);
        LogCapture log;
        QStringList got{"left from before"};
        bench.board.ReplyToNextCommand(reply);

        QCOMPARE(bench.link.GetCmd(skip, command, &got), result);
        QCOMPARE(got, fields);
        QCOMPARE(Lines(bench.board), QByteArrayList{command});

        // The raw reply is logged when it holds "OK", and only then.
        const QVector<LoggedMessage> logged = log.From(GetCmdFunction());
        if (reply.contains("OK")) {
            QCOMPARE(logged.size(), 1);
            QCOMPARE(logged[0].message, QLatin1Char('"') + TextOf(reply) + QLatin1Char('"'));
        } else {
            QCOMPARE(logged.size(), 0);
        }
    }

    void rawReplyIsLoggedUnderTheTransactionsName()
    {
        Bench bench;
        QVERIFY(bench.Connect());
        LogCapture log;
        QStringList fields;

        QVERIFY(bench.link.GetCmd(3, "ADV#VERSION\r", &fields));
        const QVector<LoggedMessage> logged = log.Messages();
        QCOMPARE(logged.size(), 1);
        QCOMPARE(logged[0].type, QtDebugMsg);
        QCOMPARE(logged[0].category, QString("default"));
        QVERIFY2(logged[0].file.endsWith("AdvCmd.cpp"), qPrintable(logged[0].file));
        QCOMPARE(logged[0].function, GetCmdFunction());
        QCOMPARE(logged[0].message, QString("\"+VERSION=2LV2-1.12;\r\nOK\r\n\""));
    }

    void clockQueriesLogUnderTheirOwnNames_data()
    {
        QTest::addColumn<bool>("date");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("value");

        QTest::newRow("time") << false << true << "bool CAdvCmd::GetTime(QString*)"
                              << "\"09:15:30\"";
        QTest::newRow("date") << true << true << "bool CAdvCmd::GetDate(QString*)"
                              << "\"01/03/2025\"";
        QTest::newRow("unanswered time logs nothing")
            << false << false << "bool CAdvCmd::GetTime(QString*)"
            << "kept";
    }

    void clockQueriesLogUnderTheirOwnNames()
    {
        QFETCH(bool, date);
        QFETCH(bool, answered);
        QFETCH(QString, function);
        QFETCH(QString, value);

        Bench bench;
        QVERIFY(bench.Connect());
        bench.board.SetClock(QDateTime(QDate(2025, 3, 1), QTime(9, 15, 30)), false);
        if (!answered)
            bench.board.SetFault(Fault::Silent);
        LogCapture log;
        QString out = "kept";

        QCOMPARE(date ? bench.link.GetDate(&out) : bench.link.GetTime(&out), answered);
        QCOMPARE(out, value);
        const QVector<LoggedMessage> own = log.From(function);
        QCOMPARE(own.size(), answered ? 1 : 0);
        if (answered) {
            QCOMPARE(own[0].type, QtDebugMsg);
            QCOMPARE(own[0].category, QString("default"));
            QVERIFY2(own[0].file.endsWith("AdvCmd.cpp"), qPrintable(own[0].file));
            // The transaction logged the raw reply under its own name first.
            QCOMPARE(log.From(GetCmdFunction()).size(), 1);
        }
    }

    // Closing first is what lets the same port open again.
    void secondScanWhileConnectedFindsTheBoardAgain()
    {
        Bench bench;
        QVERIFY(bench.Connect());
        QString name = "before";

        QVERIFY(bench.link.OpenPort(&name));
        QCOMPARE(name, bench.board.PortName());
        QVERIFY(bench.link.IsConnected());
        QCOMPARE(Lines(bench.board), (QByteArrayList{kHandshake, kEchoOff}));

        bench.board.ClearReceived();
        QString version;
        QVERIFY(bench.link.GetVersion(&version));
        QCOMPARE(version, QString("2LV2-1.12"));
    }

    void scanFailsWithoutAnAnsweringPort_data()
    {
        QTest::addColumn<QStringList>("ports");
        QTest::newRow("no ports") << QStringList();
        QTest::newRow("a port that does not exist") << QStringList{"/dev/lumivor-no-such-port"};
    }

    void scanFailsWithoutAnAnsweringPort()
    {
        QFETCH(QStringList, ports);
        ScanOnly(ports);
        CAdvCmd link;
        QString name = "kept";

        QVERIFY(!link.OpenPort(&name));
        QCOMPARE(name, QString("kept"));
        QVERIFY(!link.IsConnected());
        QString version = "kept";
        QVERIFY(!link.GetVersion(&version));
        QCOMPARE(version, QString("kept"));
    }

    // A failed scan leaves the link down: queries fail at once and nothing reaches the board.
    void failedScanWhileConnectedDisconnects()
    {
        Bench bench;
        QVERIFY(bench.Connect());
        ScanOnly({});
        QString name = "kept";

        QVERIFY(!bench.link.OpenPort(&name));
        QCOMPARE(name, QString("kept"));
        QVERIFY(!bench.link.IsConnected());
        QString version;
        QVERIFY(!bench.link.GetVersion(&version));
        QVERIFY(!bench.link.SetTime("\"10:00:00\""));
        QVERIFY(!bench.board.WaitForReceived(1, 300));
    }

    void boardOnTheSecondPort_data()
    {
        QTest::addColumn<Fault>("first");
        QTest::addColumn<QByteArrayList>("firstReceives");

        QTest::newRow("first port silent") << Fault::Silent << QByteArrayList{kHandshake};
        QTest::newRow("first port answers without OK") << Fault::NoOk << QByteArrayList{kHandshake};
        QTest::newRow("first port answers junk") << Fault::Garbage << QByteArrayList{kHandshake};
    }

    // The ports are tried in the order given; the first one that answers "OK" is kept.
    void boardOnTheSecondPort()
    {
        QFETCH(Fault, first);
        QFETCH(QByteArrayList, firstReceives);

        const auto other = StartedBoard(first);
        QVERIFY(other);
        Bench bench;
        QVERIFY(bench.board.Start());
        ScanOnly({other->PortName(), bench.board.PortName()});
        QString name;

        QVERIFY(bench.link.OpenPort(&name));
        QCOMPARE(name, bench.board.PortName());
        QCOMPARE(Lines(*other), firstReceives);
        QCOMPARE(Lines(bench.board), (QByteArrayList{kHandshake, kEchoOff}));

        // Later exchanges go to the board that answered.
        other->ClearReceived();
        bench.board.ClearReceived();
        QString version;
        QVERIFY(bench.link.GetVersion(&version));
        QCOMPARE(Lines(bench.board), QByteArrayList{"ADV#VERSION\r"});
        QVERIFY(Lines(*other).isEmpty());
    }

    // A new scan takes the port that answered last as soon as it answers: the silent ports listed
    // before it, probed at the same time, hold nothing up and get no more than the handshake.
    void portThatAnsweredLastIsTriedFirst()
    {
        const auto silent1 = StartedBoard(Fault::Silent);
        const auto silent2 = StartedBoard(Fault::Silent);
        QVERIFY(silent1 && silent2);
        Bench bench;
        QVERIFY(bench.board.Start());
        ScanOnly({silent1->PortName(), silent2->PortName(), bench.board.PortName()});
        QString name;
        QVERIFY(bench.link.OpenPort(&name));
        silent1->ClearReceived();
        silent2->ClearReceived();
        bench.board.ClearReceived();

        QVERIFY(bench.link.OpenPort(&name));
        QCOMPARE(name, bench.board.PortName());
        QCOMPARE(Lines(bench.board), (QByteArrayList{kHandshake, kEchoOff}));
        QVERIFY(HandshakeAtMost(*silent1));
        QVERIFY(HandshakeAtMost(*silent2));
    }

    void dataBeforeTheHandshake_data()
    {
        QTest::addColumn<QByteArray>("early");
        QTest::addColumn<bool>("found");

        QTest::newRow("an OK waiting in the buffer answers the handshake")
            << QByteArray("OK\r\n") << true;
        QTest::newRow("junk waiting in the buffer does not") << QByteArray("boot 1.0\r\n") << false;
        QTest::newRow("nothing waiting, no OK in the answer") << QByteArray() << false;
    }

    // The board answers the handshake with its echo only; whatever it sent before the
    // handshake is part of the reply.
    void dataBeforeTheHandshake()
    {
        QFETCH(QByteArray, early);
        QFETCH(bool, found);

        CSimulatedBoard board(BoardType::LumivorV2);
        board.SetFault(Fault::NoOk, kHandshake);
        QVERIFY(board.Start());
        if (!early.isEmpty()) {
            board.Inject(early);
            QVERIFY(WaitForSent(board, early.size()));
        }
        ScanOnly({board.PortName()});
        CAdvCmd link;
        QString name = "kept";

        QCOMPARE(link.OpenPort(&name), found);
        QCOMPARE(link.IsConnected(), found);
        QCOMPARE(name, found ? board.PortName() : QString("kept"));
        QCOMPARE(Lines(board),
                 found ? (QByteArrayList{kHandshake, kEchoOff}) : QByteArrayList{kHandshake});
    }

    void babblingPortCountsAsNotAnswering_data()
    {
        QTest::addColumn<bool>("goodPortAfter");
        QTest::newRow("only a babbling port") << false;
        QTest::newRow("a babbling port, then a board") << true;
    }

    // A port that never falls silent must not hold the scan: it is given up, unanswered.
    void babblingPortCountsAsNotAnswering()
    {
        QFETCH(bool, goodPortAfter);

        const auto babbler = StartedBoard(Fault::Babble);
        QVERIFY(babbler);
        Bench bench;
        QVERIFY(bench.board.Start());
        QStringList ports{babbler->PortName()};
        if (goodPortAfter)
            ports << bench.board.PortName();
        ScanOnly(ports);
        QString name = "kept";

        QCOMPARE(bench.link.OpenPort(&name), goodPortAfter);
        QCOMPARE(name, goodPortAfter ? bench.board.PortName() : QString("kept"));
        if (goodPortAfter) {
            QCOMPARE(Lines(bench.board), (QByteArrayList{kHandshake, kEchoOff}));
            QString version;
            QVERIFY(bench.link.GetVersion(&version));
        }
    }

    // A link made and used on a thread of its own, with no event loop running: one per board.
    void linkOnAWorkerThread()
    {
        CSimulatedBoard board(BoardType::LumivorV2);
        QVERIFY(board.Start());
        QString name;
        QString version;
        QThread *worker = QThread::create([&] {
            CAdvCmd link;
            link.SetPortDiscovery([&] { return QStringList{board.PortName()}; });
            if (link.OpenPort(&name))
                link.GetVersion(&version);
        });
        worker->start();
        QVERIFY(worker->wait(kBoundMs));
        delete worker;

        QCOMPARE(name, board.PortName());
        QCOMPARE(version, QString("2LV2-1.12"));
    }

    void unplugWhileIdle_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("connectedAfter");

        QTest::newRow("a live type: the link is down") << int(BoardType::LumivorV2) << false;
        QTest::newRow("a file mode: the link stays up for its command files")
            << int(BoardType::LumivorV2File) << true;
    }

    // The board hangs up while nothing is exchanged: the link notices from the event loop, closes
    // its port and tells its handler, once, which may then close the link as a watcher would.
    void unplugWhileIdle()
    {
        QFETCH(int, type);
        QFETCH(bool, connectedAfter);
        Bench bench;
        QVERIFY(bench.Connect());
        const BoardType::Capabilities caps = BoardType::CapabilitiesOf(type);
        bench.link.SetBoardInfo(caps.outputs, caps.inputs, caps.powers, type);
        int told = 0;
        bool unplugged = false;
        bool connected = true;
        QString version;
        bool answered = true;
        bench.link.SetUnplugHandler([&] {
            ++told;
            unplugged = bench.link.WasUnplugged();
            connected = bench.link.IsConnected();
            answered = bench.link.GetVersion(&version);
            bench.link.ClosePort();
        });

        bench.board.HangUp();
        QTRY_COMPARE(told, 1);
        QVERIFY(unplugged);
        QCOMPARE(connected, connectedAfter);
        QVERIFY(!answered);
        QCOMPARE(bench.link.PortName(), bench.board.PortName());
        QTest::qWait(100);
        QCOMPARE(told, 1);
        QVERIFY(!bench.link.WasUnplugged());
    }

    void portHeldByAnotherProgramIsSkipped()
    {
        const auto held = StartedBoard();
        QVERIFY(held);
        QSerialPort holder;
        holder.setPortName(held->PortName());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        Bench bench;
        QVERIFY(bench.board.Start());
        ScanOnly({held->PortName(), bench.board.PortName()});
        QString name;

        QVERIFY(bench.link.OpenPort(&name));
        QCOMPARE(name, bench.board.PortName());
        QVERIFY(Lines(*held).isEmpty());
        QVERIFY(holder.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestAdvCmd)
#include "test_advcmd.moc"
