#include "sim/SimulatedBoard.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QtTest>

#include <functional>

// Talks raw bytes to the simulated board through a QSerialPort on its pseudo-terminal, the way
// the tool does.

Q_DECLARE_METATYPE(CSimulatedBoard::Fault)

namespace {

using Fault = CSimulatedBoard::Fault;

// Bound for bytes that must come; generous, since the machine may be slow and shared.
constexpr int kReplyBoundMs = 5000;
// Silence long enough to show that nothing (more) is coming from a board that sends at once.
constexpr int kQuietMs = 300;
constexpr char kOk[] = "OK\r\n";
constexpr char kError[] = "ERROR\r\n";

bool OpenPort(QSerialPort *port, const CSimulatedBoard &board)
{
    port->setPortName(board.PortName());
    if (!port->open(QIODevice::ReadWrite))
        return false;
    return port->setBaudRate(QSerialPort::Baud9600) && port->setDataBits(QSerialPort::Data8) &&
           port->setParity(QSerialPort::NoParity) && port->setStopBits(QSerialPort::OneStop) &&
           port->setFlowControl(QSerialPort::NoFlowControl);
}

void Write(QSerialPort *port, const QByteArray &bytes)
{
    port->write(bytes);
    port->waitForBytesWritten(kReplyBoundMs);
}

// Collects bytes until `done` holds for them or the bound passes.
QByteArray ReadUntil(QSerialPort *port, const std::function<bool(const QByteArray &)> &done,
                     int boundMs = kReplyBoundMs)
{
    QByteArray bytes = port->readAll();
    QElapsedTimer timer;
    timer.start();
    while (!done(bytes) && timer.elapsed() < boundMs) {
        if (port->waitForReadyRead(int(qMax<qint64>(1, boundMs - timer.elapsed()))))
            bytes += port->readAll();
    }
    return bytes;
}

// Everything that arrives until the line has been quiet for kQuietMs.
QByteArray ReadUntilQuiet(QSerialPort *port)
{
    QByteArray bytes = port->readAll();
    while (port->waitForReadyRead(kQuietMs))
        bytes += port->readAll();
    return bytes;
}

bool EndsWithStatus(const QByteArray &bytes)
{
    return bytes.endsWith(kOk) || bytes.endsWith(kError);
}

QByteArray Exchange(QSerialPort *port, const QByteArray &command)
{
    Write(port, command);
    return ReadUntil(port, EndsWithStatus);
}

// A board of `type`, running, with a port open on it and echo off, as the tool leaves it after
// its handshake.
struct Bench
{
    explicit Bench(int type = BoardType::LumivorV1) : board(type) {}

    bool Connect()
    {
        return board.Start() && OpenPort(&port, board) &&
               Exchange(&port, "ADV#ECHO=0\r") == "ADV#ECHO=0\rOK\r\n";
    }

    CSimulatedBoard board;
    QSerialPort port;
};

// The data lines of a reply that ends in "OK": each must start with `header` and end in
// ";\r\n". Returns false, with a message, for any other form.
bool SplitReply(const QByteArray &reply, const QByteArray &header, QVector<QByteArrayList> *lines,
                QByteArray *problem)
{
    lines->clear();
    if (!reply.endsWith(kOk)) {
        *problem = "no OK at the end: " + reply.left(200);
        return false;
    }
    QByteArrayList parts = reply.chopped(int(sizeof kOk) - 1).split('\n');
    parts.removeLast(); // empty after the last data line's LF
    for (const QByteArray &part : qAsConst(parts)) {
        if (!part.startsWith(header) || !part.endsWith(";\r")) {
            *problem = "malformed data line: " + part.left(200);
            return false;
        }
        lines->append(part.mid(header.size()).chopped(2).split(','));
    }
    return true;
}

QByteArrayList Fields(const QVector<QByteArrayList> &lines)
{
    QByteArrayList all;
    for (const QByteArrayList &line : lines)
        all += line;
    return all;
}

QByteArrayList Numbers(std::initializer_list<int> values)
{
    QByteArrayList list;
    for (int v : values)
        list << QByteArray::number(v);
    return list;
}

// A programme in which every value differs, so a field in the wrong place shows.
CSimulatedBoard::Programme DistinctProgramme()
{
    CSimulatedBoard::Programme p;
    for (int o = 0; o < kMaxOutputs; ++o)
        p.outputModes[size_t(o)] = 10 + o;
    p.powerModes = {21, 22};
    p.battery = {3111, 3999};
    for (int j = 0; j < kSessionCount; ++j) {
        WakeSession &s = p.sessions[size_t(j)];
        s.mode = j % 3;
        s.start = QDateTime(QDate(1900, 1, 1), QTime(6 + j, 15, j));
        s.interval = QDateTime(QDate(1900, 1, 1), QTime(0, 5 + j, 30));
        s.repeat = 40 + j;
        for (int o = 0; o < kMaxOutputs; ++o) {
            SessionOutputTimings &t = p.outputTimings[size_t(j)];
            t.number[size_t(o)] = 1000 + 10 * j + o;
            t.delay[size_t(o)] = 2000 + 10 * j + o;
            t.duration[size_t(o)] = 3000 + 10 * j + o;
            t.interval[size_t(o)] = 4000 + 10 * j + o;
        }
        p.powerTimes[size_t(j)] = {500 + j, 600 + j};
    }
    p.inputs[0] = {1, 1, 2};
    p.inputs[1] = {2, 0, 3};
    return p;
}

} // namespace

class TestSimulatedBoard : public QObject
{
    Q_OBJECT

private slots:
    void echoesLinesUntilEchoIsSwitchedOff();
    void versionFieldCarriesTheTypeDigit_data();
    void versionFieldCarriesTheTypeDigit();
    void queryReplyLayout_data();
    void queryReplyLayout();
    void queryRefused_data();
    void queryRefused();
    void programmeAtTheFieldPositions_data();
    void programmeAtTheFieldPositions();
    void settingChangesNextQuery_data();
    void settingChangesNextQuery();
    void settingRefusedLeavesProgramme_data();
    void settingRefusedLeavesProgramme();
    void readingsAsSet_data();
    void readingsAsSet();
    void recordsEveryLineAsReceived();
    void faultObservable_data();
    void faultObservable();
    void faultRulesKeepToTheirPrefixUntilCleared();
    void babbleRuleBeforeStartBabblesAtOnce();
    void hangUpFromTheTestThread();
    void severalBoardsInOneProcess();
    void pacedReplyTakesTheLineTime();
};

void TestSimulatedBoard::echoesLinesUntilEchoIsSwitchedOff()
{
    CSimulatedBoard board;
    QVERIFY(board.Start());
    QSerialPort port;
    QVERIFY(OpenPort(&port, board));

    QCOMPARE(Exchange(&port, "ADV#\r"), QByteArray("ADV#\rOK\r\n"));
    QCOMPARE(Exchange(&port, "ADV#VERSION\r"),
             QByteArray("ADV#VERSION\r+VERSION=1LV1-2.04;\r\nOK\r\n"));
    QCOMPARE(Exchange(&port, "ADV#ECHO=0\r"), QByteArray("ADV#ECHO=0\rOK\r\n"));
    QCOMPARE(Exchange(&port, "ADV#\r"), QByteArray("OK\r\n"));
    QCOMPARE(Exchange(&port, "ADV#VERSION\r"), QByteArray("+VERSION=1LV1-2.04;\r\nOK\r\n"));
    QCOMPARE(Exchange(&port, "ADV#RESETWAKE\r"), QByteArray("OK\r\n"));
    QCOMPARE(Exchange(&port, "ADV#ECHO=1\r"), QByteArray("OK\r\n"));
    QCOMPARE(Exchange(&port, "ADV#\r"), QByteArray("ADV#\rOK\r\n"));
}

void TestSimulatedBoard::versionFieldCarriesTheTypeDigit_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("unknown board reports digit 0")
        << int(BoardType::Unknown) << QString() << QByteArray("+VERSION=0GENERIC-1.00;\r\nOK\r\n");
    QTest::newRow("Lumivor V1 reports digit 1")
        << int(BoardType::LumivorV1) << QString() << QByteArray("+VERSION=1LV1-2.04;\r\nOK\r\n");
    QTest::newRow("Lumivor V2 reports digit 2")
        << int(BoardType::LumivorV2) << QString() << QByteArray("+VERSION=2LV2-1.12;\r\nOK\r\n");
    QTest::newRow("KOTA reports digit 3")
        << int(BoardType::Kota) << QString() << QByteArray("+VERSION=3KOTA-1.05;\r\nOK\r\n");
    QTest::newRow("a version set by the test is sent as is")
        << int(BoardType::LumivorV1) << QString("7odd") << QByteArray("+VERSION=7odd;\r\nOK\r\n");
}

void TestSimulatedBoard::versionFieldCarriesTheTypeDigit()
{
    QFETCH(int, type);
    QFETCH(QString, version);
    QFETCH(QByteArray, reply);

    Bench bench(type);
    if (!version.isEmpty())
        bench.board.SetVersion(version);
    QVERIFY(bench.Connect());
    QCOMPARE(Exchange(&bench.port, "ADV#VERSION\r"), reply);
}

void TestSimulatedBoard::queryReplyLayout_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("fieldCount");
    QTest::addColumn<int>("lineCount");

    const int v1 = BoardType::LumivorV1, v2 = BoardType::LumivorV2, kota = BoardType::Kota;
    QTest::newRow("V1 output modes: 6 outputs")
        << v1 << QByteArray("ADV#OUTPUT=?\r") << QByteArray("+OUTPUT=") << 12 << 1;
    QTest::newRow("V2 output modes: 4 outputs")
        << v2 << QByteArray("ADV#OUTPUT=?\r") << QByteArray("+OUTPUT=") << 8 << 1;
    QTest::newRow("V1 power modes: 2 rails")
        << v1 << QByteArray("ADV#POWER=?\r") << QByteArray("+POWER=") << 4 << 1;
    QTest::newRow("KOTA power modes: 1 rail")
        << kota << QByteArray("ADV#POWER=?\r") << QByteArray("+POWER=") << 2 << 1;
    QTest::newRow("V1 sessions: always 4")
        << v1 << QByteArray("ADV#WAKE=?\r") << QByteArray("+WAKE=") << 20 << 1;
    QTest::newRow("KOTA sessions: always 4")
        << kota << QByteArray("ADV#WAKE=?\r") << QByteArray("+WAKE=") << 20 << 1;
    QTest::newRow("V1 output timings: a line per output")
        << v1 << QByteArray("ADV#COUTPUT=?\r") << QByteArray("+COUTPUT=") << 144 << 6;
    QTest::newRow("V2 output timings: a line per output")
        << v2 << QByteArray("ADV#COUTPUT=?\r") << QByteArray("+COUTPUT=") << 96 << 4;
    QTest::newRow("V1 power times: a line per rail")
        << v1 << QByteArray("ADV#CPOWER=?\r") << QByteArray("+CPOWER=") << 24 << 2;
    QTest::newRow("KOTA power times: 1 rail")
        << kota << QByteArray("ADV#CPOWER=?\r") << QByteArray("+CPOWER=") << 12 << 1;
    QTest::newRow("V1 input triggers: 2 inputs")
        << v1 << QByteArray("ADV#CINPUT=?\r") << QByteArray("+CINPUT=") << 8 << 1;
    QTest::newRow("KOTA input triggers: 1 input")
        << kota << QByteArray("ADV#CINPUT=?\r") << QByteArray("+CINPUT=") << 4 << 1;
    QTest::newRow("time: one field")
        << v1 << QByteArray("ADV#TIME=?\r") << QByteArray("+TIME=") << 1 << 1;
    QTest::newRow("date: one field")
        << kota << QByteArray("ADV#DATE=?\r") << QByteArray("+DATE=") << 1 << 1;
    QTest::newRow("battery: low and high")
        << v2 << QByteArray("ADV#BATTERY=?\r") << QByteArray("+BATTERY=") << 2 << 1;
    QTest::newRow("version: header without =?")
        << v2 << QByteArray("ADV#VERSION\r") << QByteArray("+VERSION=") << 1 << 1;
    QTest::newRow("analog input: header with its digit")
        << v1 << QByteArray("ADV#INPUTA=1\r") << QByteArray("+INPUTA=1,") << 1 << 1;
    QTest::newRow("temperature: analog channel 4")
        << v1 << QByteArray("ADV#INPUTA=4\r") << QByteArray("+INPUTA=4,") << 1 << 1;
    QTest::newRow("digital input: header with its digit")
        << kota << QByteArray("ADV#INPUTL=2\r") << QByteArray("+INPUTL=2,") << 1 << 1;
}

void TestSimulatedBoard::queryReplyLayout()
{
    QFETCH(int, type);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, header);
    QFETCH(int, fieldCount);
    QFETCH(int, lineCount);

    Bench bench(type);
    QVERIFY(bench.Connect());
    QVector<QByteArrayList> lines;
    QByteArray problem;
    QVERIFY2(SplitReply(Exchange(&bench.port, command), header, &lines, &problem), problem);
    QCOMPARE(lines.size(), lineCount);
    QCOMPARE(Fields(lines).size(), fieldCount);
}

void TestSimulatedBoard::queryRefused_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("output modes of a board without outputs")
        << int(BoardType::Kota) << QByteArray("ADV#OUTPUT=?\r");
    QTest::newRow("output timings of a board without outputs")
        << int(BoardType::Kota) << QByteArray("ADV#COUTPUT=?\r");
    QTest::newRow("power modes of a board without rails")
        << int(BoardType::Unknown) << QByteArray("ADV#POWER=?\r");
    QTest::newRow("input triggers of a board without inputs")
        << int(BoardType::Unknown) << QByteArray("ADV#CINPUT=?\r");
    QTest::newRow("analog channel 5") << int(BoardType::LumivorV1) << QByteArray("ADV#INPUTA=5\r");
    QTest::newRow("analog channel 0") << int(BoardType::LumivorV1) << QByteArray("ADV#INPUTA=0\r");
    QTest::newRow("digital channel 3") << int(BoardType::LumivorV1) << QByteArray("ADV#INPUTL=3\r");
    QTest::newRow("unknown query") << int(BoardType::LumivorV1) << QByteArray("ADV#FOO=?\r");
    QTest::newRow("unknown bare command") << int(BoardType::LumivorV1) << QByteArray("ADV#FOO\r");
    QTest::newRow("line without the ADV# prefix")
        << int(BoardType::LumivorV1) << QByteArray("AT\r");
    QTest::newRow("echo switch with a bad value")
        << int(BoardType::LumivorV1) << QByteArray("ADV#ECHO=2\r");
}

void TestSimulatedBoard::queryRefused()
{
    QFETCH(int, type);
    QFETCH(QByteArray, command);

    Bench bench(type);
    QVERIFY(bench.Connect());
    QCOMPARE(Exchange(&bench.port, command), QByteArray(kError));
}

void TestSimulatedBoard::programmeAtTheFieldPositions_data()
{
    QTest::addColumn<bool>("defaultProgramme");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArrayList>("fields");

    const CSimulatedBoard::Programme p = DistinctProgramme();

    QByteArrayList outputs;
    for (int n = 1; n <= 6; ++n)
        outputs += Numbers({n, p.outputModes[size_t(n - 1)]});
    QTest::newRow("output n then its mode")
        << false << QByteArray("ADV#OUTPUT=?\r") << QByteArray("+OUTPUT=") << outputs;

    QTest::newRow("rail r then its mode")
        << false << QByteArray("ADV#POWER=?\r") << QByteArray("+POWER=") << Numbers({1, 21, 2, 22});

    QByteArrayList wake;
    for (int j = 0; j < kSessionCount; ++j) {
        const WakeSession &s = p.sessions[size_t(j)];
        wake << QByteArray::number(j) << QByteArray::number(s.mode)
             << s.start.toString("\"hh:mm:ss\"").toLatin1()
             << s.interval.toString("\"hh:mm:ss\"").toLatin1() << QByteArray::number(s.repeat);
    }
    QTest::newRow("session j, mode, quoted start and interval, repeat")
        << false << QByteArray("ADV#WAKE=?\r") << QByteArray("+WAKE=") << wake;

    QByteArrayList coutput;
    for (int n = 1; n <= 6; ++n) {
        for (int j = 0; j < kSessionCount; ++j) {
            const SessionOutputTimings &t = p.outputTimings[size_t(j)];
            const size_t o = size_t(n - 1);
            coutput += Numbers({n, j, t.number[o], t.delay[o], t.duration[o], t.interval[o]});
        }
    }
    QTest::newRow("timings output-major, sessions within")
        << false << QByteArray("ADV#COUTPUT=?\r") << QByteArray("+COUTPUT=") << coutput;

    QByteArrayList cpower;
    for (int r = 1; r <= 2; ++r) {
        for (int j = 0; j < kSessionCount; ++j)
            cpower += Numbers({r, j, p.powerTimes[size_t(j)][size_t(r - 1)]});
    }
    QTest::newRow("power times rail-major, sessions within")
        << false << QByteArray("ADV#CPOWER=?\r") << QByteArray("+CPOWER=") << cpower;

    QTest::newRow("input i, session, detection, enabled")
        << false << QByteArray("ADV#CINPUT=?\r") << QByteArray("+CINPUT=")
        << Numbers({1, 2, 1, 1, 2, 3, 2, 0});
    QTest::newRow("battery low then high") << false << QByteArray("ADV#BATTERY=?\r")
                                           << QByteArray("+BATTERY=") << Numbers({3111, 3999});

    QTest::newRow("default day: morning by time, one by input, evening by time")
        << true << QByteArray("ADV#WAKE=?\r") << QByteArray("+WAKE=")
        << QByteArrayList{"0", "1", "\"07:30:00\"", "\"00:10:00\"", "12",
                          "1", "2", "\"00:00:00\"", "\"00:00:30\"", "5",
                          "2", "1", "\"18:00:00\"", "\"00:30:00\"", "4",
                          "3", "0", "\"00:00:00\"", "\"00:00:00\"", "0"};
    QTest::newRow("default power times 120 s and 60 s in the morning")
        << true << QByteArray("ADV#CPOWER=?\r") << QByteArray("+CPOWER=")
        << Numbers({1, 0, 120, 1, 1, 30, 1, 2, 120, 1, 3, 0, 2, 0, 60, 2, 1, 0, 2, 2, 60, 2, 3, 0});
}

void TestSimulatedBoard::programmeAtTheFieldPositions()
{
    QFETCH(bool, defaultProgramme);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, header);
    QFETCH(QByteArrayList, fields);

    Bench bench(BoardType::LumivorV1);
    if (!defaultProgramme)
        bench.board.SetProgramme(DistinctProgramme());
    QVERIFY(bench.Connect());
    QVector<QByteArrayList> lines;
    QByteArray problem;
    QVERIFY2(SplitReply(Exchange(&bench.port, command), header, &lines, &problem), problem);
    QCOMPARE(Fields(lines), fields);
}

void TestSimulatedBoard::settingChangesNextQuery_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("firstField");
    QTest::addColumn<QByteArrayList>("fields");

    const int v1 = BoardType::LumivorV1, v2 = BoardType::LumivorV2, kota = BoardType::Kota;
    QTest::newRow("output mode of output 3")
        << v1 << QByteArray("ADV#OUTPUT=3,4\r") << QByteArray("ADV#OUTPUT=?\r")
        << QByteArray("+OUTPUT=") << 4 << Numbers({3, 4});
    QTest::newRow("unchosen output mode -1")
        << v2 << QByteArray("ADV#OUTPUT=4,-1\r") << QByteArray("ADV#OUTPUT=?\r")
        << QByteArray("+OUTPUT=") << 6 << Numbers({4, -1});
    QTest::newRow("power mode of rail 2")
        << v1 << QByteArray("ADV#POWER=2,1\r") << QByteArray("ADV#POWER=?\r")
        << QByteArray("+POWER=") << 2 << Numbers({2, 1});
    QTest::newRow("KOTA power mode of its rail")
        << kota << QByteArray("ADV#POWER=1,2\r") << QByteArray("ADV#POWER=?\r")
        << QByteArray("+POWER=") << 0 << Numbers({1, 2});
    QTest::newRow("session 2 by time")
        << v1 << QByteArray("ADV#WAKE=2,1,\"06:15:00\",\"00:05:00\",30\r")
        << QByteArray("ADV#WAKE=?\r") << QByteArray("+WAKE=") << 10
        << QByteArrayList{"2", "1", "\"06:15:00\"", "\"00:05:00\"", "30"};
    QTest::newRow("session with an empty start field keeps it empty")
        << kota << QByteArray("ADV#WAKE=3,2,,\"00:00:30\",5\r") << QByteArray("ADV#WAKE=?\r")
        << QByteArray("+WAKE=") << 15 << QByteArrayList{"3", "2", "", "\"00:00:30\"", "5"};
    QTest::newRow("timing of output 2 in session 1")
        << v1 << QByteArray("ADV#COUTPUT=2,1,7,3,4,60\r") << QByteArray("ADV#COUTPUT=?\r")
        << QByteArray("+COUTPUT=") << 30 << Numbers({2, 1, 7, 3, 4, 60});
    QTest::newRow("timing of V2's last output in session 3")
        << v2 << QByteArray("ADV#COUTPUT=4,3,9,8,7,6\r") << QByteArray("ADV#COUTPUT=?\r")
        << QByteArray("+COUTPUT=") << 90 << Numbers({4, 3, 9, 8, 7, 6});
    QTest::newRow("power 2 time of session 3")
        << v1 << QByteArray("ADV#CPOWER=2,3,90\r") << QByteArray("ADV#CPOWER=?\r")
        << QByteArray("+CPOWER=") << 21 << Numbers({2, 3, 90});
    QTest::newRow("KOTA power time of session 2")
        << kota << QByteArray("ADV#CPOWER=1,2,45\r") << QByteArray("ADV#CPOWER=?\r")
        << QByteArray("+CPOWER=") << 6 << Numbers({1, 2, 45});
    QTest::newRow("trigger of input 2")
        << v1 << QByteArray("ADV#CINPUT=2,3,2,1\r") << QByteArray("ADV#CINPUT=?\r")
        << QByteArray("+CINPUT=") << 4 << Numbers({2, 3, 2, 1});
    QTest::newRow("clock time") << v1 << QByteArray("ADV#TIME=\"14:05:00\"\r")
                                << QByteArray("ADV#TIME=?\r") << QByteArray("+TIME=") << 0
                                << QByteArrayList{"\"14:05:00\""};
    QTest::newRow("clock date") << v1 << QByteArray("ADV#DATE=\"06/12/2026\"\r")
                                << QByteArray("ADV#DATE=?\r") << QByteArray("+DATE=") << 0
                                << QByteArrayList{"\"06/12/2026\""};
    QTest::newRow("battery thresholds, low above high accepted")
        << v2 << QByteArray("ADV#BATTERY=3300,1000\r") << QByteArray("ADV#BATTERY=?\r")
        << QByteArray("+BATTERY=") << 0 << Numbers({3300, 1000});
}

void TestSimulatedBoard::settingChangesNextQuery()
{
    QFETCH(int, type);
    QFETCH(QByteArray, setting);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, header);
    QFETCH(int, firstField);
    QFETCH(QByteArrayList, fields);

    Bench bench(type);
    bench.board.SetClock(QDateTime(QDate(2025, 3, 1), QTime(9, 0, 0)), false);
    QVERIFY(bench.Connect());
    QVector<QByteArrayList> lines;
    QByteArray problem;
    QVERIFY2(SplitReply(Exchange(&bench.port, query), header, &lines, &problem), problem);
    QVERIFY2(Fields(lines).mid(firstField, fields.size()) != fields, "already set before the line");

    QCOMPARE(Exchange(&bench.port, setting), QByteArray(kOk));
    QVERIFY2(SplitReply(Exchange(&bench.port, query), header, &lines, &problem), problem);
    QCOMPARE(Fields(lines).mid(firstField, fields.size()), fields);
}

void TestSimulatedBoard::settingRefusedLeavesProgramme_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QByteArray>("query");

    const int v1 = BoardType::LumivorV1, v2 = BoardType::LumivorV2, kota = BoardType::Kota;
    QTest::newRow("output 5 of a 4-output board")
        << v2 << QByteArray("ADV#OUTPUT=5,1\r") << QByteArray("ADV#OUTPUT=?\r");
    QTest::newRow("output 0") << v1 << QByteArray("ADV#OUTPUT=0,1\r")
                              << QByteArray("ADV#OUTPUT=?\r");
    QTest::newRow("rail 2 of a 1-rail board")
        << kota << QByteArray("ADV#POWER=2,1\r") << QByteArray("ADV#POWER=?\r");
    QTest::newRow("session 4") << v1 << QByteArray("ADV#WAKE=4,1,\"06:15:00\",\"00:05:00\",30\r")
                               << QByteArray("ADV#WAKE=?\r");
    QTest::newRow("start time without quotes")
        << v1 << QByteArray("ADV#WAKE=0,1,06:15:00,\"00:05:00\",30\r")
        << QByteArray("ADV#WAKE=?\r");
    QTest::newRow("session line missing its repeat")
        << v1 << QByteArray("ADV#WAKE=0,1,\"06:15:00\",\"00:05:00\"\r")
        << QByteArray("ADV#WAKE=?\r");
    QTest::newRow("timing of output 1 on a board without outputs")
        << kota << QByteArray("ADV#COUTPUT=1,0,1,1,1,1\r") << QByteArray("ADV#WAKE=?\r");
    QTest::newRow("timing value that is no number")
        << v1 << QByteArray("ADV#COUTPUT=1,0,x,1,1,1\r") << QByteArray("ADV#COUTPUT=?\r");
    QTest::newRow("power time of session 4")
        << v1 << QByteArray("ADV#CPOWER=1,4,10\r") << QByteArray("ADV#CPOWER=?\r");
    QTest::newRow("input 2 of a 1-input board")
        << kota << QByteArray("ADV#CINPUT=2,0,1,1\r") << QByteArray("ADV#CINPUT=?\r");
    QTest::newRow("time without quotes")
        << v1 << QByteArray("ADV#TIME=14:05:00\r") << QByteArray("ADV#TIME=?\r");
    QTest::newRow("date that does not exist")
        << v1 << QByteArray("ADV#DATE=\"31/02/2026\"\r") << QByteArray("ADV#DATE=?\r");
    QTest::newRow("battery with one threshold")
        << v1 << QByteArray("ADV#BATTERY=3300\r") << QByteArray("ADV#BATTERY=?\r");
}

void TestSimulatedBoard::settingRefusedLeavesProgramme()
{
    QFETCH(int, type);
    QFETCH(QByteArray, setting);
    QFETCH(QByteArray, query);

    Bench bench(type);
    bench.board.SetClock(QDateTime(QDate(2025, 3, 1), QTime(9, 0, 0)), false);
    QVERIFY(bench.Connect());
    const QByteArray before = Exchange(&bench.port, query);
    QVERIFY(before.endsWith(kOk));
    QCOMPARE(Exchange(&bench.port, setting), QByteArray(kError));
    QCOMPARE(Exchange(&bench.port, query), before);
}

void TestSimulatedBoard::readingsAsSet_data()
{
    QTest::addColumn<bool>("analog");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("analog input 1")
        << true << 1 << QString("0.72") << QByteArray("+INPUTA=1,0.72;\r\nOK\r\n");
    QTest::newRow("analog input 2")
        << true << 2 << QString("1.05") << QByteArray("+INPUTA=2,1.05;\r\nOK\r\n");
    QTest::newRow("supply voltage")
        << true << 3 << QString("3.41") << QByteArray("+INPUTA=3,3.41;\r\nOK\r\n");
    QTest::newRow("temperature") << true << 4 << QString("-7")
                                 << QByteArray("+INPUTA=4,-7;\r\nOK\r\n");
    QTest::newRow("digital input 1")
        << false << 1 << QString("1") << QByteArray("+INPUTL=1,1;\r\nOK\r\n");
    QTest::newRow("digital input 2")
        << false << 2 << QString("0") << QByteArray("+INPUTL=2,0;\r\nOK\r\n");
}

void TestSimulatedBoard::readingsAsSet()
{
    QFETCH(bool, analog);
    QFETCH(int, channel);
    QFETCH(QString, reading);
    QFETCH(QByteArray, reply);

    Bench bench;
    QVERIFY(bench.Connect());
    if (analog)
        bench.board.SetAnalogInput(channel, reading);
    else
        bench.board.SetDigitalInput(channel, reading);
    const QByteArray command =
        (analog ? "ADV#INPUTA=" : "ADV#INPUTL=") + QByteArray::number(channel) + '\r';
    QCOMPARE(Exchange(&bench.port, command), reply);
}

void TestSimulatedBoard::recordsEveryLineAsReceived()
{
    CSimulatedBoard board;
    QVERIFY(board.Start());
    QSerialPort port;
    QVERIFY(OpenPort(&port, board));

    // One command split over two writes, then two commands in one write.
    Write(&port, "ADV#VER");
    Write(&port, "SION\r");
    QCOMPARE(ReadUntil(&port, EndsWithStatus),
             QByteArray("ADV#VERSION\r+VERSION=1LV1-2.04;\r\nOK\r\n"));
    Write(&port, "ADV#\rADV#ECHO=0\r");
    QCOMPARE(ReadUntil(&port, [](const QByteArray &b) { return b.count("OK\r\n") == 2; }),
             QByteArray("ADV#\rOK\r\nADV#ECHO=0\rOK\r\n"));

    QVERIFY(board.WaitForReceived(3, kReplyBoundMs));
    const QVector<CSimulatedBoard::ReceivedLine> lines = board.Received();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0].bytes, QByteArray("ADV#VERSION\r"));
    QCOMPARE(lines[1].bytes, QByteArray("ADV#\r"));
    QCOMPARE(lines[2].bytes, QByteArray("ADV#ECHO=0\r"));
    QVERIFY(lines[0].atMs >= 0);
    QVERIFY(lines[0].atMs <= lines[1].atMs);
    QVERIFY(lines[1].atMs <= lines[2].atMs);

    board.ClearReceived();
    QVERIFY(board.Received().isEmpty());
    QVERIFY(!board.WaitForReceived(1, 0));
    QCOMPARE(Exchange(&port, "ADV#BATTERY=?\r"), QByteArray("+BATTERY=3200,3500;\r\nOK\r\n"));
    QVERIFY(board.WaitForReceived(1, kReplyBoundMs));
    QCOMPARE(board.Received().size(), 1);
    QCOMPARE(board.Received()[0].bytes, QByteArray("ADV#BATTERY=?\r"));
}

void TestSimulatedBoard::faultObservable_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<int>("afterMatches");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("silent: no answer at all")
        << Fault::Silent << QByteArray() << 0 << QByteArray("ADV#WAKE=?\r");
    QTest::newRow("too few fields: last field dropped")
        << Fault::TooFewFields << QByteArray("ADV#WAKE") << 1 << QByteArray("ADV#WAKE=?\r");
    QTest::newRow("too few fields across several lines")
        << Fault::TooFewFields << QByteArray("ADV#COUTPUT") << 0 << QByteArray("ADV#COUTPUT=?\r");
    QTest::newRow("too many fields: one more")
        << Fault::TooManyFields << QByteArray("ADV#CPOWER") << 2 << QByteArray("ADV#CPOWER=?\r");
    QTest::newRow("no OK: data lines only")
        << Fault::NoOk << QByteArray("ADV#OUTPUT") << 1 << QByteArray("ADV#OUTPUT=?\r");
    QTest::newRow("garbage: printable junk, no OK")
        << Fault::Garbage << QByteArray() << 0 << QByteArray("ADV#VERSION\r");
    QTest::newRow("binary: NUL bytes and an OK")
        << Fault::Binary << QByteArray("ADV#TIME") << 0 << QByteArray("ADV#TIME=?\r");
    QTest::newRow("overlong line, then OK")
        << Fault::OverlongLine << QByteArray("ADV#WAKE") << 0 << QByteArray("ADV#WAKE=?\r");
    QTest::newRow("late: the normal reply after a pause")
        << Fault::Late << QByteArray("ADV#BATTERY") << 1 << QByteArray("ADV#BATTERY=?\r");
    QTest::newRow("babble: endless junk lines")
        << Fault::Babble << QByteArray("ADV#CINPUT") << 1 << QByteArray("ADV#CINPUT=?\r");
    QTest::newRow("hang-up: the board disappears")
        << Fault::HangUp << QByteArray("ADV#VERSION") << 2 << QByteArray("ADV#VERSION\r");
}

void TestSimulatedBoard::faultObservable()
{
    QFETCH(Fault, fault);
    QFETCH(QByteArray, prefix);
    QFETCH(int, afterMatches);
    QFETCH(QByteArray, command);

    Bench bench;
    bench.board.SetClock(QDateTime(QDate(2025, 3, 1), QTime(9, 0, 0)), false);
    QVERIFY(bench.Connect());
    QSerialPort &port = bench.port;
    const QByteArray normal = Exchange(&port, command);
    QVERIFY(normal.endsWith(kOk));
    QVector<QByteArrayList> normalLines;
    QByteArray problem;
    const QByteArray header = normal.left(normal.indexOf('=') + 1);
    QVERIFY2(SplitReply(normal, header, &normalLines, &problem), problem);

    bench.board.SetFault(fault, prefix, afterMatches);
    for (int i = 0; i < afterMatches; ++i)
        QCOMPARE(Exchange(&port, command), normal);

    Write(&port, command);
    QVector<QByteArrayList> lines;
    switch (fault) {
    case Fault::Silent:
        QCOMPARE(ReadUntilQuiet(&port), QByteArray());
        break;
    case Fault::TooFewFields:
    case Fault::TooManyFields: {
        QVERIFY2(SplitReply(ReadUntil(&port, EndsWithStatus), header, &lines, &problem), problem);
        const int change = fault == Fault::TooFewFields ? -1 : 1;
        QCOMPARE(Fields(lines).size(), Fields(normalLines).size() + change);
        const int common = qMin(Fields(lines).size(), Fields(normalLines).size());
        QCOMPARE(Fields(lines).mid(0, common), Fields(normalLines).mid(0, common));
        break;
    }
    case Fault::NoOk: {
        const QByteArray dataLines = normal.chopped(int(sizeof kOk) - 1);
        QCOMPARE(
            ReadUntil(&port, [&](const QByteArray &b) { return b.size() >= dataLines.size(); }),
            dataLines);
        QCOMPARE(ReadUntilQuiet(&port), QByteArray());
        break;
    }
    case Fault::Garbage: {
        QByteArray junk = ReadUntil(&port, [](const QByteArray &b) { return b.endsWith("\r\n"); });
        junk += ReadUntilQuiet(&port);
        QVERIFY(junk.size() > 2);
        QVERIFY(!junk.contains("OK"));
        QVERIFY(!junk.contains('+'));
        for (char c : junk.chopped(2))
            QVERIFY2(c >= 0x20 && c < 0x7f, "junk must be printable");
        break;
    }
    case Fault::Binary: {
        const QByteArray noise =
            ReadUntil(&port, [](const QByteArray &b) { return b.endsWith(kOk); });
        QVERIFY(noise.endsWith(kOk));
        QVERIFY(noise.contains('\0'));
        QVERIFY(noise != normal);
        break;
    }
    case Fault::OverlongLine: {
        const QByteArray reply = ReadUntil(&port, EndsWithStatus);
        QVERIFY(reply.endsWith(kOk));
        QVERIFY(reply.startsWith(header));
        QVERIFY(reply.indexOf('\r') >= 64 * 1024);
        break;
    }
    case Fault::Late:
        QCOMPARE(ReadUntilQuiet(&port), QByteArray());
        QCOMPARE(ReadUntil(&port, EndsWithStatus), normal);
        break;
    case Fault::Babble: {
        const auto fiveLines = [](const QByteArray &b) { return b.count("\r\n") >= 5; };
        QVERIFY(fiveLines(ReadUntil(&port, fiveLines)));
        // Still babbling: more lines come without any further command.
        port.readAll();
        QVERIFY(fiveLines(ReadUntil(&port, fiveLines)));
        break;
    }
    case Fault::HangUp:
        QTRY_VERIFY_WITH_TIMEOUT(!bench.board.IsRunning(), kReplyBoundMs);
        QVERIFY(!QFile::exists(bench.board.PortName()));
        QVERIFY(!port.waitForReadyRead(kQuietMs));
        break;
    default:
        QFAIL("fault without a check");
    }
}

void TestSimulatedBoard::faultRulesKeepToTheirPrefixUntilCleared()
{
    Bench bench;
    QVERIFY(bench.Connect());
    QSerialPort &port = bench.port;
    const QByteArray wake = Exchange(&port, "ADV#WAKE=?\r");
    const QByteArray version = Exchange(&port, "ADV#VERSION\r");
    QVERIFY(wake.endsWith(kOk));

    bench.board.SetFault(Fault::Silent, "ADV#WAKE", 2);
    bench.board.SetFault(Fault::NoOk, "ADV#VERSION");
    bench.board.SetFault(Fault::TooManyFields, "ADV#WAKE", 1);

    // WAKE 1: no rule due yet. WAKE 2: only the second WAKE rule is due. WAKE 3 and 4: both
    // are due and the one added first wins. VERSION keeps to its own rule throughout.
    QCOMPARE(Exchange(&port, "ADV#WAKE=?\r"), wake);
    QCOMPARE(Exchange(&port, "ADV#\r"), QByteArray(kOk));
    QCOMPARE(Exchange(&port, "ADV#WAKE=?\r"), QByteArray(wake).replace(";\r\n", ",0;\r\n"));
    Write(&port, "ADV#VERSION\r");
    QCOMPARE(ReadUntilQuiet(&port), version.chopped(int(sizeof kOk) - 1));
    for (int i = 0; i < 2; ++i) {
        Write(&port, "ADV#WAKE=?\r");
        QCOMPARE(ReadUntilQuiet(&port), QByteArray());
    }

    bench.board.ClearFaults();
    QCOMPARE(Exchange(&port, "ADV#WAKE=?\r"), wake);
    QCOMPARE(Exchange(&port, "ADV#VERSION\r"), version);

    // A due None rule serves its commands normally, whatever rules come after it.
    bench.board.SetFault(Fault::None, "ADV#WAKE");
    bench.board.SetFault(Fault::Silent);
    QCOMPARE(Exchange(&port, "ADV#WAKE=?\r"), wake);
    Write(&port, "ADV#VERSION\r");
    QCOMPARE(ReadUntilQuiet(&port), QByteArray());
}

void TestSimulatedBoard::babbleRuleBeforeStartBabblesAtOnce()
{
    CSimulatedBoard board;
    board.SetFault(Fault::Babble);
    QVERIFY(board.Start());
    QSerialPort port;
    QVERIFY(OpenPort(&port, board));

    const QByteArray chatter =
        ReadUntil(&port, [](const QByteArray &b) { return b.count("\r\n") >= 5; });
    QVERIFY(chatter.count("\r\n") >= 5);
    Write(&port, "ADV#\r");
    QVERIFY(board.WaitForReceived(1, kReplyBoundMs));

    board.ClearFaults();
    ReadUntilQuiet(&port);
    QCOMPARE(Exchange(&port, "ADV#\r"), QByteArray("ADV#\rOK\r\n"));
}

void TestSimulatedBoard::hangUpFromTheTestThread()
{
    Bench bench;
    QVERIFY(bench.Connect());
    QVERIFY(bench.board.IsRunning());
    QVERIFY(QFile::exists(bench.board.PortName()));

    const int received = bench.board.Received().size();
    bench.board.HangUp();
    QVERIFY(!bench.board.IsRunning());
    QVERIFY(!QFile::exists(bench.board.PortName()));
    Write(&bench.port, "ADV#\r");
    QVERIFY(!bench.port.waitForReadyRead(kQuietMs));
    QCOMPARE(bench.board.Received().size(), received);
}

void TestSimulatedBoard::severalBoardsInOneProcess()
{
    Bench v1(BoardType::LumivorV1);
    Bench kota(BoardType::Kota);
    QVERIFY(v1.Connect());
    QVERIFY(kota.Connect());
    QVERIFY(v1.board.PortName() != kota.board.PortName());

    QCOMPARE(Exchange(&kota.port, "ADV#VERSION\r"), QByteArray("+VERSION=3KOTA-1.05;\r\nOK\r\n"));
    QCOMPARE(Exchange(&v1.port, "ADV#VERSION\r"), QByteArray("+VERSION=1LV1-2.04;\r\nOK\r\n"));
    QCOMPARE(Exchange(&kota.port, "ADV#POWER=1,2\r"), QByteArray(kOk));
    QCOMPARE(Exchange(&v1.port, "ADV#POWER=?\r"), QByteArray("+POWER=1,0,2,0;\r\nOK\r\n"));
    QCOMPARE(Exchange(&kota.port, "ADV#POWER=?\r"), QByteArray("+POWER=1,2;\r\nOK\r\n"));
}

void TestSimulatedBoard::pacedReplyTakesTheLineTime()
{
    Bench bench;
    QVERIFY(bench.Connect());
    const QByteArray unpaced = Exchange(&bench.port, "ADV#COUTPUT=?\r");
    QVERIFY(unpaced.endsWith(kOk));

    bench.board.SetPacing(true);
    QElapsedTimer timer;
    timer.start();
    const QByteArray paced = Exchange(&bench.port, "ADV#COUTPUT=?\r");
    const qint64 elapsedMs = timer.elapsed();
    QCOMPARE(paced, unpaced);
    // A lower bound only: at 10 bits a byte and 9600 baud the last byte cannot arrive sooner,
    // however fast the machine; a slow machine only makes it later.
    QVERIFY2(elapsedMs >= paced.size() * 10 * 1000 / 9600,
             qPrintable(QString("%1 bytes in %2 ms").arg(paced.size()).arg(elapsedMs)));
}

QTEST_GUILESS_MAIN(TestSimulatedBoard)
#include "test_simulatedboard.moc"
