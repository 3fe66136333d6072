#include "device/AdvCmd.h"
#include "device/BoardSettings.h"
#include "device/WriteReport.h"
#include "tests/LinkBench.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

// The setting commands and their emission: the lines on the wire, their order per board type,
// and the command files of the file modes.

using namespace linkbench;

namespace {

const QStringList kCommandFiles{"KOTA.txt", "LumivorV1.txt", "LumivorV2.txt"};
// Each line of a command file: the command with its CR, then CR LF.
const QByteArray kFileLineEnd = "\r\n";

QDateTime TimeOfDay(int h, int m, int s)
{
    return QDateTime(QDate(1900, 1, 1), QTime(h, m, s));
}

// "POWER:2 CPOWER:8 ...": the command names of the lines, in runs.
QString Runs(const QByteArrayList &lines)
{
    QStringList runs;
    QByteArray name;
    int count = 0;
    for (const QByteArray &line : lines) {
        const QByteArray lineName = line.mid(4, line.indexOf('=') - 4);
        if (lineName != name && count > 0) {
            runs << QString("%1:%2").arg(QString::fromLatin1(name)).arg(count);
            count = 0;
        }
        name = lineName;
        ++count;
    }
    if (count > 0)
        runs << QString("%1:%2").arg(QString::fromLatin1(name)).arg(count);
    return runs.join(' ');
}

QByteArray FileBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of a command file, each without its CR LF line end.
QByteArrayList FileLines(const QByteArray &bytes)
{
    QByteArrayList lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        line.chop(1); // the CR of the line end; the command's own CR stays
    return lines;
}

QByteArray AsFile(const QByteArrayList &lines)
{
    QByteArray bytes;
    for (const QByteArray &line : lines)
        bytes += line + kFileLineEnd;
    return bytes;
}

// A programme in which every value tells where it belongs.
struct Programme
{
    Programme()
    {
        sessions[0] = {1, TimeOfDay(7, 30, 0), TimeOfDay(0, 10, 0), 12};
        sessions[1] = {2, QDateTime(), TimeOfDay(0, 0, 30), 5};
        sessions[2] = {1, TimeOfDay(18, 0, 0), TimeOfDay(0, 30, 0), 4};
        sessions[3] = {0, TimeOfDay(0, 0, 0), TimeOfDay(0, 0, 0), 0};
        for (int j = 0; j < kSessionCount; ++j) {
            for (int o = 0; o < kMaxOutputs; ++o) {
                const int base = 10 * (o + 1) + j;
                SessionOutputTimings &t = timings[size_t(j)];
                t.number[size_t(o)] = base;
                t.delay[size_t(o)] = base + 100;
                t.duration[size_t(o)] = base + 200;
                t.interval[size_t(o)] = base + 300;
            }
            powerTimes[size_t(j)] = {100 + j, 200 + j};
        }
    }

    // Stores it in the model; with the link down nothing is sent.
    void StoreIn(CBoardSettings *settings) const
    {
        settings->SetPowerModes(powerModes[0], powerModes[1]);
        for (int j = 0; j < kSessionCount; ++j) {
            settings->SetPowerTimes(j, powerTimes[size_t(j)][0], powerTimes[size_t(j)][1]);
            settings->SetOutputTimings(j, timings[size_t(j)]);
            settings->SetSession(j, sessions[size_t(j)]);
        }
        settings->SetOutputModes(outputModes);
        settings->SetInputTriggers(inputs);
    }

    // The lines a SendAll of it sends with these counts.
    QByteArrayList Lines(int outputs, int inputs, int rails) const
    {
        QByteArrayList lines;
        const QByteArrayList power{"ADV#POWER=1,2\r", "ADV#POWER=2,-1\r"};
        lines << power.mid(0, rails);
        for (int r = 1; r <= rails; ++r) {
            for (int j = 0; j < kSessionCount; ++j)
                lines << QString("ADV#CPOWER=%1,%2,%3\r").arg(r).arg(j).arg(100 * r + j).toLatin1();
        }
        for (int n = 1; n <= outputs; ++n)
            lines << QString("ADV#OUTPUT=%1,%2\r").arg(n).arg(n - 2).toLatin1();
        for (int n = 1; n <= outputs; ++n) {
            for (int j = 0; j < kSessionCount; ++j) {
                const int base = 10 * n + j;
                lines << QString("ADV#COUTPUT=%1,%2,%3,%4,%5,%6\r")
                             .arg(n)
                             .arg(j)
                             .arg(base)
                             .arg(base + 100)
                             .arg(base + 200)
                             .arg(base + 300)
                             .toLatin1();
            }
        }
        lines << "ADV#WAKE=0,1,\"07:30:00\",\"00:10:00\",12\r"
              << "ADV#WAKE=1,2,,\"00:00:30\",5\r"
              << "ADV#WAKE=2,1,\"18:00:00\",\"00:30:00\",4\r"
              << "ADV#WAKE=3,0,\"00:00:00\",\"00:00:00\",0\r";
        const QByteArrayList input{"ADV#CINPUT=1,1,1,1\r", "ADV#CINPUT=2,3,2,0\r"};
        lines << input.mid(0, inputs);
        return lines;
    }

    OutputModes outputModes{-1, 0, 1, 2, 3, 4};
    PowerModes powerModes{2, -1};
    WakeSessions sessions;
    AllOutputTimings timings;
    AllPowerTimes powerTimes;
    InputTriggers inputs{{{1, 1, 1}, {2, 0, 3}}}; // detection, enabled, session
};

void SetType(CAdvCmd *link, int type)
{
    const BoardType::Capabilities caps = BoardType::CapabilitiesOf(type);
    link->SetBoardInfo(caps.outputs, caps.inputs, caps.powers, type);
}

using Command = std::function<bool(CAdvCmd &)>;

} // namespace

Q_DECLARE_METATYPE(Command)

class TestAdvCmdSettings : public QObject
{
    Q_OBJECT

    // Command files land in the current directory: each test runs in a fresh one.
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;

    static bool NoCommandFile()
    {
        for (const QString &name : kCommandFiles) {
            if (QFile::exists(name))
                return false;
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        // No test may ever scan the machine's own serial ports.
        ScanOnly({});
        QuietDebugOutput();
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir->path()));
    }

    void cleanup()
    {
        QDir::setCurrent(m_previousDir);
        m_dir.reset();
    }

    void sendAllPerBoardType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("runs");

        const QString v1 = "POWER:2 CPOWER:8 OUTPUT:6 COUTPUT:24 WAKE:4";
        const QString v2 = "POWER:2 CPOWER:8 OUTPUT:4 COUTPUT:16 WAKE:4 CINPUT:2";
        const QString kota = "POWER:1 CPOWER:4 WAKE:4 CINPUT:1";
        QTest::newRow("0 unknown: the sessions only") << 0 << "WAKE:4";
        QTest::newRow("1 Lumivor V1") << 1 << v1 + " CINPUT:2";
        QTest::newRow("2 Lumivor V2") << 2 << v2;
        QTest::newRow("3 KOTA") << 3 << kota;
        QTest::newRow("4 KOTA file mode") << 4 << kota;
        QTest::newRow("5 Lumivor V1 file mode: no input lines") << 5 << v1;
        QTest::newRow("6 Lumivor V2 file mode") << 6 << v2;
    }

    // Live types go to the board, file modes into the family's file and nowhere else.
    void sendAllPerBoardType()
    {
        QFETCH(int, type);
        QFETCH(QString, runs);

        const bool fileMode = type > BoardType::Kota;
        ModelBench bench(fileMode ? BoardType::LumivorV2 : type);
        const Programme programme;
        programme.StoreIn(&bench.settings);
        QVERIFY(bench.Connect());
        bench.settings.SetBoardType(type);

        QVERIFY(bench.settings.SendAll());

        const BoardType::Capabilities caps = BoardType::CapabilitiesOf(type);
        const QByteArrayList expected = programme.Lines(caps.outputs, caps.inputs, caps.powers);
        if (fileMode) {
            const QByteArray bytes = FileBytes(BoardType::CommandFile(type));
            QCOMPARE(Runs(FileLines(bytes)), runs);
            QCOMPARE(bytes, AsFile(expected));
            QVERIFY(Lines(bench.board).isEmpty());
        } else {
            QCOMPARE(Runs(Lines(bench.board)), runs);
            QCOMPARE(Lines(bench.board), expected);
            QVERIFY(NoCommandFile());
        }
    }

    void kotaCommandFileBytes()
    {
        ModelBench bench(BoardType::Kota);
        Programme().StoreIn(&bench.settings);
        QVERIFY(bench.Connect());
        bench.settings.SetBoardType(BoardType::KotaFile);

        QVERIFY(bench.settings.SendAll());
        QCOMPARE(FileBytes("KOTA.txt"), QByteArray("ADV#POWER=1,2\r\r\n"
                                                   "ADV#CPOWER=1,0,100\r\r\n"
                                                   "ADV#CPOWER=1,1,101\r\r\n"
                                                   "ADV#CPOWER=1,2,102\r\r\n"
                                                   "ADV#CPOWER=1,3,103\r\r\n"
                                                   "ADV#WAKE=0,1,\"07:30:00\",\"00:10:00\",12\r\r\n"
                                                   "ADV#WAKE=1,2,,\"00:00:30\",5\r\r\n"
                                                   "ADV#WAKE=2,1,\"18:00:00\",\"00:30:00\",4\r\r\n"
                                                   "ADV#WAKE=3,0,\"00:00:00\",\"00:00:00\",0\r\r\n"
                                                   "ADV#CINPUT=1,1,1,1\r\r\n"));
        QVERIFY(!QFile::exists("LumivorV1.txt"));
        QVERIFY(!QFile::exists("LumivorV2.txt"));
    }

    void settingLines_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<Command>("command");
        QTest::addColumn<QByteArrayList>("lines");

        const int v2 = BoardType::LumivorV2;
        const int kota = BoardType::Kota;

        WakeSessions sessions;
        sessions[0] = {1, TimeOfDay(7, 30, 0), TimeOfDay(0, 10, 0), 12};
        sessions[1] = {2, QDateTime(), TimeOfDay(0, 0, 30), 5};
        sessions[3] = {1, TimeOfDay(23, 59, 59), TimeOfDay(0, 0, 1), 1000};
        QTest::newRow("sessions: quoted times, a null time leaves its field empty")
            << v2 << Command([sessions](CAdvCmd &l) { return l.SetWake(sessions); })
            << QByteArrayList{"ADV#WAKE=0,1,\"07:30:00\",\"00:10:00\",12\r",
                              "ADV#WAKE=1,2,,\"00:00:30\",5\r", "ADV#WAKE=2,0,,,0\r",
                              "ADV#WAKE=3,1,\"23:59:59\",\"00:00:01\",1000\r"};
        QTest::newRow("output modes of a V2: four, -1 for an unchosen one")
            << v2 << Command([](CAdvCmd &l) {
                   return l.SetOutput({-1, 0, 4, -1, 9, 9});
               })
            << QByteArrayList{"ADV#OUTPUT=1,-1\r", "ADV#OUTPUT=2,0\r", "ADV#OUTPUT=3,4\r",
                              "ADV#OUTPUT=4,-1\r"};
        QTest::newRow("output modes of a KOTA: none") << kota << Command([](CAdvCmd &l) {
            return l.SetOutput({1, 1, 1, 1, 1, 1});
        }) << QByteArrayList();
        QTest::newRow("power modes of two rails") << v2 << Command([](CAdvCmd &l) {
            return l.SetPower({-1, 2});
        }) << QByteArrayList{"ADV#POWER=1,-1\r", "ADV#POWER=2,2\r"};
        QTest::newRow("power mode of a KOTA: rail 1 only") << kota << Command([](CAdvCmd &l) {
            return l.SetPower({2, 1});
        }) << QByteArrayList{"ADV#POWER=1,2\r"};

        AllOutputTimings timings;
        for (int j = 0; j < kSessionCount; ++j) {
            for (int o = 0; o < kMaxOutputs; ++o) {
                const int base = 10 * (o + 1) + j;
                timings[size_t(j)].number[size_t(o)] = base;
                timings[size_t(j)].delay[size_t(o)] = base + 100;
                timings[size_t(j)].duration[size_t(o)] = base + 200;
                timings[size_t(j)].interval[size_t(o)] = base + 300;
            }
        }
        QTest::newRow("output timings of a V2: outputs outside, sessions inside")
            << v2 << Command([timings](CAdvCmd &l) { return l.SetCOutput(timings); })
            << QByteArrayList{
                   "ADV#COUTPUT=1,0,10,110,210,310\r", "ADV#COUTPUT=1,1,11,111,211,311\r",
                   "ADV#COUTPUT=1,2,12,112,212,312\r", "ADV#COUTPUT=1,3,13,113,213,313\r",
                   "ADV#COUTPUT=2,0,20,120,220,320\r", "ADV#COUTPUT=2,1,21,121,221,321\r",
                   "ADV#COUTPUT=2,2,22,122,222,322\r", "ADV#COUTPUT=2,3,23,123,223,323\r",
                   "ADV#COUTPUT=3,0,30,130,230,330\r", "ADV#COUTPUT=3,1,31,131,231,331\r",
                   "ADV#COUTPUT=3,2,32,132,232,332\r", "ADV#COUTPUT=3,3,33,133,233,333\r",
                   "ADV#COUTPUT=4,0,40,140,240,340\r", "ADV#COUTPUT=4,1,41,141,241,341\r",
                   "ADV#COUTPUT=4,2,42,142,242,342\r", "ADV#COUTPUT=4,3,43,143,243,343\r"};
        QTest::newRow("output timings of a KOTA: none")
            << kota << Command([timings](CAdvCmd &l) { return l.SetCOutput(timings); })
            << QByteArrayList();

        const AllPowerTimes times{{{11, 21}, {12, 22}, {13, 23}, {14, 24}}};
        QTest::newRow("power times of a KOTA: rail 1 on every line")
            << kota << Command([times](CAdvCmd &l) { return l.SetCPower(times); })
            << QByteArrayList{"ADV#CPOWER=1,0,11\r", "ADV#CPOWER=1,1,12\r", "ADV#CPOWER=1,2,13\r",
                              "ADV#CPOWER=1,3,14\r"};
        QTest::newRow("power times of two rails: rail 1's sessions first")
            << v2 << Command([times](CAdvCmd &l) { return l.SetCPower(times); })
            << QByteArrayList{"ADV#CPOWER=1,0,11\r", "ADV#CPOWER=1,1,12\r", "ADV#CPOWER=1,2,13\r",
                              "ADV#CPOWER=1,3,14\r", "ADV#CPOWER=2,0,21\r", "ADV#CPOWER=2,1,22\r",
                              "ADV#CPOWER=2,2,23\r", "ADV#CPOWER=2,3,24\r"};

        const InputTriggers inputs{{{1, 1, 2}, {2, 0, 3}}}; // detection, enabled, session
        QTest::newRow("input triggers: session, detection, enabled")
            << v2 << Command([inputs](CAdvCmd &l) { return l.SetCInput(inputs); })
            << QByteArrayList{"ADV#CINPUT=1,2,1,1\r", "ADV#CINPUT=2,3,2,0\r"};
        QTest::newRow("input trigger of a KOTA: input 1 only")
            << kota << Command([inputs](CAdvCmd &l) { return l.SetCInput(inputs); })
            << QByteArrayList{"ADV#CINPUT=1,2,1,1\r"};

        QTest::newRow("battery thresholds: low above high is not checked")
            << v2 << Command([](CAdvCmd &l) {
                   return l.SetBattery({3300, 1000});
               })
            << QByteArrayList{"ADV#BATTERY=3300,1000\r"};
        QTest::newRow("battery thresholds: any integers pass") << v2 << Command([](CAdvCmd &l) {
            return l.SetBattery({-1, 2147483647});
        }) << QByteArrayList{"ADV#BATTERY=-1,2147483647\r"};
        QTest::newRow("clock time: the text as given")
            << v2 << Command([](CAdvCmd &l) { return l.SetTime("\"14:05:00\""); })
            << QByteArrayList{"ADV#TIME=\"14:05:00\"\r"};
        QTest::newRow("clock date: the text as given")
            << v2 << Command([](CAdvCmd &l) { return l.SetDate("\"06/12/2026\""); })
            << QByteArrayList{"ADV#DATE=\"06/12/2026\"\r"};
        QTest::newRow("clock text goes as UTF-8")
            << v2 << Command([](CAdvCmd &l) { return l.SetTime(QString::fromUtf8("t\xc3\xa9")); })
            << QByteArrayList{"ADV#TIME=t\xc3\xa9\r"};
    }

    void settingLines()
    {
        QFETCH(int, type);
        QFETCH(Command, command);
        QFETCH(QByteArrayList, lines);

        Bench bench(type);
        QVERIFY(bench.Connect());
        SetType(&bench.link, type);

        QVERIFY(command(bench.link));
        QCOMPARE(Lines(bench.board), lines);
    }

    void nothingIsSentWhileNotConnected_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<bool>("fileMode");

        const QVector<QPair<const char *, Command>> commands{
            {"output modes",
             [](CAdvCmd &l) {
                 return l.SetOutput({1, 1, 1, 1, 1, 1});
             }},
            {"power modes",
             [](CAdvCmd &l) {
                 return l.SetPower({1, 1});
             }},
            {"sessions", [](CAdvCmd &l) { return l.SetWake(WakeSessions()); }},
            {"output timings", [](CAdvCmd &l) { return l.SetCOutput(AllOutputTimings()); }},
            {"power times", [](CAdvCmd &l) { return l.SetCPower(AllPowerTimes()); }},
            {"input triggers", [](CAdvCmd &l) { return l.SetCInput(InputTriggers()); }},
            {"clock time", [](CAdvCmd &l) { return l.SetTime("\"10:00:00\""); }},
            {"clock date", [](CAdvCmd &l) { return l.SetDate("\"01/01/2026\""); }},
            {"battery thresholds",
             [](CAdvCmd &l) {
                 return l.SetBattery({3300, 4100});
             }},
        };
        for (const auto &command : commands) {
            QTest::addRow("%s, to the board", command.first) << command.second << false;
            QTest::addRow("%s, to a command file", command.first) << command.second << true;
        }
    }

    // The link was connected, then a scan found no board: it is down, in file mode too.
    void nothingIsSentWhileNotConnected()
    {
        QFETCH(Command, command);
        QFETCH(bool, fileMode);

        Bench bench(BoardType::LumivorV1);
        QVERIFY(bench.Connect());
        ScanOnly({});
        QString name;
        QVERIFY(!bench.link.OpenPort(&name));
        SetType(&bench.link, fileMode ? BoardType::LumivorV1File : BoardType::LumivorV1);

        QVERIFY(!command(bench.link));
        QVERIFY(Lines(bench.board).isEmpty());
        QVERIFY(NoCommandFile());
    }

    void sendAllWithTheLinkDownWritesNoFile_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("KOTA file mode") << int(BoardType::KotaFile);
        QTest::newRow("Lumivor V1 file mode") << int(BoardType::LumivorV1File);
        QTest::newRow("Lumivor V2 file mode") << int(BoardType::LumivorV2File);
    }

    void sendAllWithTheLinkDownWritesNoFile()
    {
        QFETCH(int, type);
        CBoardSettings settings;
        Programme().StoreIn(&settings);
        settings.SetBoardType(type);

        QVERIFY(!settings.SendAll());
        QVERIFY(NoCommandFile());
    }

    // The file is only ever appended to; starting afresh is the caller's business.
    void commandFileGrowsWithEachProgramme()
    {
        {
            QFile earlier("LumivorV2.txt");
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("ADV#BATTERY=1,2\r\r\n");
        }
        ModelBench bench;
        Programme().StoreIn(&bench.settings);
        QVERIFY(bench.Connect());
        bench.settings.SetBoardType(BoardType::LumivorV2File);

        QVERIFY(bench.settings.SendAll());
        const QByteArray once = FileBytes("LumivorV2.txt");
        const QByteArray programme = AsFile(Programme().Lines(4, 2, 2));
        QCOMPARE(once, "ADV#BATTERY=1,2\r\r\n" + programme);

        QVERIFY(bench.settings.SendAll());
        QCOMPARE(FileBytes("LumivorV2.txt"), once + programme);
        QVERIFY(Lines(bench.board).isEmpty());
    }

    void switchingFileModeOnAndOff()
    {
        ModelBench bench(BoardType::LumivorV1);
        QVERIFY(bench.Connect());
        const OutputModes modes{0, 1, 2, 3, 4, -1};

        bench.settings.SetBoardType(BoardType::LumivorV1File);
        QVERIFY(bench.settings.SetOutputModes(modes));
        const QByteArrayList outputLines{"ADV#OUTPUT=1,0\r", "ADV#OUTPUT=2,1\r",
                                         "ADV#OUTPUT=3,2\r", "ADV#OUTPUT=4,3\r",
                                         "ADV#OUTPUT=5,4\r", "ADV#OUTPUT=6,-1\r"};
        QCOMPARE(FileBytes("LumivorV1.txt"), AsFile(outputLines));
        QVERIFY(Lines(bench.board).isEmpty());

        bench.settings.SetBoardType(BoardType::LumivorV1);
        QVERIFY(bench.settings.SetOutputModes(modes));
        QCOMPARE(Lines(bench.board), outputLines);
        QCOMPARE(FileBytes("LumivorV1.txt"), AsFile(outputLines));

        bench.board.ClearReceived();
        bench.settings.SetBoardType(BoardType::LumivorV1File);
        QVERIFY(bench.settings.SetPowerModes(1, 2));
        QCOMPARE(FileBytes("LumivorV1.txt"),
                 AsFile(outputLines + QByteArrayList{"ADV#POWER=1,1\r", "ADV#POWER=2,2\r"}));
        QVERIFY(Lines(bench.board).isEmpty());
    }

    // A line that cannot be written is lost without a word; the next one tries again.
    void commandFileThatCannotBeOpened()
    {
        ModelBench bench;
        Programme().StoreIn(&bench.settings);
        QVERIFY(bench.Connect());
        bench.settings.SetBoardType(BoardType::LumivorV2File);
        QVERIFY(QDir().mkdir("LumivorV2.txt"));

        QVERIFY(bench.settings.SendAll());
        QVERIFY(QFileInfo("LumivorV2.txt").isDir());
        QVERIFY(QDir("LumivorV2.txt").isEmpty());
        QVERIFY(Lines(bench.board).isEmpty());

        QVERIFY(QDir().rmdir("LumivorV2.txt"));
        QVERIFY(bench.settings.SetBatteryThresholds({3300, 4100}));
        QCOMPARE(FileBytes("LumivorV2.txt"), QByteArray("ADV#BATTERY=3300,4100\r\r\n"));
    }

    void sendCmdEmitsTheLineAsGiven_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("to the board") << int(BoardType::LumivorV2);
        QTest::newRow("to the command file") << int(BoardType::LumivorV2File);
    }

    void sendCmdEmitsTheLineAsGiven()
    {
        QFETCH(int, type);
        Bench bench;
        QVERIFY(bench.Connect());
        SetType(&bench.link, type);
        const QByteArray line = "ADV#TIME=\"14:05:00\"\r";

        bench.link.SendCmd(line);
        if (type == BoardType::LumivorV2File) {
            QCOMPARE(FileBytes("LumivorV2.txt"), line + kFileLineEnd);
            QVERIFY(Lines(bench.board).isEmpty());
        } else {
            QCOMPARE(Lines(bench.board), QByteArrayList{line});
            QVERIFY(NoCommandFile());
        }
    }

    void boardGoesDuringAWriteOut_data()
    {
        QTest::addColumn<QByteArray>("lastLine"); // the line on which the board hangs up
        QTest::addColumn<int>("sent");

        QTest::newRow("on the first line") << QByteArray("ADV#POWER=1,") << 1;
        QTest::newRow("in the middle of the output timings")
            << QByteArray("ADV#COUTPUT=1,3,") << 20;
    }

    // The lines after a hang-up would go nowhere: they are not sent, and the link is down and
    // knows why.
    void boardGoesDuringAWriteOut()
    {
        QFETCH(QByteArray, lastLine);
        QFETCH(int, sent);
        ModelBench bench(BoardType::LumivorV1);
        Programme().StoreIn(&bench.settings);
        QVERIFY(bench.Connect());
        bench.settings.SetBoardType(BoardType::LumivorV1);
        bench.board.SetFault(Fault::HangUp, lastLine);
        const CAdvCmd &link = bench.settings.Link();

        QVERIFY(!bench.settings.SendAll());
        QCOMPARE(link.SerialLines(), sent);
        QCOMPARE(Lines(bench.board).size(), sent);
        QVERIFY(!link.IsConnected());
        QVERIFY(link.WasUnplugged());
        QCOMPARE(CWriteReport::UnpluggedDuringWrite(link.PortName(), link.SerialLines(), 46),
                 QString("The board on %1 was unplugged: %2 of 46 lines were sent.")
                     .arg(bench.board.PortName())
                     .arg(sent));
        QVERIFY(!bench.settings.SetBatteryThresholds({3300, 4100}));
        QCOMPARE(link.SerialLines(), sent);
    }

    void lateAnswerToASettingLine_data()
    {
        QTest::addColumn<bool>("settingLineBetween");

        QTest::newRow("the next query drops it") << false;
        QTest::newRow("the next setting line reads and drops it") << true;
    }

    // An answer 1.5 s after its line is not read by that line's own wait; it stays in the
    // input buffer until the next exchange drops it, so the next query reads its own reply only.
    void lateAnswerToASettingLine()
    {
        QFETCH(bool, settingLineBetween);

        Bench bench;
        QVERIFY(bench.Connect());
        bench.board.SetFault(Fault::Late, "ADV#BATTERY=3");

        QVERIFY(bench.link.SetBattery({3300, 1000}));
        QVERIFY(WaitForSent(bench.board, 4)); // "OK", CR, LF
        if (settingLineBetween)
            QVERIFY(bench.link.SetTime("\"10:00:00\""));
        LogCapture log;
        BatteryThresholds pair{0, 0};
        QVERIFY(bench.link.GetBattery(&pair));

        QCOMPARE(pair, (BatteryThresholds{3300, 1000}));
        const QVector<LoggedMessage> logged = log.From(GetCmdFunction());
        QCOMPARE(logged.size(), 1);
        QCOMPARE(logged[0].message, QString("\"+BATTERY=3300,1000;\r\nOK\r\n\""));
    }
};

QTEST_GUILESS_MAIN(TestAdvCmdSettings)
#include "test_advcmdsettings.moc"
