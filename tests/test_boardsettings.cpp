#include "device/BackupStore.h"
#include "device/BoardSettings.h"
#include "device/ProgrammeFile.h"
#include "tests/LinkBench.h"
#include "tests/TestProgramme.h"

#include <QtTest>

#include <functional>

// The settings model: its reset values, the board types, its setters with the link down and up,
// and the read-out of a connected board.

using namespace linkbench;

namespace {

QDateTime TimeOfDay(int h, int m, int s)
{
    return QDateTime(QDate(1900, 1, 1), QTime(h, m, s));
}

// The programme part of the model or of a board, in one comparable form.
struct Snapshot
{
    OutputModes outputModes{};
    PowerModes powerModes{};
    WakeSessions sessions{};
    InputTriggers inputs{};
    AllOutputTimings timings{};
    AllPowerTimes powerTimes{};
};

Snapshot Of(const CBoardSettings &settings)
{
    Snapshot s;
    s.outputModes = settings.GetOutputModes();
    s.powerModes = settings.GetPowerModes();
    for (int j = 0; j < kSessionCount; ++j) {
        s.sessions[size_t(j)] = settings.GetSession(j);
        s.timings[size_t(j)] = settings.GetOutputTimings(j);
        s.powerTimes[size_t(j)] = settings.GetPowerTimes(j);
    }
    s.inputs = settings.GetInputTriggers();
    return s;
}

// A board's programme or the model's BoardProgramme.
template <typename Programme> Snapshot Of(const Programme &p)
{
    return {p.outputModes, p.powerModes, p.sessions, p.inputs, p.outputTimings, p.powerTimes};
}

BoardProgramme Programme(const Snapshot &s)
{
    return {s.sessions, s.inputs, s.outputModes, s.powerModes, s.timings, s.powerTimes};
}

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

// One group of a snapshot as text: "outputs", "powers", "sessions", "inputs", "timings",
// "power times"; empty: all of them.
QString Text(const Snapshot &s, const QString &group = QString())
{
    QStringList parts;
    if (group.isEmpty() || group == "outputs")
        parts << "outputs " + Join(s.outputModes);
    if (group.isEmpty() || group == "powers")
        parts << "powers " + Join(s.powerModes);
    if (group.isEmpty() || group == "sessions") {
        for (const WakeSession &w : s.sessions)
            parts << QString("session %1 %2 %3 %4")
                         .arg(w.mode)
                         .arg(TimeText(w.start), TimeText(w.interval))
                         .arg(w.repeat);
    }
    if (group.isEmpty() || group == "inputs") {
        for (const InputTrigger &in : s.inputs)
            parts << QString("input %1 %2 %3").arg(in.detection).arg(in.enabled).arg(in.session);
    }
    if (group.isEmpty() || group == "timings") {
        for (const SessionOutputTimings &t : s.timings)
            parts << "timings " + Join(t.number) + ' ' + Join(t.delay) + ' ' + Join(t.duration) +
                         ' ' + Join(t.interval);
    }
    if (group.isEmpty() || group == "power times") {
        for (const PowerTimes &p : s.powerTimes)
            parts << "power times " + Join(p);
    }
    return parts.join('\n');
}

// Values no board here reports, stored while the link is down.
Snapshot Sentinels()
{
    Snapshot s;
    s.outputModes = {-5, -5, -5, -5, 55, 66};
    s.powerModes = {-7, 77};
    for (int j = 0; j < kSessionCount; ++j) {
        s.sessions[size_t(j)] = {70 + j, TimeOfDay(1, 2, j), TimeOfDay(4, 5, j), 90 + j};
        s.timings[size_t(j)].number.fill(-10 - j);
        s.timings[size_t(j)].delay.fill(-20 - j);
        s.timings[size_t(j)].duration.fill(-30 - j);
        s.timings[size_t(j)].interval.fill(-40 - j);
        s.powerTimes[size_t(j)] = {-50 - j, -60 - j};
    }
    s.inputs = {{{9, 9, 9}, {8, 8, 8}}};
    return s;
}

void Store(const Snapshot &s, CBoardSettings *settings)
{
    settings->SetOutputModes(s.outputModes);
    settings->SetPowerModes(s.powerModes[0], s.powerModes[1]);
    for (int j = 0; j < kSessionCount; ++j) {
        settings->SetSession(j, s.sessions[size_t(j)]);
        settings->SetOutputTimings(j, s.timings[size_t(j)]);
        settings->SetPowerTimes(j, s.powerTimes[size_t(j)][0], s.powerTimes[size_t(j)][1]);
    }
    settings->SetInputTriggers(s.inputs);
}

// A board programme unlike the default one and unlike the sentinels, a null time included.
CSimulatedBoard::Programme Distinctive()
{
    CSimulatedBoard::Programme p;
    p.outputModes = {4, 3, 2, 1, 0, -1};
    p.powerModes = {2, 1};
    p.battery = {3100, 3900};
    p.sessions[0] = {1, TimeOfDay(6, 15, 0), TimeOfDay(0, 5, 0), 30};
    p.sessions[1] = {2, QDateTime(), TimeOfDay(0, 0, 10), 3};
    p.sessions[2] = {1, TimeOfDay(23, 59, 59), TimeOfDay(1, 0, 0), 2};
    p.sessions[3] = {0, TimeOfDay(12, 0, 0), TimeOfDay(0, 0, 1), 7};
    p.inputs = {{{2, 1, 3}, {1, 0, 2}}};
    for (int j = 0; j < kSessionCount; ++j) {
        for (int o = 0; o < kMaxOutputs; ++o) {
            const int base = 10 * (o + 1) + j;
            SessionOutputTimings &t = p.outputTimings[size_t(j)];
            t.number[size_t(o)] = base;
            t.delay[size_t(o)] = base + 100;
            t.duration[size_t(o)] = base + 200;
            t.interval[size_t(o)] = base + 300;
        }
        p.powerTimes[size_t(j)] = {1000 + j, 2000 + j};
    }
    return p;
}

using Setter = std::function<bool(CBoardSettings &)>;
using Edit = std::function<void(BoardProgramme &)>;
using BenchStep = std::function<void(ModelBench &)>;

} // namespace

Q_DECLARE_METATYPE(Setter)
Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(BenchStep)

class TestBoardSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No test may ever scan the machine's own serial ports.
        ScanOnly({});
        QuietDebugOutput();
    }

    void setBoardType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("outputs");
        QTest::addColumn<int>("inputs");
        QTest::addColumn<int>("powers");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("liveType"); // of the family

        QTest::newRow("0 unknown") << 0 << 0 << 0 << 0 << "unknown" << 0;
        QTest::newRow("1 Lumivor V1") << 1 << 6 << 2 << 2 << "Lumivor V1" << 1;
        QTest::newRow("2 Lumivor V2") << 2 << 4 << 2 << 2 << "Lumivor V2" << 2;
        QTest::newRow("3 KOTA") << 3 << 0 << 1 << 1 << "KOTA" << 3;
        QTest::newRow("4 KOTA file mode") << 4 << 0 << 1 << 1 << "KOTA" << 3;
        QTest::newRow("5 Lumivor V1 file mode: no inputs") << 5 << 6 << 0 << 2 << "Lumivor V1" << 1;
        QTest::newRow("6 Lumivor V2 file mode") << 6 << 4 << 2 << 2 << "Lumivor V2" << 2;
        QTest::newRow("7 is no board type") << 7 << 0 << 0 << 0 << "unknown" << 0;
        QTest::newRow("9 is no board type") << 9 << 0 << 0 << 0 << "unknown" << 0;
        QTest::newRow("-1 is no board type") << -1 << 0 << 0 << 0 << "unknown" << 0;
    }

    void setBoardType()
    {
        QFETCH(int, type);
        QFETCH(int, outputs);
        QFETCH(int, inputs);
        QFETCH(int, powers);
        QFETCH(QString, family);
        QFETCH(int, liveType);

        QCOMPARE(BoardType::Family(type), family);
        QCOMPARE(BoardType::LiveType(family), liveType);
        QCOMPARE(BoardType::LiveType(family.toUpper() + ' '), -1);
        CBoardSettings settings;
        settings.SetBoardType(1); // counts of another type first, to be replaced
        settings.SetBoardType(type);

        QCOMPARE(settings.GetBoardType(), type);
        QCOMPARE(settings.GetOutputCount(), outputs);
        QCOMPARE(settings.GetPowerCount(), powers);
        QCOMPARE(settings.Link().BoardType(), type);
        QCOMPARE(settings.Link().OutputCount(), outputs);
        QCOMPARE(settings.Link().InputCount(), inputs);
        QCOMPARE(settings.Link().PowerCount(), powers);
    }

    void resetValues()
    {
        ModelBench bench(BoardType::LumivorV2);
        Store(Sentinels(), &bench.settings);
        bench.settings.SetBatteryThresholds({3300, 4100});
        QVERIFY(bench.Connect());
        QVERIFY(bench.settings.ReadAll());
        bench.settings.SetBoardType(BoardType::LumivorV2File);
        bench.board.ClearReceived();

        bench.settings.Reset();

        QCOMPARE(bench.settings.GetVersion(), QString("unknown"));
        QCOMPARE(bench.settings.GetBoardType(), 0);
        QCOMPARE(bench.settings.GetOutputCount(), 0);
        QCOMPARE(bench.settings.GetPowerCount(), 0);
        Snapshot zero;
        const QDateTime midnight = QDateTime::fromString("00:00:00", "hh:mm:ss");
        QVERIFY(!midnight.isNull());
        for (WakeSession &session : zero.sessions)
            session = {0, midnight, midnight, 0};
        QCOMPARE(Text(Of(bench.settings)), Text(zero));
        QCOMPARE(bench.settings.GetSession(0).start, midnight);

        // The port and the link stay as they were; a reset sends nothing.
        QCOMPARE(bench.settings.GetPortName(), bench.board.PortName());
        QVERIFY(bench.settings.IsConnected());
        QCOMPARE(bench.settings.Link().BoardType(), int(BoardType::LumivorV2File));
        QCOMPARE(bench.settings.Link().OutputCount(), 4);
        QVERIFY(Lines(bench.board).isEmpty());

        // With the link down the stored thresholds come back unasked.
        ScanOnly({});
        QVERIFY(!bench.settings.ConnectBoard());
        QCOMPARE(bench.settings.GetPortName(), bench.board.PortName());
        QCOMPARE(bench.settings.ReadBatteryThresholds(), (BatteryThresholds{0, 0}));
    }

    void resetForgetsTheBoardType_data()
    {
        QTest::addColumn<int>("type");
        for (int type = 1; type <= 6; ++type)
            QTest::addRow("type %d", type) << type;
    }

    // Only the model's type goes back to 0: the link keeps its counts and type.
    void resetForgetsTheBoardType()
    {
        QFETCH(int, type);
        CBoardSettings settings;
        settings.SetBoardType(type);
        const BoardType::Capabilities caps = BoardType::CapabilitiesOf(type);

        settings.Reset();
        QCOMPARE(settings.GetBoardType(), 0);
        QCOMPARE(settings.GetOutputCount(), 0);
        QCOMPARE(settings.GetPowerCount(), 0);
        QCOMPARE(settings.Link().BoardType(), type);
        QCOMPARE(settings.Link().OutputCount(), caps.outputs);
        QCOMPARE(settings.Link().InputCount(), caps.inputs);
        QCOMPARE(settings.Link().PowerCount(), caps.powers);
    }

    void settersStoreWithTheLinkDown_data()
    {
        QTest::addColumn<Setter>("setter");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("stored");

        const QString blankSession = "session 0 null null 0";
        QTest::newRow("output modes") << Setter([](CBoardSettings &s) {
            return s.SetOutputModes({1, 2, 3, 4, 0, -1});
        }) << "outputs"
                                      << "outputs 1,2,3,4,0,-1";
        QTest::newRow("power modes")
            << Setter([](CBoardSettings &s) { return s.SetPowerModes(2, -1); }) << "powers"
            << "powers 2,-1";
        QTest::newRow("session 2 alone")
            << Setter([](CBoardSettings &s) {
                   return s.SetSession(2, {1, TimeOfDay(7, 30, 0), TimeOfDay(0, 10, 0), 12});
               })
            << "sessions"
            << QStringList{blankSession, blankSession,
                           "session 1 1900-01-01 07:30:00 1900-01-01 00:10:00 12", blankSession}
                   .join('\n');
        QTest::newRow("input triggers") << Setter([](CBoardSettings &s) {
            return s.SetInputTriggers({{{1, 1, 2}, {2, 0, 3}}});
        }) << "inputs"
                                        << "input 1 1 2\ninput 2 0 3";
        QTest::newRow("power times of session 3")
            << Setter([](CBoardSettings &s) { return s.SetPowerTimes(3, 90, 45); }) << "power times"
            << "power times 0,0\npower times 0,0\npower times 0,0\npower times 90,45";
        SessionOutputTimings timings;
        timings.number = {1, 2, 3, 4, 5, 6};
        timings.interval = {60, 0, 0, 0, 0, -1};
        QTest::newRow("output timings of session 1")
            << Setter([timings](CBoardSettings &s) { return s.SetOutputTimings(1, timings); })
            << "timings"
            << "timings 0,0,0,0,0,0 0,0,0,0,0,0 0,0,0,0,0,0 0,0,0,0,0,0\n"
               "timings 1,2,3,4,5,6 0,0,0,0,0,0 0,0,0,0,0,0 60,0,0,0,0,-1\n"
               "timings 0,0,0,0,0,0 0,0,0,0,0,0 0,0,0,0,0,0 0,0,0,0,0,0\n"
               "timings 0,0,0,0,0,0 0,0,0,0,0,0 0,0,0,0,0,0 0,0,0,0,0,0";
    }

    // A setter stores whatever happens to its command, and reports that nothing was sent.
    void settersStoreWithTheLinkDown()
    {
        QFETCH(Setter, setter);
        QFETCH(QString, group);
        QFETCH(QString, stored);

        CBoardSettings settings;
        settings.SetBoardType(BoardType::LumivorV1);
        QVERIFY(!setter(settings));
        QCOMPARE(Text(Of(settings), group), stored);
    }

    void batteryThresholdsWithTheLinkDown()
    {
        CBoardSettings settings;
        QCOMPARE(settings.ReadBatteryThresholds(), (BatteryThresholds{0, 0}));
        QVERIFY(!settings.SetBatteryThresholds({3300, 4100}));
        QCOMPARE(settings.ReadBatteryThresholds(), (BatteryThresholds{3300, 4100}));
        settings.Reset();
        QCOMPARE(settings.ReadBatteryThresholds(), (BatteryThresholds{0, 0}));
    }

    void batteryThresholdsFromTheBoard()
    {
        ModelBench bench;
        CSimulatedBoard::Programme programme = bench.board.GetProgramme();
        programme.battery = {3100, 3900};
        bench.board.SetProgramme(programme);
        bench.settings.SetBatteryThresholds({3300, 4100});
        QVERIFY(bench.Connect());

        QCOMPARE(bench.settings.ReadBatteryThresholds(), (BatteryThresholds{3100, 3900}));

        // A failed reading returns what is stored: the last good one.
        bench.board.SetFault(Fault::NoOk, "ADV#BATTERY");
        QCOMPARE(bench.settings.ReadBatteryThresholds(), (BatteryThresholds{3100, 3900}));
        QCOMPARE(Lines(bench.board).size(), 1 + 5);
    }

    void settersReachTheBoard_data()
    {
        QTest::addColumn<Setter>("setter");
        QTest::addColumn<QString>("group");

        QTest::newRow("output modes") << Setter([](CBoardSettings &s) {
            return s.SetOutputModes({0, 1, 2, 3, 4, -1});
        }) << "outputs";
        QTest::newRow("power modes")
            << Setter([](CBoardSettings &s) { return s.SetPowerModes(1, 2); }) << "powers";
        QTest::newRow("one session sends all four") << Setter([](CBoardSettings &s) {
            return s.SetSession(2, {1, TimeOfDay(7, 30, 0), TimeOfDay(0, 10, 0), 12});
        }) << "sessions";
        QTest::newRow("input triggers") << Setter([](CBoardSettings &s) {
            return s.SetInputTriggers({{{1, 1, 2}, {2, 0, 3}}});
        }) << "inputs";
        QTest::newRow("one session's power times send all")
            << Setter([](CBoardSettings &s) { return s.SetPowerTimes(3, 90, 45); })
            << "power times";
        SessionOutputTimings timings;
        timings.number = {1, 2, 3, 4, 5, 6};
        timings.delay = {7, 8, 9, 10, 11, 12};
        timings.interval = {60, 0, 0, 0, 0, -1};
        QTest::newRow("one session's output timings send all")
            << Setter([timings](CBoardSettings &s) { return s.SetOutputTimings(1, timings); })
            << "timings";
    }

    // Stored in the model, sent, and understood: the board's programme matches the model's.
    void settersReachTheBoard()
    {
        QFETCH(Setter, setter);
        QFETCH(QString, group);

        ModelBench bench(BoardType::LumivorV1);
        bench.board.SetProgramme(Distinctive());
        QVERIFY(bench.Connect());
        bench.settings.SetBoardType(BoardType::LumivorV1);
        const QString modelBefore = Text(Of(bench.settings), group);

        QVERIFY(setter(bench.settings));
        const QString stored = Text(Of(bench.settings), group);
        QVERIFY(stored != modelBefore);
        QVERIFY(stored != Text(Of(Distinctive()), group)); // so the board must have changed
        QCOMPARE(Text(Of(bench.board.GetProgramme()), group), stored);
    }

    void clockAndBatteryReachTheBoard()
    {
        ModelBench bench(BoardType::LumivorV1);
        bench.board.SetClock(QDateTime(QDate(2025, 3, 1), QTime(9, 0, 0)), false);
        QVERIFY(bench.Connect());

        QVERIFY(bench.settings.SetTime("\"14:05:00\""));
        QVERIFY(bench.settings.SetDate("\"06/12/2026\""));
        QCOMPARE(bench.board.Clock(), QDateTime(QDate(2026, 12, 6), QTime(14, 5, 0)));
        QVERIFY(bench.settings.SetBatteryThresholds({3300, 1000}));
        QCOMPARE(bench.board.GetProgramme().battery, (BatteryThresholds{3300, 1000}));

        QString text;
        QVERIFY(bench.settings.GetTime(&text));
        QCOMPARE(text, QString("\"14:05:00\""));
        QVERIFY(bench.settings.GetDate(&text));
        QCOMPARE(text, QString("\"06/12/2026\""));
    }

    void inputReadingsFromTheBoard()
    {
        ModelBench bench(BoardType::LumivorV1);
        bench.board.SetAnalogInput(3, "3.30");
        bench.board.SetAnalogInput(4, "-7");
        bench.board.SetDigitalInput(2, "1");
        QVERIFY(bench.Connect());
        QString reading;

        QVERIFY(bench.settings.GetAnalogInput(3, &reading));
        QCOMPARE(reading, QString("3.30"));
        QVERIFY(bench.settings.GetAnalogInput(4, &reading));
        QCOMPARE(reading, QString("-7"));
        QVERIFY(bench.settings.GetDigitalInput(2, &reading));
        QCOMPARE(reading, QString("1"));
        QCOMPARE(Lines(bench.board),
                 (QByteArrayList{"ADV#INPUTA=3\r", "ADV#INPUTA=4\r", "ADV#INPUTL=2\r"}));
    }

    void readAllTakesTheTypeFromTheVersion_data()
    {
        QTest::addColumn<int>("boardType");
        QTest::addColumn<QString>("versionField");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("result");

        QTest::newRow("1: Lumivor V1") << 1 << "1LV1-2.04" << 1 << "LV1-2.04" << true;
        QTest::newRow("2: Lumivor V2") << 2 << "2LV2-1.12" << 2 << "LV2-1.12" << true;
        QTest::newRow("3: KOTA") << 3 << "3KOTA-1.05" << 3 << "KOTA-1.05" << true;
        QTest::newRow("the digit alone") << 2 << "2" << 2 << "" << true;
        QTest::newRow("0: unknown") << 0 << "0GENERIC-1.00" << 0 << "GENERIC-1.00" << true;
        QTest::newRow("7 is no type") << 2 << "7abc" << 0 << "abc" << true;
        QTest::newRow("4 is a file mode, never reported") << 3 << "4KOTA" << 0 << "KOTA" << true;
        QTest::newRow("a letter") << 2 << "xLV2" << 0 << "LV2" << true;
        QTest::newRow("a letter alone") << 2 << "x" << 0 << "" << true;
        QTest::newRow("a dot") << 2 << "." << 0 << "" << true;
        QTest::newRow("a minus sign") << 2 << "-2abc" << 0 << "2abc" << true;
        QTest::newRow("an empty version") << 2 << "" << 0 << "" << true;
    }

    void readAllTakesTheTypeFromTheVersion()
    {
        QFETCH(int, boardType);
        QFETCH(QString, versionField);
        QFETCH(int, type);
        QFETCH(QString, version);
        QFETCH(bool, result);

        ModelBench bench(boardType);
        bench.board.SetVersion(versionField);
        bench.settings.SetBoardType(BoardType::LumivorV1File);
        QVERIFY(bench.Connect());

        QCOMPARE(bench.settings.ReadAll(), result);
        QCOMPARE(bench.settings.GetBoardType(), type);
        QCOMPARE(bench.settings.GetVersion(), version);
        const BoardType::Capabilities caps = BoardType::CapabilitiesOf(type);
        QCOMPARE(bench.settings.Link().BoardType(), type);
        QCOMPARE(bench.settings.Link().OutputCount(), caps.outputs);
        QCOMPARE(bench.settings.Link().InputCount(), caps.inputs);
        QCOMPARE(bench.settings.Link().PowerCount(), caps.powers);
        QCOMPARE(bench.settings.GetOutputCount(), caps.outputs);
        // A board of no known type has sessions only: nothing else is asked for.
        if (type == BoardType::Unknown)
            QCOMPARE(Lines(bench.board), (QByteArrayList{"ADV#VERSION\r", "ADV#WAKE=?\r"}));
    }

    void readAllStoresTheProgramme_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("Lumivor V1: everything") << int(BoardType::LumivorV1);
        QTest::newRow("Lumivor V2: outputs 5 and 6 untouched") << int(BoardType::LumivorV2);
        QTest::newRow("KOTA: no outputs, rail 2 and input 2 untouched") << int(BoardType::Kota);
    }

    void readAllStoresTheProgramme()
    {
        QFETCH(int, type);

        ModelBench bench(type);
        const CSimulatedBoard::Programme programme = Distinctive();
        bench.board.SetProgramme(programme);
        Store(Sentinels(), &bench.settings);
        bench.settings.SetBatteryThresholds({3300, 4100});
        QVERIFY(bench.Connect());

        QVERIFY(bench.settings.ReadAll());

        // The board's values wherever the type has the item; the earlier ones elsewhere.
        const BoardType::Capabilities caps = BoardType::CapabilitiesOf(type);
        const Snapshot board = Of(programme);
        Snapshot expected = Sentinels();
        expected.sessions = board.sessions;
        for (int o = 0; o < caps.outputs; ++o) {
            const size_t i = size_t(o);
            expected.outputModes[i] = board.outputModes[i];
            for (int j = 0; j < kSessionCount; ++j) {
                SessionOutputTimings &t = expected.timings[size_t(j)];
                const SessionOutputTimings &b = board.timings[size_t(j)];
                t.number[i] = b.number[i];
                t.delay[i] = b.delay[i];
                t.duration[i] = b.duration[i];
                t.interval[i] = b.interval[i];
            }
        }
        for (int r = 0; r < caps.powers; ++r) {
            expected.powerModes[size_t(r)] = board.powerModes[size_t(r)];
            for (int j = 0; j < kSessionCount; ++j)
                expected.powerTimes[size_t(j)][size_t(r)] = board.powerTimes[size_t(j)][size_t(r)];
        }
        for (int i = 0; i < caps.inputs; ++i)
            expected.inputs[size_t(i)] = board.inputs[size_t(i)];
        QCOMPARE(Text(Of(bench.settings)), Text(expected));
        if (type == BoardType::LumivorV1)
            QCOMPARE(Text(Of(bench.settings)), Text(board));

        // The read-out leaves the battery thresholds alone.
        ScanOnly({});
        QVERIFY(!bench.settings.ConnectBoard());
        QCOMPARE(bench.settings.ReadBatteryThresholds(), (BatteryThresholds{3300, 4100}));
    }

    // A board that does not answer the sessions query: what came before is stored, what would
    // have come after is neither asked for nor changed.
    void readAllStopsAtTheFirstFailure()
    {
        ModelBench bench(BoardType::LumivorV1);
        const CSimulatedBoard::Programme programme = Distinctive();
        bench.board.SetProgramme(programme);
        Store(Sentinels(), &bench.settings);
        QVERIFY(bench.Connect());
        bench.board.SetFault(Fault::Silent, "ADV#WAKE");

        QVERIFY(!bench.settings.ReadAll());

        QCOMPARE(bench.settings.GetBoardType(), int(BoardType::LumivorV1));
        QCOMPARE(bench.settings.GetVersion(), QString("LV1-2.04"));
        Snapshot expected = Sentinels();
        expected.outputModes = programme.outputModes;
        expected.powerModes = programme.powerModes;
        QCOMPARE(Text(Of(bench.settings)), Text(expected));
        QCOMPARE(Lines(bench.board),
                 (QByteArrayList{"ADV#VERSION\r", "ADV#OUTPUT=?\r", "ADV#POWER=?\r", "ADV#WAKE=?\r",
                                 "ADV#WAKE=?\r", "ADV#WAKE=?\r", "ADV#WAKE=?\r", "ADV#WAKE=?\r"}));
    }

    // A board that answers the handshake but not its version leaves no file mode behind: the
    // type becomes unknown, the programme stays as it was.
    void versionFailureLeavesTheTypeUnknown()
    {
        ModelBench bench(BoardType::LumivorV2);
        Store(Sentinels(), &bench.settings);
        bench.settings.SetBoardType(BoardType::KotaFile);
        QVERIFY(bench.Connect());
        bench.board.SetFault(Fault::NoOk, "ADV#VERSION");

        QVERIFY(!bench.settings.ReadAll());

        QCOMPARE(bench.settings.GetBoardType(), int(BoardType::Unknown));
        QCOMPARE(bench.settings.GetVersion(), QString("unknown"));
        QCOMPARE(bench.settings.Link().BoardType(), int(BoardType::Unknown));
        QCOMPARE(bench.settings.Link().OutputCount(), 0);
        QCOMPARE(bench.settings.Link().InputCount(), 0);
        QCOMPARE(bench.settings.Link().PowerCount(), 0);
        QCOMPARE(Text(Of(bench.settings)), Text(Sentinels()));
        QCOMPARE(Lines(bench.board), QByteArrayList() << "ADV#VERSION\r"
                                                      << "ADV#VERSION\r"
                                                      << "ADV#VERSION\r"
                                                      << "ADV#VERSION\r"
                                                      << "ADV#VERSION\r");
    }

    void readProgrammeAsksForTheProgrammeAlone_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArrayList>("requests");

        const QByteArrayList every{"ADV#OUTPUT=?\r",  "ADV#POWER=?\r",  "ADV#WAKE=?\r",
                                   "ADV#COUTPUT=?\r", "ADV#CPOWER=?\r", "ADV#CINPUT=?\r"};
        QTest::newRow("Lumivor V1: every query") << int(BoardType::LumivorV1) << every;
        QTest::newRow("Lumivor V2: every query") << int(BoardType::LumivorV2) << every;
        QTest::newRow("KOTA: no output queries")
            << int(BoardType::Kota)
            << QByteArrayList{"ADV#POWER=?\r", "ADV#WAKE=?\r", "ADV#CPOWER=?\r", "ADV#CINPUT=?\r"};
        QTest::newRow("unknown: the sessions alone")
            << int(BoardType::Unknown) << QByteArrayList{"ADV#WAKE=?\r"};
    }

    // No handshake and no version query; every step counted, a skipped one too.
    void readProgrammeAsksForTheProgrammeAlone()
    {
        QFETCH(int, type);
        QFETCH(QByteArrayList, requests);

        ModelBench bench(type);
        bench.board.SetProgramme(Distinctive());
        bench.settings.SetBoardType(type);
        QCOMPARE(bench.settings.ProgrammeRequests(), 0);
        QVERIFY(bench.Connect());
        bench.settings.SetProgramme(Programme(Sentinels()));
        QCOMPARE(Text(Of(bench.settings)), Text(Sentinels()));
        QCOMPARE(bench.settings.ProgrammeRequests(), requests.size());

        int steps = 0;
        QVERIFY(bench.settings.ReadProgramme([&steps] { ++steps; }));
        QCOMPARE(Lines(bench.board), requests);
        QCOMPARE(steps, CBoardSettings::kProgrammeSteps);
        QCOMPARE(Text(Of(bench.settings), "sessions"), Text(Of(Distinctive()), "sessions"));
        QCOMPARE(Text(Of(bench.settings.GetProgramme())), Text(Of(bench.settings)));
    }

    void sendDifferingLines_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<Edit>("edit"); // of the board's programme
        QTest::addColumn<QByteArrayList>("lines");

        const Edit start = [](BoardProgramme &p) { p.sessions[2].start = TimeOfDay(18, 30, 0); };
        const Edit timing = [](BoardProgramme &p) { p.outputTimings[3].delay[0] = 7; };
        const Edit powerTime = [](BoardProgramme &p) { p.powerTimes[1][0] = 45; };
        const Edit input = [](BoardProgramme &p) { p.inputs[0] = {2, 0, 3}; };
        const Edit mode = [](BoardProgramme &p) { p.outputModes[5] = 4; };
        const QByteArray wake = "ADV#WAKE=2,1,\"18:30:00\",\"00:30:00\",4\r";
        for (const int type : {int(BoardType::LumivorV1), int(BoardType::Kota)}) {
            const bool v1 = type == BoardType::LumivorV1;
            const char *board = v1 ? "Lumivor V1" : "KOTA";
            QTest::addRow("%s, one session's start: one WAKE line", board)
                << type << start << QByteArrayList{wake};
            QTest::addRow("%s, one output's timing in one session", board)
                << type << timing
                << (v1 ? QByteArrayList{"ADV#COUTPUT=1,3,0,7,0,0\r"} : QByteArrayList());
            QTest::addRow("%s, one power time", board)
                << type << powerTime << QByteArrayList{"ADV#CPOWER=1,1,45\r"};
            QTest::addRow("%s, one input", board)
                << type << input << QByteArrayList{"ADV#CINPUT=1,3,2,0\r"};
            QTest::addRow("%s, one output mode", board)
                << type << mode << (v1 ? QByteArrayList{"ADV#OUTPUT=6,4\r"} : QByteArrayList());
            QTest::addRow("%s, two groups: in write-out order", board)
                << type << Edit([start, powerTime](BoardProgramme &p) {
                       start(p);
                       powerTime(p);
                   })
                << QByteArrayList{"ADV#CPOWER=1,1,45\r", wake};
            QTest::addRow("%s, nothing: no line", board)
                << type << Edit([](BoardProgramme &) {}) << QByteArrayList();
        }
    }

    // Exactly the lines that differ, and they bring the board to the model's programme.
    void sendDifferingLines()
    {
        QFETCH(int, type);
        QFETCH(Edit, edit);
        QFETCH(QByteArrayList, lines);

        ModelBench bench(type);
        QVERIFY(bench.Connect());
        bench.settings.SetBoardType(type);
        const BoardProgramme held = testprogramme::ProgrammeOf(bench.board);
        BoardProgramme wanted = held;
        edit(wanted);
        bench.settings.SetProgramme(wanted);

        QCOMPARE(bench.settings.DifferingLines(held).size(), lines.size());
        QCOMPARE(bench.settings.SendDifferingLines(held), lines.size());
        QCOMPARE(Lines(bench.board), lines);
        const BoardProgramme now = testprogramme::ProgrammeOf(bench.board);
        QVERIFY(CProgrammeFile::Compare(BoardType::Family(type), now, wanted).isEmpty());
    }

    void backupOfWhatTheBoardHolds_data()
    {
        QTest::addColumn<BenchStep>("step"); // after a read-out
        QTest::addColumn<QByteArrayList>("queries");

        const QByteArrayList every{"ADV#OUTPUT=?\r",  "ADV#POWER=?\r",  "ADV#WAKE=?\r",
                                   "ADV#COUTPUT=?\r", "ADV#CPOWER=?\r", "ADV#CINPUT=?\r"};
        const auto powerTimes = [](ModelBench &b) { b.settings.SetPowerTimes(1, 45, 50); };
        QTest::newRow("a read-out knows every group")
            << BenchStep([](ModelBench &) {}) << QByteArrayList();
        QTest::newRow("an answered write knows what it sent")
            << BenchStep(powerTimes) << QByteArrayList();
        QTest::newRow("an unanswered line forgets its group alone")
            << BenchStep([powerTimes](ModelBench &b) {
                   b.board.SetFault(Fault::Silent, "ADV#CPOWER=2,1");
                   powerTimes(b);
               })
            << QByteArrayList{"ADV#CPOWER=?\r"};
        QTest::newRow("a write to a command file changes nothing")
            << BenchStep([powerTimes](ModelBench &b) {
                   b.settings.SetBoardType(BoardType::LumivorV1File);
                   powerTimes(b);
                   b.settings.SetBoardType(BoardType::LumivorV1);
               })
            << QByteArrayList();
        QTest::newRow("a read-back that stops knows the groups it read")
            << BenchStep([](ModelBench &b) {
                   b.settings.ConnectBoard();
                   b.board.SetFault(Fault::TooFewFields, "ADV#COUTPUT");
                   BoardProgramme read;
                   b.settings.ReadProgrammeInto(&read);
               })
            << every.mid(3);
        QTest::newRow("a new connection forgets every group")
            << BenchStep([](ModelBench &b) { b.settings.ConnectBoard(); }) << every;
        QTest::newRow("Reset forgets every group")
            << BenchStep([](ModelBench &b) { b.settings.Reset(); }) << every;
    }

    // A backup holds what the board holds: the groups not known are read first, the model is
    // not touched.
    void backupOfWhatTheBoardHolds()
    {
        QFETCH(BenchStep, step);
        QFETCH(QByteArrayList, queries);

        QTemporaryDir home; // for the backups and the command file
        const QString previous = QDir::currentPath();
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        const auto restore = qScopeGuard([&] {
            QDir::setCurrent(previous);
            qputenv("XDG_DATA_HOME", dataHome);
        });
        QVERIFY(QDir::setCurrent(home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        ModelBench bench(BoardType::LumivorV1);
        bench.board.SetProgramme(Distinctive());
        QVERIFY(bench.Connect() && bench.settings.ReadAll());
        step(bench);
        bench.board.ClearFaults();
        bench.board.ClearReceived();
        const BoardProgramme model = bench.settings.GetProgramme();
        const CBackupStore store;
        QString message;
        QVERIFY(bench.settings.KeepBackup(store, 1, &message));

        QCOMPARE(Lines(bench.board), queries);
        const QStringList kept = QDir(store.Folder()).entryList(QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(testprogramme::ReadFile(QDir(store.Folder()).filePath(kept[0])),
                 CProgrammeFile::Format({"Lumivor V1", bench.settings.GetVersion(),
                                         testprogramme::ProgrammeOf(bench.board)}));
        QCOMPARE(Text(Of(bench.settings)), Text(Of(model)));
    }

    // The board goes after the third of the four WAKE lines has been answered: the fourth is never
    // written, so what the board holds of the sessions is not known any more.
    void portGoneBeforeAGroupsLastLine()
    {
        ModelBench bench(BoardType::LumivorV1);
        QVERIFY(bench.Connect() && bench.settings.ReadAll());
        int lines = 0;
        bench.settings.Link().SetLineObserver([&](const QByteArray &) {
            if (++lines == 3)
                bench.board.HangUp();
        });
        WakeSession session = bench.settings.GetSession(3);
        session.repeat += 1;
        bench.settings.SetSession(3, session);

        QCOMPARE(lines, 3);
        QVERIFY(!bench.settings.Held().IsKnown(CHeldProgramme::Group::Wake));
        QVERIFY(bench.settings.Held().IsKnown(CHeldProgramme::Group::CPower));
    }

    void readAllWithTheLinkDown()
    {
        CBoardSettings settings;
        Store(Sentinels(), &settings);
        QVERIFY(!settings.ReadAll());
        QCOMPARE(settings.GetVersion(), QString());
        QCOMPARE(Text(Of(settings)), Text(Sentinels()));
    }

    // The board goes away in the middle of a read-out: the link is down from then on, so every
    // later exchange fails at once, a new scan finds nothing, and a board that appears later is
    // found.
    void boardHangsUpDuringTheReadOut()
    {
        ModelBench bench(BoardType::LumivorV1);
        const CSimulatedBoard::Programme programme = Distinctive();
        bench.board.SetProgramme(programme);
        Store(Sentinels(), &bench.settings);
        QVERIFY(bench.Connect());
        const QString port = bench.board.PortName();
        bench.board.SetFault(Fault::HangUp, "ADV#WAKE");

        QVERIFY(!bench.settings.ReadAll());
        // The board closes its line first and marks itself gone just after.
        QVERIFY(WaitUntil([&] { return !bench.board.IsRunning(); }));
        Snapshot expected = Sentinels();
        expected.outputModes = programme.outputModes;
        expected.powerModes = programme.powerModes;
        QCOMPARE(Text(Of(bench.settings)), Text(expected));

        QString text = "kept";
        QVERIFY(!bench.settings.GetTime(&text));
        QCOMPARE(text, QString("kept"));
        QVERIFY(!bench.settings.SetPowerModes(1, 1));
        QVERIFY(bench.settings.Link().WasUnplugged());
        QVERIFY(!bench.settings.ConnectBoard());
        QVERIFY(!bench.settings.IsConnected());
        QCOMPARE(bench.settings.GetPortName(), port);

        CSimulatedBoard next(BoardType::LumivorV2);
        QVERIFY(next.Start());
        ScanOnly({port, next.PortName()});
        QVERIFY(bench.settings.ConnectBoard());
        QCOMPARE(bench.settings.GetPortName(), next.PortName());
        QVERIFY(bench.settings.ReadAll());
        QCOMPARE(bench.settings.GetBoardType(), int(BoardType::LumivorV2));
    }
};

QTEST_GUILESS_MAIN(TestBoardSettings)
#include "test_boardsettings.moc"
