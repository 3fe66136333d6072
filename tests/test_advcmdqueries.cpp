#include "device/AdvCmd.h"
#include "tests/LinkBench.h"

#include <QtTest>

#include <functional>

// The link's queries: what they send, how often they ask, what they accept and what they store,
// against simulated boards that answer, keep silent or misbehave.

using namespace linkbench;

namespace {

// Everything a query can write to, filled with values no board reports here.
struct Targets
{
    Targets()
    {
        for (int j = 0; j < kSessionCount; ++j) {
            sessions[size_t(j)] = {70 + j, QDateTime(QDate(1900, 1, 1), QTime(1, 2, j)),
                                   QDateTime(QDate(1900, 1, 1), QTime(4, 5, j)), 90 + j};
            outputTimings[size_t(j)].number.fill(-10 - j);
            outputTimings[size_t(j)].delay.fill(-20 - j);
            outputTimings[size_t(j)].duration.fill(-30 - j);
            outputTimings[size_t(j)].interval.fill(-40 - j);
            powerTimes[size_t(j)] = {-50 - j, -60 - j};
        }
    }

    QString text = "kept";
    OutputModes outputModes{-5, -5, -5, -5, 55, 66};
    PowerModes powerModes{-7, 77};
    WakeSessions sessions;
    AllOutputTimings outputTimings;
    AllPowerTimes powerTimes;
    InputTriggers inputs{{{9, 9, 9}, {8, 8, 8}}};
    BatteryThresholds battery{-1, -1};
};

QString TimeText(const QDateTime &time)
{
    return time.isNull() ? QString("null") : time.toString("yyyy-MM-dd hh:mm:ss");
}

template <typename Array> QString Join(const Array &values)
{
    QStringList parts;
    for (const auto value : values)
        parts << QString::number(value);
    return parts.join(',');
}

// Every target in one text, so a comparison shows what changed.
QString Dump(const Targets &t)
{
    QStringList parts{"text " + t.text, "outputs " + Join(t.outputModes),
                      "powers " + Join(t.powerModes), "battery " + Join(t.battery)};
    for (const WakeSession &s : t.sessions)
        parts << QString("session %1 %2 %3 %4")
                     .arg(s.mode)
                     .arg(TimeText(s.start), TimeText(s.interval))
                     .arg(s.repeat);
    for (const SessionOutputTimings &o : t.outputTimings)
        parts << "timings " + Join(o.number) + ' ' + Join(o.delay) + ' ' + Join(o.duration) + ' ' +
                     Join(o.interval);
    for (const PowerTimes &p : t.powerTimes)
        parts << "power times " + Join(p);
    for (const InputTrigger &in : t.inputs)
        parts << QString("input %1 %2 %3").arg(in.detection).arg(in.enabled).arg(in.session);
    return parts.join('\n');
}

// A time of day as the wire's times parse.
QDateTime TimeOfDay(int h, int m, int s)
{
    return QDateTime(QDate(1900, 1, 1), QTime(h, m, s));
}

QByteArrayList Repeated(const QByteArray &line, int times)
{
    QByteArrayList lines;
    for (int i = 0; i < times; ++i)
        lines << line;
    return lines;
}

using Query = std::function<bool(CAdvCmd &, Targets &)>;
using TextQuery = std::function<bool(CAdvCmd &, QString *)>;

const Query kVersion = [](CAdvCmd &l, Targets &t) { return l.GetVersion(&t.text); };
const Query kAnalog3 = [](CAdvCmd &l, Targets &t) { return l.GetInputA(3, &t.text); };
const Query kDigital2 = [](CAdvCmd &l, Targets &t) { return l.GetInputL(2, &t.text); };
const Query kOutput = [](CAdvCmd &l, Targets &t) { return l.GetOutput(&t.outputModes); };
const Query kPower = [](CAdvCmd &l, Targets &t) { return l.GetPower(&t.powerModes); };
const Query kWake = [](CAdvCmd &l, Targets &t) { return l.GetWake(&t.sessions); };
const Query kCOutput = [](CAdvCmd &l, Targets &t) { return l.GetCOutput(&t.outputTimings); };
const Query kCPower = [](CAdvCmd &l, Targets &t) { return l.GetCPower(&t.powerTimes); };
const Query kCInput = [](CAdvCmd &l, Targets &t) { return l.GetCInput(&t.inputs); };
const Query kTime = [](CAdvCmd &l, Targets &t) { return l.GetTime(&t.text); };
const Query kDate = [](CAdvCmd &l, Targets &t) { return l.GetDate(&t.text); };
const Query kBattery = [](CAdvCmd &l, Targets &t) { return l.GetBattery(&t.battery); };
const Query kResetWake = [](CAdvCmd &l, Targets &) { return l.ResetWake(); };

// Gives the link the counts of a board type, as the settings model does.
void SetType(CAdvCmd *link, int type)
{
    const BoardType::Capabilities caps = BoardType::CapabilitiesOf(type);
    link->SetBoardInfo(caps.outputs, caps.inputs, caps.powers, type);
}

} // namespace

Q_DECLARE_METATYPE(Query)
Q_DECLARE_METATYPE(TextQuery)

class TestAdvCmdQueries : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No test may ever scan the machine's own serial ports.
        ScanOnly({});
        QuietDebugOutput();
    }

    void requestBytes_data()
    {
        QTest::addColumn<Query>("query");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("requests");
        QTest::addColumn<bool>("result");

        QTest::newRow("version") << kVersion << QByteArray("ADV#VERSION\r") << 1 << true;
        QTest::newRow("analog input 3") << kAnalog3 << QByteArray("ADV#INPUTA=3\r") << 1 << true;
        QTest::newRow("digital input 2") << kDigital2 << QByteArray("ADV#INPUTL=2\r") << 1 << true;
        QTest::newRow("output modes") << kOutput << QByteArray("ADV#OUTPUT=?\r") << 1 << true;
        QTest::newRow("power modes") << kPower << QByteArray("ADV#POWER=?\r") << 1 << true;
        QTest::newRow("sessions") << kWake << QByteArray("ADV#WAKE=?\r") << 1 << true;
        QTest::newRow("output timings") << kCOutput << QByteArray("ADV#COUTPUT=?\r") << 1 << true;
        QTest::newRow("power times") << kCPower << QByteArray("ADV#CPOWER=?\r") << 1 << true;
        QTest::newRow("input triggers") << kCInput << QByteArray("ADV#CINPUT=?\r") << 1 << true;
        QTest::newRow("clock time") << kTime << QByteArray("ADV#TIME=?\r") << 1 << true;
        QTest::newRow("clock date") << kDate << QByteArray("ADV#DATE=?\r") << 1 << true;
        QTest::newRow("battery thresholds")
            << kBattery << QByteArray("ADV#BATTERY=?\r") << 1 << true;
        QTest::newRow("wake reset: asked once, an OK alone is no success")
            << kResetWake << QByteArray("ADV#RESETWAKE\r") << 1 << false;
        QTest::newRow("input 10 is the character after 9")
            << Query([](CAdvCmd &l, Targets &t) { return l.GetInputA(10, &t.text); })
            << QByteArray("ADV#INPUTA=:\r") << 5 << false; // the board has no such input
        QTest::newRow("input 257: only the low byte of 48 + n")
            << Query([](CAdvCmd &l, Targets &t) { return l.GetInputA(257, &t.text); })
            << QByteArray("ADV#INPUTA=1\r") << 1 << true;
    }

    void requestBytes()
    {
        QFETCH(Query, query);
        QFETCH(QByteArray, request);
        QFETCH(int, requests);
        QFETCH(bool, result);

        Bench bench(BoardType::LumivorV1);
        QVERIFY(bench.Connect());
        SetType(&bench.link, BoardType::LumivorV1);
        Targets targets;

        QCOMPARE(query(bench.link, targets), result);
        QCOMPARE(Lines(bench.board), Repeated(request, requests));
    }

    void attemptsAgainstASilentBoard_data()
    {
        QTest::addColumn<Query>("query");
        QTest::addColumn<int>("requests");

        QTest::newRow("version: five") << kVersion << 5;
        QTest::newRow("analog input: five") << kAnalog3 << 5;
        QTest::newRow("digital input: one") << kDigital2 << 1;
        QTest::newRow("output modes: five") << kOutput << 5;
        QTest::newRow("power modes: five") << kPower << 5;
        QTest::newRow("sessions: five") << kWake << 5;
        QTest::newRow("output timings: five") << kCOutput << 5;
        QTest::newRow("power times: five") << kCPower << 5;
        QTest::newRow("input triggers: five") << kCInput << 5;
        QTest::newRow("clock time: one") << kTime << 1;
        QTest::newRow("clock date: one") << kDate << 1;
        QTest::newRow("battery thresholds: five") << kBattery << 5;
        QTest::newRow("wake reset: one") << kResetWake << 1;
    }

    // Each attempt waits its full second for a first byte that never comes.
    void attemptsAgainstASilentBoard()
    {
        QFETCH(Query, query);
        QFETCH(int, requests);

        Bench bench(BoardType::LumivorV1);
        QVERIFY(bench.Connect());
        SetType(&bench.link, BoardType::LumivorV1);
        bench.board.SetFault(Fault::Silent);
        Targets targets;

        QVERIFY(!query(bench.link, targets));
        const QByteArrayList lines = Lines(bench.board);
        QCOMPARE(lines.size(), requests);
        QCOMPARE(lines.count(lines.value(0)), requests); // the same request every time
        QCOMPARE(Dump(targets), Dump(Targets()));
    }

    void wrongRepliesStoreNothing_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("19 fields") << Fault::TooFewFields;
        QTest::newRow("21 fields") << Fault::TooManyFields;
        QTest::newRow("20 fields without OK") << Fault::NoOk;
    }

    void wrongRepliesStoreNothing()
    {
        QFETCH(Fault, fault);

        Bench bench(BoardType::LumivorV1);
        QVERIFY(bench.Connect());
        bench.board.SetFault(fault, "ADV#WAKE");
        Targets targets;

        QVERIFY(!bench.link.GetWake(&targets.sessions));
        QCOMPARE(Lines(bench.board), Repeated("ADV#WAKE=?\r", 5));
        QCOMPARE(Dump(targets), Dump(Targets()));
    }

    // The conversions, on replies of a shape the board itself never sends.
    void fieldsThatAreNoNumberStoreZero()
    {
        Bench bench(BoardType::LumivorV2);
        QVERIFY(bench.Connect());
        SetType(&bench.link, BoardType::LumivorV2);
        bench.board.SetFault(Fault::Silent);
        Targets targets;

        bench.board.ReplyToNextCommand("+OUTPUT=1,abc,2,3,3,-1,4,99999999999;\r\nOK\r\n");
        QVERIFY(bench.link.GetOutput(&targets.outputModes));
        QCOMPARE(targets.outputModes, (OutputModes{0, 3, -1, 0, 55, 66}));

        bench.board.ReplyToNextCommand("+BATTERY=3300,abc;\r\nOK\r\n");
        QVERIFY(bench.link.GetBattery(&targets.battery));
        QCOMPARE(targets.battery, (BatteryThresholds{3300, 0}));
    }

    void timesThatAreNotQuotedStoreNull()
    {
        Bench bench(BoardType::LumivorV2);
        QVERIFY(bench.Connect());
        bench.board.SetFault(Fault::Silent);
        Targets targets;

        bench.board.ReplyToNextCommand("+WAKE=0,1,07:30:00,\"00:10:00\",12,"
                                       "1,2,\"25:00:00\",\"00:00:30\",x,"
                                       "2,1,\"18:00:00\",,4,"
                                       "3,0,\"00:00:00\",\"7:5:0\",0;\r\nOK\r\n");
        QVERIFY(bench.link.GetWake(&targets.sessions));

        const WakeSessions &s = targets.sessions;
        QCOMPARE(s[0].mode, 1);
        QVERIFY(s[0].start.isNull()); // a valid time, but without its quotes
        QCOMPARE(s[0].interval, TimeOfDay(0, 10, 0));
        QCOMPARE(s[0].repeat, 12);
        QCOMPARE(s[1].mode, 2);
        QVERIFY(s[1].start.isNull()); // no such hour
        QCOMPARE(s[1].interval, TimeOfDay(0, 0, 30));
        QCOMPARE(s[1].repeat, 0);
        QCOMPARE(s[2].start, TimeOfDay(18, 0, 0));
        QVERIFY(s[2].interval.isNull()); // empty field
        QCOMPARE(s[2].repeat, 4);
        QCOMPARE(s[3].start, TimeOfDay(0, 0, 0));
        QVERIFY(s[3].interval.isNull()); // digits missing
    }

    void countedQueriesFollowTheBoardType_data()
    {
        QTest::addColumn<int>("boardType");
        QTest::addColumn<int>("linkType");
        QTest::addColumn<Query>("query");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("requests");

        const int v1 = BoardType::LumivorV1;
        QTest::newRow("V2 output modes want 8 fields, not a V1's 12")
            << v1 << int(BoardType::LumivorV2) << kOutput << false << 5;
        QTest::newRow("V2 output timings want 96 fields, not a V1's 144")
            << v1 << int(BoardType::LumivorV2) << kCOutput << false << 5;
        QTest::newRow("KOTA power times want 12 fields, not 24")
            << v1 << int(BoardType::Kota) << kCPower << false << 5;
        QTest::newRow("KOTA inputs want 4 fields, not 8")
            << v1 << int(BoardType::Kota) << kCInput << false << 5;
        QTest::newRow("no rails: power modes succeed unasked")
            << v1 << int(BoardType::Unknown) << kPower << true << 0;
        QTest::newRow("no rails: power times succeed unasked")
            << v1 << int(BoardType::Unknown) << kCPower << true << 0;
        QTest::newRow("no inputs: input triggers succeed unasked")
            << v1 << int(BoardType::Unknown) << kCInput << true << 0;
        QTest::newRow("no outputs: output modes succeed unasked")
            << v1 << int(BoardType::Unknown) << kOutput << true << 0;
        QTest::newRow("no outputs: output timings succeed unasked")
            << v1 << int(BoardType::Unknown) << kCOutput << true << 0;
        QTest::newRow("KOTA output modes succeed unasked")
            << int(BoardType::Kota) << int(BoardType::Kota) << kOutput << true << 0;
    }

    // Every row leaves its target as it was: either the count did not match, or there was
    // nothing to ask.
    void countedQueriesFollowTheBoardType()
    {
        QFETCH(int, boardType);
        QFETCH(int, linkType);
        QFETCH(Query, query);
        QFETCH(bool, result);
        QFETCH(int, requests);

        Bench bench(boardType);
        QVERIFY(bench.Connect());
        SetType(&bench.link, linkType);
        Targets targets;

        QCOMPARE(query(bench.link, targets), result);
        QCOMPARE(Lines(bench.board).size(), requests);
        QCOMPARE(Dump(targets), Dump(Targets()));
    }

    // A V2 has four outputs: modes 5 and 6 are neither asked for nor touched.
    void lumivorV2FillsFourOutputs()
    {
        Bench bench(BoardType::LumivorV2);
        CSimulatedBoard::Programme programme = CSimulatedBoard::DefaultProgramme();
        programme.outputModes = {4, 3, 2, -1, 1, 1};
        for (int j = 0; j < kSessionCount; ++j) {
            for (int o = 0; o < kMaxOutputs; ++o) {
                programme.outputTimings[size_t(j)].number[size_t(o)] = 100 * o + j;
                programme.outputTimings[size_t(j)].interval[size_t(o)] = 1000 * o + j;
            }
        }
        bench.board.SetProgramme(programme);
        QVERIFY(bench.Connect());
        SetType(&bench.link, BoardType::LumivorV2);
        Targets targets;

        QVERIFY(bench.link.GetOutput(&targets.outputModes));
        QCOMPARE(targets.outputModes, (OutputModes{4, 3, 2, -1, 55, 66}));
        QVERIFY(bench.link.GetCOutput(&targets.outputTimings));
        for (int j = 0; j < kSessionCount; ++j) {
            const SessionOutputTimings &t = targets.outputTimings[size_t(j)];
            const SessionOutputTimings &sent = programme.outputTimings[size_t(j)];
            const SessionOutputTimings kept = Targets().outputTimings[size_t(j)];
            for (int o = 0; o < kMaxOutputs; ++o) {
                const size_t i = size_t(o);
                const SessionOutputTimings &want = o < 4 ? sent : kept;
                QCOMPARE(t.number[i], want.number[i]);
                QCOMPARE(t.delay[i], want.delay[i]);
                QCOMPARE(t.duration[i], want.duration[i]);
                QCOMPARE(t.interval[i], want.interval[i]);
            }
        }
    }

    // A KOTA has one rail and one input: the second ones are neither asked for nor touched.
    void kotaFillsRailAndInputOne()
    {
        Bench bench(BoardType::Kota);
        CSimulatedBoard::Programme programme = CSimulatedBoard::DefaultProgramme();
        programme.powerModes = {2, 1};
        programme.powerTimes = {{{11, 21}, {12, 22}, {13, 23}, {14, 24}}};
        programme.inputs = {{{2, 1, 3}, {1, 1, 1}}};
        bench.board.SetProgramme(programme);
        QVERIFY(bench.Connect());
        SetType(&bench.link, BoardType::Kota);
        Targets targets;

        QVERIFY(bench.link.GetPower(&targets.powerModes));
        QCOMPARE(targets.powerModes, (PowerModes{2, 77}));
        QVERIFY(bench.link.GetCPower(&targets.powerTimes));
        QCOMPARE(targets.powerTimes, (AllPowerTimes{{{11, -60}, {12, -61}, {13, -62}, {14, -63}}}));
        QVERIFY(bench.link.GetCInput(&targets.inputs));
        QCOMPARE(targets.inputs[0].detection, 2);
        QCOMPARE(targets.inputs[0].enabled, 1);
        QCOMPARE(targets.inputs[0].session, 3);
        QCOMPARE(targets.inputs[1].detection, 8);
        QCOMPARE(targets.inputs[1].session, 8);
    }

    void nothingIsAskedWhileNotConnected_data()
    {
        QTest::addColumn<Query>("query");
        QTest::addColumn<int>("linkType");

        const int v1 = BoardType::LumivorV1;
        QTest::newRow("version") << kVersion << v1;
        QTest::newRow("analog input") << kAnalog3 << v1;
        QTest::newRow("digital input") << kDigital2 << v1;
        QTest::newRow("output modes") << kOutput << v1;
        QTest::newRow("output modes, no outputs") << kOutput << int(BoardType::Unknown);
        QTest::newRow("power modes") << kPower << v1;
        QTest::newRow("sessions") << kWake << v1;
        QTest::newRow("output timings") << kCOutput << v1;
        QTest::newRow("output timings, no outputs") << kCOutput << int(BoardType::Unknown);
        QTest::newRow("power times") << kCPower << v1;
        QTest::newRow("input triggers") << kCInput << v1;
        QTest::newRow("clock time") << kTime << v1;
        QTest::newRow("clock date") << kDate << v1;
        QTest::newRow("battery thresholds") << kBattery << v1;
        QTest::newRow("wake reset") << kResetWake << v1;
    }

    // The link was connected, then a scan found no board: it is down.
    void nothingIsAskedWhileNotConnected()
    {
        QFETCH(Query, query);
        QFETCH(int, linkType);

        Bench bench(BoardType::LumivorV1);
        QVERIFY(bench.Connect());
        ScanOnly({});
        QString name;
        QVERIFY(!bench.link.OpenPort(&name));
        SetType(&bench.link, linkType);
        Targets targets;

        QVERIFY(!query(bench.link, targets));
        QCOMPARE(Dump(targets), Dump(Targets()));
        QVERIFY(Lines(bench.board).isEmpty());
    }

    void junkRepliesFailTheQuery_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("printable junk") << Fault::Garbage;
        QTest::newRow("binary noise with NUL bytes, then OK") << Fault::Binary;
        QTest::newRow("a 64 KiB data line, then OK") << Fault::OverlongLine;
    }

    // Each attempt fails; the link is fine again once the board is.
    void junkRepliesFailTheQuery()
    {
        QFETCH(Fault, fault);

        Bench bench(BoardType::LumivorV2);
        QVERIFY(bench.Connect());
        bench.board.SetFault(fault, "ADV#VERSION");
        QString version = "kept";

        QVERIFY(!bench.link.GetVersion(&version));
        QCOMPARE(version, QString("kept"));
        QCOMPARE(Lines(bench.board), Repeated("ADV#VERSION\r", 5));

        bench.board.ClearFaults();
        QVERIFY(bench.link.GetVersion(&version));
        QCOMPARE(version, QString("2LV2-1.12"));
    }

    // A board that starts talking without end cannot hold the query: it returns, failed.
    void babbleDuringAQueryIsCutOff()
    {
        Bench bench(BoardType::LumivorV2);
        QVERIFY(bench.Connect());
        bench.board.SetFault(Fault::Babble, "ADV#TIME");
        QString time = "kept";

        QVERIFY(!bench.link.GetTime(&time));
        QCOMPARE(time, QString("kept"));

        bench.board.ClearFaults();
        QString version;
        QVERIFY(bench.link.GetVersion(&version));
        QCOMPARE(version, QString("2LV2-1.12"));
    }

    void lateReplyIsNotTakenForTheNextAnswer_data()
    {
        QTest::addColumn<QByteArray>("lateCommand");
        QTest::addColumn<TextQuery>("first");
        QTest::addColumn<QString>("firstResult");
        QTest::addColumn<QByteArray>("lateBytes");
        QTest::addColumn<TextQuery>("next");
        QTest::addColumn<QString>("nextResult");

        const TextQuery time = [](CAdvCmd &l, QString *out) { return l.GetTime(out); };
        const TextQuery date = [](CAdvCmd &l, QString *out) { return l.GetDate(out); };
        const TextQuery analog1 = [](CAdvCmd &l, QString *out) { return l.GetInputA(1, out); };
        const TextQuery digital2 = [](CAdvCmd &l, QString *out) { return l.GetInputL(2, out); };
        const QByteArray analogReply = "+INPUTA=1,1.25;\r\nOK\r\n";

        QTest::newRow("a late time is not taken for the date")
            << QByteArray("ADV#TIME") << time << "failed"
            << QByteArray("+TIME=\"09:00:00\";\r\nOK\r\n") << date << "\"01/03/2025\"";
        // Its first reply comes during the second attempt; the second one while the line is idle.
        QTest::newRow("a late analog reading is not taken for the board time")
            << QByteArray("ADV#INPUTA=1") << analog1 << "1.25" << analogReply + analogReply << time
            << "\"09:00:00\"";
        QTest::newRow("a late analog reading is not taken for a digital reading")
            << QByteArray("ADV#INPUTA=1") << analog1 << "1.25" << analogReply + analogReply
            << digital2 << "1";
    }

    // A reply that comes after its query gave up is dropped when the next query starts: that
    // query reads its own answer.
    void lateReplyIsNotTakenForTheNextAnswer()
    {
        QFETCH(QByteArray, lateCommand);
        QFETCH(TextQuery, first);
        QFETCH(QString, firstResult);
        QFETCH(QByteArray, lateBytes);
        QFETCH(TextQuery, next);
        QFETCH(QString, nextResult);

        Bench bench(BoardType::LumivorV2);
        QVERIFY(bench.Connect());
        bench.board.SetClock(QDateTime(QDate(2025, 3, 1), QTime(9, 0, 0)), false);
        bench.board.SetAnalogInput(1, "1.25");
        bench.board.SetDigitalInput(2, "1");
        bench.board.SetFault(Fault::Late, lateCommand);

        QString text;
        QCOMPARE(first(bench.link, &text) ? text : QString("failed"), firstResult);
        QVERIFY(WaitForSent(bench.board, lateBytes.size()));
        bench.board.ClearFaults();

        QVERIFY(next(bench.link, &text));
        QCOMPARE(text, nextResult);
    }
};

QTEST_GUILESS_MAIN(TestAdvCmdQueries)
#include "test_advcmdqueries.moc"
