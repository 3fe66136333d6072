#include "device/BoardSettings.h"
#include "device/IniImport.h"
#include "tests/TestProgramme.h"

#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <random>

namespace {
// A model field, addressed the way the checks read it back.
struct Field
{
    QString key;
    std::function<qint32(const IniProgramme &)> read;
};

// The 112 programme keys with a reader for the model field each one sets.
QVector<Field> AllFields()
{
    QVector<Field> fields;
    for (int n = 1; n <= 6; ++n) {
        const size_t o = size_t(n - 1);
        fields.append({QString("OUTPUT/Output%1").arg(n),
                       [o](const IniProgramme &p) { return p.outputModes[o]; }});
        for (int s = 1; s <= 4; ++s) {
            const size_t j = size_t(s - 1);
            const QString group = QString("ACTION_OUT%1_WAKE%2/").arg(n).arg(s);
            fields.append({group + "timeout_start",
                           [o, j](const IniProgramme &p) { return p.outputTimings[j].delay[o]; }});
            fields.append({group + "duration", [o, j](const IniProgramme &p) {
                               return p.outputTimings[j].duration[o];
                           }});
            fields.append({group + "interval", [o, j](const IniProgramme &p) {
                               return p.outputTimings[j].interval[o];
                           }});
            fields.append({group + "number",
                           [o, j](const IniProgramme &p) { return p.outputTimings[j].number[o]; }});
        }
    }
    for (int k = 1; k <= 2; ++k) {
        const size_t r = size_t(k - 1);
        fields.append({QString("POWER/Power%1").arg(k),
                       [r](const IniProgramme &p) { return p.powerModes[r]; }});
        for (int s = 1; s <= 4; ++s) {
            const size_t j = size_t(s - 1);
            fields.append({QString("ACTION_POWER_WAKE%1/Power%2").arg(s).arg(k),
                           [r, j](const IniProgramme &p) { return p.powerTimes[j][r]; }});
        }
    }
    return fields;
}

// Writes "group/key=value" pairs as an INI file, grouped.
QByteArray IniText(const QMap<QString, QString> &values)
{
    QMap<QString, QStringList> groups;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QString group = it.key().section('/', 0, 0);
        groups[group] << it.key().section('/', 1) + '=' + it.value();
    }
    QByteArray text;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        text += '[' + it.key().toUtf8() + "]\n" + it.value().join('\n').toUtf8() + "\n\n";
    return text;
}

using Values = QMap<QString, qint32>;
} // namespace

Q_DECLARE_METATYPE(Values)

class TestIniImport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Write(const QString &name, const QByteArray &bytes)
    {
        return testprogramme::WriteInto(m_dir, name, bytes);
    }

private slots:
    void everyKeyReachesItsOwnField()
    {
        const QVector<Field> fields = AllFields();
        QCOMPARE(fields.size(), 112);
        QMap<QString, QString> values;
        for (int i = 0; i < fields.size(); ++i)
            values[fields[i].key] = QString::number(1000 + i);
        IniProgramme programme;
        QVERIFY(CIniImport::Read(Write("all.ini", IniText(values)), &programme));
        for (int i = 0; i < fields.size(); ++i)
            QVERIFY2(fields[i].read(programme) == 1000 + i, qPrintable(fields[i].key));
    }

    void readsValues_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<Values>("expected"); // every other field must read 0

        QTest::newRow("one output mode, the rest zero")
            << QByteArray("[OUTPUT]\nOutput3=2\n") << Values{{"OUTPUT/Output3", 2}};
        QTest::newRow("delay of output 1 in session 1")
            << QByteArray("[ACTION_OUT1_WAKE1]\ntimeout_start=15\n")
            << Values{{"ACTION_OUT1_WAKE1/timeout_start", 15}};
        QTest::newRow("power 2 time of session 4")
            << QByteArray("[ACTION_POWER_WAKE4]\nPower2=30\n")
            << Values{{"ACTION_POWER_WAKE4/Power2", 30}};
        QTest::newRow("an unchosen mode stays -1")
            << QByteArray("[POWER]\nPower1=-1\nPower2=2\n")
            << Values{{"POWER/Power1", -1}, {"POWER/Power2", 2}};
        QTest::newRow("empty and non-numeric values read as 0")
            << QByteArray("[OUTPUT]\nOutput1=\nOutput2=abc\nOutput3=4\nOutput4=1.5\n")
            << Values{{"OUTPUT/Output3", 4}};
        QTest::newRow("numbers beyond 32 bits read as 0")
            << QByteArray("[OUTPUT]\nOutput1=99999999999\nOutput2=-99999999999\nOutput3=1\n")
            << Values{{"OUTPUT/Output3", 1}};
        QTest::newRow("keys differing in case are not the programme's")
            << QByteArray("[OUTPUT]\noutput1=3\nOutput2=3\n") << Values{{"OUTPUT/Output2", 3}};
        QTest::newRow("other groups and keys are ignored")
            << QByteArray("[GENERAL]\nname=field unit\n[OUTPUT]\nOutput6=4\nColour=red\n")
            << Values{{"OUTPUT/Output6", 4}};
    }

    void readsValues()
    {
        QFETCH(QByteArray, ini);
        QFETCH(Values, expected);
        IniProgramme programme;
        QVERIFY(CIniImport::Read(Write("values.ini", ini), &programme));
        for (const Field &field : AllFields())
            QVERIFY2(field.read(programme) == expected.value(field.key, 0), qPrintable(field.key));
    }

    void refusesFilesThatAreNoProgramme_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("content"); // written unless the path is to stay missing

        std::mt19937 noise(7);
        QByteArray binary(4096, '\0');
        for (char &c : binary)
            c = char(noise());

        QTest::newRow("missing file") << "missing.ini" << QByteArray();
        QTest::newRow("a directory") << "." << QByteArray();
        QTest::newRow("empty file") << "empty.ini" << QByteArray("");
        QTest::newRow("unclosed group header")
            << "malformed.ini" << QByteArray("[OUTPUT\nOutput1=2\n");
        QTest::newRow("random binary data") << "binary.ini" << binary;
        QTest::newRow("an INI file of something else")
            << "other.ini" << QByteArray("[General]\ngeometry=10,10\n[Recent]\nfile1=a.txt\n");
    }

    void refusesFilesThatAreNoProgramme()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, content);
        const QString full = content.isNull() ? m_dir.filePath(path) : Write(path, content);

        CBoardSettings settings;
        settings.SetOutputModes({1, 2, 3, 4, 0, -1});
        settings.SetPowerModes(2, 1);
        settings.SetPowerTimes(1, 90, 45);
        SessionOutputTimings timings;
        timings.delay = {5, 6, 7, 8, 9, 10};
        settings.SetOutputTimings(2, timings);

        QVERIFY(!settings.LoadIni(full));
        QCOMPARE(settings.GetOutputModes(), (OutputModes{1, 2, 3, 4, 0, -1}));
        QCOMPARE(settings.GetPowerModes(), (PowerModes{2, 1}));
        QCOMPARE(settings.GetPowerTimes(1), (PowerTimes{90, 45}));
        QCOMPARE(settings.GetOutputTimings(2).delay, timings.delay);
    }

    // An import replaces the whole output and power programme and nothing else.
    void importLeavesSessionsInputsAndBatteryAlone()
    {
        CBoardSettings settings;
        const WakeSession morning{1, QDateTime::fromString("07:30:00", "hh:mm:ss"),
                                  QDateTime::fromString("00:10:00", "hh:mm:ss"), 12};
        settings.SetSession(0, morning);
        settings.SetInputTriggers({InputTrigger{1, 1, 2}, InputTrigger{2, 0, 3}});
        settings.SetBatteryThresholds({3300, 4100});
        settings.SetOutputModes({4, 4, 4, 4, 4, 4});
        settings.SetPowerTimes(3, 600, 600);

        QVERIFY(settings.LoadIni(Write("part.ini", "[OUTPUT]\nOutput2=1\n")));
        QCOMPARE(settings.GetOutputModes(), (OutputModes{0, 1, 0, 0, 0, 0}));
        QCOMPARE(settings.GetPowerTimes(3), (PowerTimes{0, 0}));
        const WakeSession kept = settings.GetSession(0);
        QCOMPARE(kept.mode, morning.mode);
        QCOMPARE(kept.start, morning.start);
        QCOMPARE(kept.interval, morning.interval);
        QCOMPARE(kept.repeat, morning.repeat);
        QCOMPARE(settings.GetInputTriggers()[0].session, 2);
        QCOMPARE(settings.GetInputTriggers()[1].detection, 2);
        settings.SetBoardType(0); // the link is down: the stored pair comes back unasked
        QCOMPARE(settings.ReadBatteryThresholds(), (BatteryThresholds{3300, 4100}));
    }
};

QTEST_GUILESS_MAIN(TestIniImport)
#include "test_iniimport.moc"
