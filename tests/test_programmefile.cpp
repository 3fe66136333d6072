#include "device/BoardType.h"
#include "device/IniImport.h"
#include "device/ProgrammeFile.h"
#include "tests/TestProgramme.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <limits>
#include <sys/resource.h>

// Programme files: their exact bytes, what opening accepts and refuses, which keys a family
// uses, saving and its refusals, the configuration import of a saved file, and the comparison
// with the board.

using testprogramme::At;
using testprogramme::Edited;
using testprogramme::Edits;
using testprogramme::ReadFile;
using testprogramme::WriteFile;
using testprogramme::WriteInto;
using Contents = CProgrammeFile::Contents;

namespace {

const QString kV1 = BoardType::Family(BoardType::LumivorV1);
const QString kV2 = BoardType::Family(BoardType::LumivorV2);
const QString kKota = BoardType::Family(BoardType::Kota);
const QString kUnknown = BoardType::Family(BoardType::Unknown);

// A programme inside every range whose every value differs from that of another seed.
BoardProgramme Sample(int seed)
{
    BoardProgramme p;
    for (int j = 0; j < kSessionCount; ++j) {
        p.sessions[size_t(j)] = {(seed + j) % 3, At((6 + seed + j) % 24, 5 * j, 9),
                                 At(0, 10 + seed, j), 10 * seed + j - 2};
        for (int o = 0; o < kMaxOutputs; ++o) {
            const int base = 1000 * seed + 100 * (o + 1) + 10 * (j + 1);
            testprogramme::SetTiming(&p, j, o + 1, base + 1, -(base + 2), base + 3, base + 4);
        }
        for (int r = 0; r < kMaxPowers; ++r)
            p.powerTimes[size_t(j)][size_t(r)] = 1000 * seed + 100 * (r + 1) + 10 * (j + 1) + 5;
    }
    for (int i = 0; i < kMaxInputs; ++i)
        p.inputs[size_t(i)] = {(seed + i) % 3, (seed + i) % 2, (seed + i + 1) % 4};
    for (int o = 0; o < kMaxOutputs; ++o)
        p.outputModes[size_t(o)] = (seed + o) % 6 - 1;
    for (int r = 0; r < kMaxPowers; ++r)
        p.powerModes[size_t(r)] = (seed + r) % 4 - 1;
    return p;
}

// The programme of the file in tests/data, with both ends of the 32-bit range.
BoardProgramme Golden()
{
    BoardProgramme p = Sample(0);
    p.outputTimings[3].interval[5] = std::numeric_limits<qint32>::max();
    p.powerTimes[3][1] = std::numeric_limits<qint32>::min();
    return p;
}

// Every write to a regular file beyond `bytes` fails while it lives, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

using Change = std::function<void(Contents &)>;

} // namespace

Q_DECLARE_METATYPE(testprogramme::Edits)
Q_DECLARE_METATYPE(Change)

class TestProgrammeFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void formatWritesEveryKeyInItsPlace()
    {
        const QByteArray bytes = CProgrammeFile::Format({kV1, "LV1-2.04", Golden()});
        QCOMPARE(bytes, ReadFile(QFINDTESTDATA("data/programme.ini")));

        // The reader sees every key with the text written, nothing more.
        QSettings settings(WriteInto(m_dir, "golden.ini", bytes), QSettings::IniFormat);
        QString group;
        int keys = 0;
        for (const QByteArray &line : bytes.split('\n')) {
            if (line.startsWith('[')) {
                group = QString::fromUtf8(line.mid(1, line.size() - 2));
            } else if (!line.isEmpty()) {
                ++keys;
                const QString key = group + '/' + QString::fromUtf8(line.left(line.indexOf('=')));
                QCOMPARE(settings.value(key).toString(),
                         QString::fromUtf8(line.mid(line.indexOf('=') + 1)));
            }
        }
        QCOMPARE(keys, 136);
        QCOMPARE(settings.allKeys().size(), keys);
    }

    void refusesFiles_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: no file at all
        QTest::addColumn<QString>("message");

        const QByteArray saved = CProgrammeFile::Format({kV1, "LV1-2.04", Sample(0)});
        const QString refused = "prog.ini is not a programme file: ";
        QTest::newRow("a missing key") << Edited(saved, "WAKE3/interval", QByteArray())
                                       << refused + "WAKE3/interval is missing.";
        QTest::newRow("a key spelt in other case is missing")
            << QByteArray(saved).replace("[INPUT2]\nsession=", "[INPUT2]\nSession=")
            << refused + "INPUT2/session is missing.";
        QTest::newRow("a wake mode out of range")
            << Edited(saved, "WAKE1/mode", "3") << refused + "WAKE1/mode is not between 0 and 2.";
        QTest::newRow("an input's session counts from 1")
            << Edited(saved, "INPUT2/session", "0")
            << refused + "INPUT2/session is not between 1 and 4.";
        QTest::newRow("an hour of 24") << Edited(saved, "WAKE2/start", "24:00:00")
                                       << refused + "WAKE2/start is not a time of day (HH:MM:SS).";
        QTest::newRow("a sign before the hour")
            << Edited(saved, "WAKE4/interval", "+7:30:00")
            << refused + "WAKE4/interval is not a time of day (HH:MM:SS).";
        QTest::newRow("a number beyond 32 bits")
            << Edited(saved, "ACTION_OUT6_WAKE4/number", "2147483648")
            << refused + "ACTION_OUT6_WAKE4/number is not between -2147483648 and 2147483647.";
        QTest::newRow("a fraction") << Edited(saved, "POWER/Power2", "1.0")
                                    << refused + "POWER/Power2 is not a whole number.";
        QTest::newRow("an empty value")
            << Edited(saved, "ACTION_POWER_WAKE2/Power1", "")
            << refused + "ACTION_POWER_WAKE2/Power1 is not a whole number.";
        QTest::newRow("the first problem in written order is named")
            << Edited(Edited(saved, "POWER/Power1", "x"), "WAKE4/number", "y")
            << refused + "WAKE4/number is not a whole number.";
        QTest::newRow("a family in other case, checked before all else")
            << Edited(Edited(saved, "BOARD/family", "lumivor v1"), "WAKE1/mode", "x")
            << refused +
                   "BOARD/family is not \"Lumivor V1\", \"Lumivor V2\", \"KOTA\" or \"unknown\".";
        QTest::newRow("an empty file") << QByteArray("") << refused + "BOARD/family is missing.";
        QTest::newRow("an unclosed group header")
            << QByteArray("[BOARD\nfamily=unknown\n") + saved.mid(saved.indexOf("[WAKE1]"))
            << refused + "it is not in INI format.";
        QTest::newRow("a key twice in its group, the last one a good value")
            << QByteArray(saved).replace("[WAKE1]\n", "[WAKE1]\nstart=25:00:00\n")
            << refused + "WAKE1/start appears twice.";
        QTest::newRow("a group twice, each key once")
            << saved + "[NOTES]\nby=me\n[WAKE1]\nkept=no\n"
            << refused + "[WAKE1] appears twice.";
        QTest::newRow("no file") << QByteArray()
                                 << "Could not read prog.ini: No such file or directory.";
    }

    void refusesFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        const QString path = m_dir.filePath("prog.ini");
        QFile::remove(path);
        if (!file.isNull())
            QVERIFY(WriteFile(path, file));

        Contents contents{"before", "kept", Sample(1)};
        QString said;
        QVERIFY(!CProgrammeFile::Open(path, Sample(2), &contents, &said));
        QCOMPARE(said, message);
        QCOMPARE(contents.family, QString("before"));
        QCOMPARE(contents.version, QString("kept"));
        QVERIFY(CProgrammeFile::Compare(kV1, contents.programme, Sample(1)).isEmpty());
    }

    void acceptsLenientForms_data()
    {
        QTest::addColumn<QByteArray>("file");

        const QByteArray saved = CProgrammeFile::Format({kV1, "LV1-2.04", Golden()});
        QList<QByteArray> groups = saved.split('[');
        groups.removeFirst();
        std::reverse(groups.begin(), groups.end());

        QTest::newRow("as saved") << saved;
        QTest::newRow("a byte order mark") << "\xEF\xBB\xBF" + saved;
        QTest::newRow("CR LF line ends") << QByteArray(saved).replace("\n", "\r\n");
        QTest::newRow("spaces around = and values")
            << QByteArray(saved).replace("=", " \t= ").replace("\n", " \n");
        QTest::newRow("comment lines")
            << "; kept by hand\n" + QByteArray(saved).replace("\n[", "\n;[OUTPUT]\n[");
        QTest::newRow("other groups and keys")
            << QByteArray(saved).replace("[WAKE2]\n", "[WAKE2]\ncolour=red\n") + "[NOTES]\nby=me\n";
        QTest::newRow("groups in another order") << '[' + groups.join('[');
        QTest::newRow("leading zeros and a plus sign")
            << Edited(Edited(saved, "ACTION_OUT1_WAKE1/number", "+00111"), "WAKE1/mode", "00");
    }

    void acceptsLenientForms()
    {
        QFETCH(QByteArray, file);
        Contents contents;
        QString message;
        QVERIFY2(CProgrammeFile::Open(WriteInto(m_dir, "lenient.ini", file), Sample(1), &contents,
                                      &message),
                 qPrintable(message));
        QCOMPARE(contents.family, kV1);
        QCOMPARE(contents.version, QString("LV1-2.04"));
        QCOMPARE(CProgrammeFile::Compare(kV1, contents.programme, Golden()).size(), 0);
    }

    // The INI reader caches files by path and size and time of change.
    void aFileRewrittenAtTheSameSizeAndTimeOpensAnew()
    {
        const QString path =
            WriteInto(m_dir, "again.ini", CProgrammeFile::Format({kV1, "old", Sample(0)}));
        Contents contents;
        QString message;
        QVERIFY2(CProgrammeFile::Open(path, Sample(1), &contents, &message), qPrintable(message));
        const QDateTime changed = QFileInfo(path).lastModified();

        QVERIFY(WriteFile(path, CProgrammeFile::Format({kV1, "new", Sample(0)})));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(changed, QFileDevice::FileModificationTime));
        file.close();
        QVERIFY2(CProgrammeFile::Open(path, Sample(1), &contents, &message), qPrintable(message));
        QCOMPARE(contents.version, QString("new"));
    }

    void loadsOnlyTheKeysOfTheFamily_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<Edits>("unusedKeys"); // spoilt or removed: neither checked nor loaded
        QTest::addColumn<int>("used");

        QTest::newRow("Lumivor V1 uses every key") << kV1 << Edits{} << 134;
        QTest::newRow("Lumivor V2: outputs 5 and 6 unused")
            << kV2 << Edits{{"OUTPUT/Output5", "x"}, {"ACTION_OUT6_WAKE4/number", {}}} << 100;
        QTest::newRow("KOTA: the outputs, input 2 and rail 2 unused")
            << kKota
            << Edits{{"OUTPUT/Output3", "garbage"},
                     {"INPUT2/session", "9"},
                     {"POWER/Power2", {}},
                     {"ACTION_POWER_WAKE1/Power2", "1.5"}}
            << 24;
        QTest::newRow("unknown: the sessions alone")
            << kUnknown << Edits{{"INPUT1/enabled", "7"}, {"POWER/Power1", ""}} << 16;
    }

    void loadsOnlyTheKeysOfTheFamily()
    {
        QFETCH(QString, family);
        QFETCH(Edits, unusedKeys);
        QFETCH(int, used);
        const QByteArray file =
            Edited(CProgrammeFile::Format({family, "x", Sample(0)}), unusedKeys);

        Contents contents;
        QString message;
        QVERIFY2(CProgrammeFile::Open(WriteInto(m_dir, "family.ini", file), Sample(1), &contents,
                                      &message),
                 qPrintable(message));
        QCOMPARE(contents.family, family);
        QCOMPARE(CProgrammeFile::Compare(family, contents.programme, Sample(0)).size(), 0);
        QCOMPARE(CProgrammeFile::Compare(kV1, contents.programme, Sample(1)).size(), used);
    }

    void versionCannotBreakTheFile_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("readBack");

        QTest::newRow("line breaks are dropped") << "LV1\r\n[WAKE1]\nmode=2"
                                                 << "LV1[WAKE1]mode=2";
        QTest::newRow("an unpaired double quote is dropped") << "LV1 \"beta"
                                                             << "LV1 beta";
        QTest::newRow("a comma stays") << "LV1,2.04"
                                       << "LV1,2.04";
        QTest::newRow("letters beyond ASCII stay") << "LV1-\u00e9\u20ac"
                                                   << "LV1-\u00e9\u20ac";
    }

    void versionCannotBreakTheFile()
    {
        QFETCH(QString, version);
        QFETCH(QString, readBack);
        const QString path = m_dir.filePath("version.ini");
        QString message;
        QVERIFY2(CProgrammeFile::Save(path, {kV2, version, Sample(0)}, &message),
                 qPrintable(message));

        Contents contents;
        QVERIFY2(CProgrammeFile::Open(path, Sample(1), &contents, &message), qPrintable(message));
        QCOMPARE(contents.version, readBack);
        QCOMPARE(CProgrammeFile::Compare(kV2, contents.programme, Sample(0)).size(), 0);
    }

    void save_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<QString>("message"); // empty: saved
        QTest::addColumn<QStringList>("warnings");

        const QString refused = "; opening this file will refuse it.";
        QTest::newRow("a programme in range is saved")
            << Change([](Contents &) {}) << false << "" << QStringList();
        QTest::newRow("an output mode the family does not use is saved") << Change([](Contents &c) {
            c.family = kKota;
            c.programme.outputModes[0] = 9;
        }) << false << "" << QStringList();
        QTest::newRow("a wake mode of 3 is saved with a warning")
            << Change([](Contents &c) { c.programme.sessions[0].mode = 3; }) << false << ""
            << QStringList{"WAKE1/mode: 3 is outside what this version knows" + refused};
        QTest::newRow("a start time never read is saved empty with a warning")
            << Change([](Contents &c) { c.programme.sessions[1].start = QDateTime(); }) << false
            << ""
            << QStringList{"WAKE2/start: the board's time is no time of day and is saved empty" +
                           refused};
        QTest::newRow("every value out of range is named, in written order")
            << Change([](Contents &c) {
                   c.programme.inputs[1].session = 4;
                   c.programme.sessions[3].mode = -1;
               })
            << false << ""
            << QStringList{"WAKE4/mode: -1 is outside what this version knows" + refused,
                           "INPUT2/session: 5 is outside what this version knows" + refused};
        QTest::newRow("a family no board has")
            << Change([](Contents &c) { c.family = "Lumivor V3"; }) << false << ""
            << QStringList{"BOARD/family: Lumivor V3 is outside what this version knows" + refused};
        QTest::newRow("a full disk") << Change([](Contents &) {}) << true
                                     << "Could not save prog.ini: File too large." << QStringList();
    }

    // Whatever the values, the file holds them; each that opening refuses is warned of, and then
    // opening does refuse the file. A failed save leaves the old file byte for byte and no file
    // beside it.
    void save()
    {
        QFETCH(Change, change);
        QFETCH(bool, diskFull);
        QFETCH(QString, message);
        QFETCH(QStringList, warnings);
        QTemporaryDir dir;
        const QString path = dir.filePath("prog.ini");
        const QByteArray old = "[BOARD]\nfamily=KOTA\n";
        QVERIFY(WriteFile(path, old));
        Contents contents{kV1, "LV1-2.04", Sample(0)};
        change(contents);

        QString said;
        const auto save = [&] { return CProgrammeFile::Save(path, contents, &said); };
        bool saved = false;
        if (diskFull) {
            const FileSizeLimit limit(rlim_t(old.size()));
            saved = save();
        } else {
            saved = save();
        }
        QCOMPARE(said, message);
        QCOMPARE(saved, message.isEmpty());
        QCOMPARE(ReadFile(path), saved ? CProgrammeFile::Format(contents) : old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"prog.ini"});
        QCOMPARE(CProgrammeFile::Warnings(contents), warnings);
        Contents opened;
        if (saved)
            QCOMPARE(CProgrammeFile::Open(path, Sample(1), &opened, &said), warnings.isEmpty());
    }

    void importReadsASavedProgramme()
    {
        const QString path = m_dir.filePath("import.ini");
        QString message;
        QVERIFY2(CProgrammeFile::Save(path, {kV1, "LV1-2.04", Golden()}, &message),
                 qPrintable(message));

        IniProgramme imported;
        QVERIFY(CIniImport::Read(path, &imported));
        const BoardProgramme saved = Golden();
        QCOMPARE(imported.outputModes, saved.outputModes);
        QCOMPARE(imported.powerModes, saved.powerModes);
        QCOMPARE(imported.powerTimes, saved.powerTimes);
        for (int j = 0; j < kSessionCount; ++j) {
            const SessionOutputTimings &got = imported.outputTimings[size_t(j)];
            const SessionOutputTimings &want = saved.outputTimings[size_t(j)];
            QCOMPARE(got.number, want.number);
            QCOMPARE(got.delay, want.delay);
            QCOMPARE(got.duration, want.duration);
            QCOMPARE(got.interval, want.interval);
        }
    }

    void compare_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<Edits>("edits"); // to the file of the board's programme
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("first"); // the first difference

        QTest::newRow("the same programme") << kV1 << Edits{} << "The board holds prog.ini."
                                            << "";
        QTest::newRow("leading zeros write the same number")
            << kV1 << Edits{{"ACTION_OUT1_WAKE1/number", "00111"}, {"WAKE2/number", "-0001"}}
            << "The board holds prog.ini."
            << "";
        QTest::newRow("one value") << kV1 << Edits{{"WAKE3/number", "40"}}
                                   << "The board differs from prog.ini in 1 value: WAKE3/number."
                                   << "WAKE3/number: board 0, file 40";
        QTest::newRow("five values, all named")
            << kV2
            << Edits{{"WAKE2/start", "07:05:10"},
                     {"INPUT1/session", "4"},
                     {"OUTPUT/Output4", "-1"},
                     {"ACTION_OUT4_WAKE4/number", "0"},
                     {"ACTION_POWER_WAKE4/Power2", "0"}}
            << "The board differs from prog.ini in 5 values: WAKE2/start, INPUT1/session, "
               "OUTPUT/Output4, ACTION_OUT4_WAKE4/number, ACTION_POWER_WAKE4/Power2."
            << "WAKE2/start: board 07:05:09, file 07:05:10";
        QTest::newRow("seven values, five named")
            << kV1
            << Edits{{"WAKE1/mode", "1"},
                     {"WAKE1/start", "00:00:00"},
                     {"WAKE1/interval", "00:00:00"},
                     {"WAKE1/number", "0"},
                     {"INPUT1/detection", "2"},
                     {"POWER/Power1", "2"},
                     {"ACTION_POWER_WAKE1/Power1", "0"}}
            << "The board differs from prog.ini in 7 values: WAKE1/mode, WAKE1/start, "
               "WAKE1/interval, WAKE1/number, INPUT1/detection, \u2026"
            << "WAKE1/mode: board 0, file 1";
        QTest::newRow("a value the family does not use is no difference")
            << kKota << Edits{{"OUTPUT/Output1", "3"}, {"INPUT2/enabled", "0"}}
            << "The board holds prog.ini."
            << "";
    }

    void compare()
    {
        QFETCH(QString, family);
        QFETCH(Edits, edits);
        QFETCH(QString, message);
        QFETCH(QString, first);
        const BoardProgramme board = Sample(0);
        const QString path = WriteInto(m_dir, "prog.ini",
                                       Edited(CProgrammeFile::Format({family, "x", board}), edits));
        Contents file;
        QString said;
        QVERIFY2(CProgrammeFile::Open(path, Sample(1), &file, &said), qPrintable(said));

        const auto differences = CProgrammeFile::Compare(family, board, file.programme);
        QCOMPARE(CProgrammeFile::CompareMessage(path, differences), message);
        QCOMPARE(differences.isEmpty()
                     ? QString()
                     : QString("%1: board %2, file %3")
                           .arg(differences[0].key, differences[0].board, differences[0].file),
                 first);
    }

    void familyProblem_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("boardType");
        QTest::addColumn<QString>("typeText");
        QTest::addColumn<QString>("message");

        QTest::newRow("a file of the board's family")
            << kV2 << int(BoardType::LumivorV2) << "Lumivor V2"
            << "";
        QTest::newRow("a file of the family of a file mode")
            << kKota << int(BoardType::KotaFile) << "KOTA file"
            << "";
        QTest::newRow("a file of another family")
            << kV1 << int(BoardType::Kota) << "KOTA"
            << "fleet.ini holds a Lumivor V1 programme, not one for KOTA.";
        QTest::newRow("an unknown board's file for a file mode")
            << kUnknown << int(BoardType::LumivorV1File) << "Lumivor V1 file"
            << "fleet.ini holds a unknown programme, not one for Lumivor V1 file.";
    }

    void familyProblem()
    {
        QFETCH(QString, family);
        QFETCH(int, boardType);
        QFETCH(QString, typeText);
        QFETCH(QString, message);
        QCOMPARE(CProgrammeFile::FamilyProblem("/srv/programmes/fleet.ini", {family, "x", {}},
                                               boardType, typeText),
                 message);
    }
};

QTEST_GUILESS_MAIN(TestProgrammeFile)
#include "test_programmefile.moc"
