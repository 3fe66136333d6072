#include "device/BackupStore.h"
#include "tests/TestProgramme.h"

#include <QDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

// The backups of what boards held: folder, names and bytes, which are made, how many are kept,
// and a failure that leaves nothing.

namespace {

const QString kPort = "/dev/pts/7";
const QString kFirst = "2026-12-08_18-12-00_pts-7_LumivorV1";
const QString kSecond = "2026-12-08_18-12-0%1_%2.ini"; // second, port and family

// What a board held, told apart by its version; with an output mode no programme file may hold.
CProgrammeFile::Contents Held(const QString &version, const QString &family = "Lumivor V1")
{
    CProgrammeFile::Contents held{family, version, {}};
    held.programme.outputModes[0] = 9;
    held.programme.sessions[0].start = testprogramme::At(7, 30, 0);
    return held;
}

// A store whose clock stands at 18:12 and `seconds`.
CBackupStore Store(int seconds = 0)
{
    CBackupStore store;
    store.SetClock([seconds] { return QDateTime(QDate(2026, 12, 8), QTime(18, 12, seconds)); });
    return store;
}

QStringList Names(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace

class TestBackupStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home; // each test's data home

    QString Folder() const { return m_home->filePath("lumivor/backups"); }

private slots:
    void initTestCase() { QCoreApplication::setApplicationName("lumivor"); }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home->path()));
    }

    void keep_data()
    {
        QTest::addColumn<QStringList>("keeps"); // "port;version;second[;family]"
        QTest::addColumn<QStringList>("names");
        const QString pts8 = "/dev/pts/8;";
        QTest::newRow("a pseudo-terminal: '/' as '-'")
            << QStringList{"/dev/pts/3;A;0;KOTA"} << QStringList{kSecond.arg(0).arg("pts-3_KOTA")};
        QTest::newRow("a port named without /dev/")
            << QStringList{"ttyACM1;A;0;Lumivor V2"}
            << QStringList{kSecond.arg(0).arg("ttyACM1_LumivorV2")};
        QTest::newRow("the same programme again: none")
            << QStringList{kPort + ";A;0", kPort + ";A;5"} << QStringList{kFirst + ".ini"};
        QTest::newRow("another programme: one")
            << QStringList{kPort + ";A;0", kPort + ";B;5"}
            << QStringList{kFirst + ".ini", kSecond.arg(5).arg("pts-7_LumivorV1")};
        QTest::newRow("equal to an older one only, in the same second: _2, _3")
            << QStringList{kPort + ";A;0", kPort + ";B;0", kPort + ";A;0"}
            << QStringList{kFirst + ".ini", kFirst + "_2.ini", kFirst + "_3.ini"};
        QTest::newRow("the same programme from another port: one")
            << QStringList{kPort + ";A;0", pts8 + "A;0"}
            << QStringList{kFirst + ".ini", kSecond.arg(0).arg("pts-8_LumivorV1")};
        QTest::newRow("equal to the newest of its port, another port's came later: none")
            << QStringList{kPort + ";A;0", pts8 + "B;1", kPort + ";A;2"}
            << QStringList{kFirst + ".ini", kSecond.arg(1).arg("pts-8_LumivorV1")};
    }

    // Backups go to the data home's lumivor/backups, made for its owner alone, parents included;
    // the first holds the bytes of what the board held.
    void keep()
    {
        QFETCH(QStringList, keeps);
        QFETCH(QStringList, names);
        QString path;
        for (const QString &keep : keeps) {
            const QStringList part = keep.split(';');
            const CProgrammeFile::Contents held = Held(part[1], part.value(3, "Lumivor V1"));
            QString message;
            QString kept;
            QVERIFY(Store(part[2].toInt()).Keep(part[0], held, &message, &kept));
            if (path.isEmpty()) {
                path = kept;
                QCOMPARE(testprogramme::ReadFile(path), CProgrammeFile::Format(held));
            }
        }
        QCOMPARE(Names(Folder()), names);
        QCOMPARE(path, QDir(Folder()).filePath(names[0]));
        for (const QString &folder : {Folder(), m_home->filePath("lumivor")})
            QCOMPARE(int(QFileInfo(folder).permissions() & 0x77), 0); // no group or other rights
    }

    // 200 older ones: the oldest goes. A file of another name is no backup and stays.
    void onlyTheNewest200AreKept()
    {
        QVERIFY(QDir().mkpath(Folder()));
        QStringList names;
        for (int i = 0; i < 200; ++i) {
            names << "2026-12-07_" + QTime(0, 0).addSecs(i).toString("HH-mm-ss") +
                         "_ttyUSB9_KOTA.ini";
            QVERIFY(testprogramme::WriteFile(QDir(Folder()).filePath(names.last()), "old"));
        }
        QVERIFY(testprogramme::WriteFile(QDir(Folder()).filePath("notes.txt"), "mine"));
        QString message;
        QVERIFY(Store().Keep(kPort, Held("new"), &message));
        names += QStringList{kFirst + ".ini", "notes.txt"};
        QCOMPARE(Names(Folder()), names.mid(1));
    }

    void noBackupLeavesNothing_data()
    {
        QTest::addColumn<QString>("obstacle"); // a file where a folder belongs
        QTest::addColumn<QString>("reason");
        QTest::newRow("the folder is a file") << "lumivor/backups"
                                              << "Not a directory";
        QTest::newRow("a full disk: no half-written file") << QString() << "File too large";
    }

    void noBackupLeavesNothing()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        const QString file = m_home->filePath(obstacle);
        QVERIFY(QDir().mkpath(obstacle.isEmpty() ? Folder() : QFileInfo(file).path()));
        QVERIFY(obstacle.isEmpty() || testprogramme::WriteFile(file, "x"));
        rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit before = limit;
        if (obstacle.isEmpty())
            limit.rlim_cur = 100; // files far smaller than a backup: a disk that fills up
        std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        QString message;
        const bool kept = Store().Keep(kPort, Held("A"), &message);
        ::setrlimit(RLIMIT_FSIZE, &before);

        QVERIFY(!kept);
        QCOMPARE(message, QString("Could not keep a backup of the board's programme in %1: %2. "
                                  "Nothing was sent.")
                              .arg(Folder(), reason));
        QCOMPARE(Names(Folder()), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBackupStore)
#include "test_backupstore.moc"
