#include "device/ScanReport.h"
#include "tests/LinkBench.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <grp.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// The status message after a scan that found no board: its texts, and the reason the link
// gives for each kind of port, on real pseudo-terminals where a port can be made to fail so.

using namespace linkbench;
using Failure = CAdvCmd::PortFailure;
using Outcomes = QVector<CAdvCmd::PortOutcome>;

namespace {

// Run as an unprivileged user: scans the one port named and prints the message.
const char kScanOption[] = "--scan";
// Run as root from CTest: the scan of a port the user may not open, as that user.
const char kUnprivilegedOption[] = "--unprivileged";
constexpr int kSkipped = 77;
constexpr uid_t kNobody = 65534;

CAdvCmd::PortOutcome Denied(const QString &name, const QString &group, bool groupMayUse)
{
    return {name, "/dev/" + name, Failure::PermissionDenied, group, groupMayUse};
}

CAdvCmd::PortOutcome Failed(const QString &name, Failure failure)
{
    return {name, "/dev/" + name, failure, QString(), false};
}

QString ScanMessage(const CAdvCmd::AccessCheck &access = {})
{
    CAdvCmd link;
    link.SetAccessCheck(access);
    QString name;
    if (link.OpenPort(&name))
        return QStringLiteral("board found on ") + name;
    return CScanReport::Message(link.LastScan());
}

gid_t GroupId(const char *name)
{
    const group *found = ::getgrnam(name);
    return found ? found->gr_gid : 0;
}

bool SetOwner(const QString &path, gid_t gid, mode_t mode)
{
    const QByteArray file = QFile::encodeName(path);
    return ::chown(file.constData(), 0, gid) == 0 && ::chmod(file.constData(), mode) == 0;
}

enum class Setup
{
    Silent,      // a board that never answers
    Held,        // a board whose port another program holds
    HeldDenied,  // the same, with the rights check saying this user may not use it
    NotTerminal, // a device that is not a terminal
    Missing,     // a device path that does not exist
    NoPort,      // nothing listed at all
};

} // namespace

Q_DECLARE_METATYPE(Outcomes)
Q_DECLARE_METATYPE(Setup)

class TestScanReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ScanOnly({});
        QuietDebugOutput();
    }

    void message_data()
    {
        QTest::addColumn<Outcomes>("outcomes");
        QTest::addColumn<QString>("message");

        // Outcomes made up for the text alone: no port is opened here.
        QTest::newRow("no serial port at all") << Outcomes{} << "No serial port found.";
        QTest::newRow("a silent port and one denied to a group")
            << Outcomes{Failed("uart0", Failure::NoAnswer), Denied("usb0", "dialout", true)}
            << "No board found: uart0 (no answer); usb0 (permission denied). Add your user to "
               "the group \"dialout\" and log in again.";
        QTest::newRow("every other reason named")
            << Outcomes{Failed("uart0", Failure::InUse), Failed("uart1", Failure::NotSetUp),
                        Failed("uart2", Failure::NotOpened)}
            << "No board found: uart0 (in use by another program); uart1 (could not be set up); "
               "uart2 (could not be opened).";
        QTest::newRow("a device owned by the group root")
            << Outcomes{Denied("usb0", "root", true)}
            << "No board found: usb0 (permission denied). Ask for read and write access to "
               "/dev/usb0.";
        QTest::newRow("a device its group may not read and write")
            << Outcomes{Denied("acm0", "uucp", false)}
            << "No board found: acm0 (permission denied). Ask for read and write access to "
               "/dev/acm0.";
        QTest::newRow("one hint per group and per device, in scan order")
            << Outcomes{Denied("usb0", "uucp", true), Denied("usb1", "dialout", true),
                        Denied("usb2", "uucp", true), Denied("uart0", "root", true),
                        Denied("uart1", "root", false)}
            << "No board found: usb0 (permission denied); usb1 (permission denied); "
               "usb2 (permission denied); uart0 (permission denied); uart1 (permission "
               "denied). Add your user to the group \"uucp\" and log in again. Add your user to "
               "the group \"dialout\" and log in again. Ask for read and write access to "
               "/dev/uart0. Ask for read and write access to /dev/uart1.";
    }

    void message()
    {
        QFETCH(Outcomes, outcomes);
        QFETCH(QString, message);
        QCOMPARE(CScanReport::Message(outcomes), message);
    }

    void scan_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("message"); // %1: the port's device path

        QTest::newRow("silent board") << Setup::Silent << "No board found: %1 (no answer).";
        QTest::newRow("port held by another program")
            << Setup::Held << "No board found: %1 (in use by another program).";
        QTest::newRow("port this user may not use")
            << Setup::HeldDenied
            << "No board found: %1 (permission denied). Add your user to the group \"dialout\" "
               "and log in again.";
        QTest::newRow("device that is not a terminal")
            << Setup::NotTerminal << "No board found: %1 (could not be set up).";
        QTest::newRow("device that does not exist")
            << Setup::Missing << "No board found: %1 (could not be opened).";
        QTest::newRow("no port listed") << Setup::NoPort << "No serial port found.";
    }

    // The link's reason for each port, as the message tells it.
    void scan()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, message);

        CSimulatedBoard board(BoardType::LumivorV1);
        board.SetFault(Fault::Silent);
        QVERIFY(board.Start());
        QString port = board.PortName();
        QSerialPort holder(port);
        CAdvCmd::AccessCheck access;
        switch (setup) {
        case Setup::HeldDenied:
            // Root may open any device: only the rights check can say no here.
            access = [](const QString &) { return false; };
            QVERIFY(SetOwner(port, GroupId("dialout"), 0660));
            Q_FALLTHROUGH();
        case Setup::Held:
            QVERIFY(holder.open(QIODevice::ReadWrite));
            break;
        case Setup::NotTerminal:
            port = QStringLiteral("/dev/null");
            break;
        case Setup::Missing:
            port = QStringLiteral("/dev/lumivor-no-such-port");
            break;
        case Setup::Silent:
        case Setup::NoPort:
            break;
        }
        ScanOnly(setup == Setup::NoPort ? QStringList{} : QStringList{port});

        QCOMPARE(ScanMessage(access), setup == Setup::NoPort ? message : message.arg(port));
    }

    // After a scan that found the board, nothing is left to tell.
    void foundBoardLeavesNoOutcome()
    {
        const auto silent = std::make_unique<CSimulatedBoard>();
        silent->SetFault(Fault::Silent);
        Bench bench;
        QVERIFY(silent->Start() && bench.board.Start());
        ScanOnly({silent->PortName(), bench.board.PortName()});
        QString name;
        QVERIFY(bench.link.OpenPort(&name));
        QVERIFY(bench.link.LastScan().isEmpty());
    }
};

namespace {

// As root: a port whose device file denies the unprivileged user, scanned by this program run as
// that user; the device's group and rights decide the closing hint.
int ScanAsUnprivilegedUser(const QString &self)
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    // A copy of this program that the unprivileged user may run, wherever the build lies.
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("scan"));
    const QFile::Permissions everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                        QFile::ExeGroup;
    const QStringList asNobody{"--reuid=" + QString::number(kNobody),
                               "--regid=" + QString::number(kNobody), "--clear-groups"};
    // The child's leak check has no business here, and it could not read a suppressions file.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LSAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    const auto scanAsNobody = [&](const QString &port, QString *message) {
        QProcess scan;
        scan.setProcessEnvironment(environment);
        scan.start(setpriv, asNobody + QStringList{copy, kScanOption, port});
        if (!scan.waitForFinished(kBoundMs) || scan.exitStatus() != QProcess::NormalExit ||
            scan.exitCode() != 0)
            return false;
        *message = QString::fromUtf8(scan.readAllStandardOutput()).trimmed();
        return true;
    };
    QString message;
    if (::geteuid() != 0 || setpriv.isEmpty() || !folder.isValid() ||
        !QFile::setPermissions(folder.path(), everyone) || !QFile::copy(self, copy) ||
        !QFile::setPermissions(copy, everyone) || !scanAsNobody("/dev/null", &message)) {
        std::puts("SKIP: this machine cannot run a scan as an unprivileged user");
        return kSkipped;
    }
    const struct
    {
        gid_t group;
        mode_t mode;
        const char *message; // %1: the device path
    } cases[] = {
        {GroupId("dialout"), 0660,
         "No board found: %1 (permission denied). Add your user to the group \"dialout\" and "
         "log in again."},
        {0, 0600, "No board found: %1 (permission denied). Ask for read and write access to %1."},
    };
    int failures = 0;
    for (const auto &c : cases) {
        CSimulatedBoard board;
        if (!board.Start() || !SetOwner(board.PortName(), c.group, c.mode))
            return 1;
        message.clear();
        const bool ran = scanAsNobody(board.PortName(), &message);
        const QString expected = QString::fromUtf8(c.message).arg(board.PortName());
        const bool pass = ran && message == expected;
        failures += pass ? 0 : 1;
        std::printf("%s: %s\n", pass ? "PASS" : "FAIL", qPrintable(message));
        if (!pass)
            std::printf("   expected: %s\n", qPrintable(expected));
    }
    std::printf("%d passed, %d failed\n", int(std::size(cases)) - failures, failures);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList args = [&] {
        QStringList list;
        for (int i = 0; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    if (args.size() == 3 && args[1] == kScanOption) {
        QCoreApplication application(argc, argv);
        QuietDebugOutput();
        ScanOnly({args[2]});
        std::puts(qPrintable(ScanMessage()));
        std::fflush(stdout);
        return 0;
    }
    if (args.size() == 2 && args[1] == kUnprivilegedOption) {
        QCoreApplication application(argc, argv);
        return ScanAsUnprivilegedUser(QCoreApplication::applicationFilePath());
    }
    QCoreApplication application(argc, argv);
    TestScanReport test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_scanreport.moc"
