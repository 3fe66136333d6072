#include "app/MainWindow.h"
#include "device/PortWatch.h"
#include "tests/WindowRig.h"

#include <QLabel>
#include <QSerialPort>
#include <QtTest>

#include <functional>
#include <vector>

// The window follows the cable: a board plugged in is connected, one unplugged is noticed.

namespace {

// The watch lists this often, so that a port the test lists is seen at once.
constexpr int kListMs = 50;
const QString kConnected = QStringLiteral("<font color=\"#00FF00\">Connected</font>");
const QString kDisconnected = QStringLiteral("<font color=\"#FF0000\">Disconnected</font>");

// A window whose scan and watch see the ports the test lists.
struct Cable
{
    Cable()
    {
        CAdvCmd::SetDefaultPortDiscovery([this] { return listed; });
    }
    ~Cable()
    {
        CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
    }

    // A running board whose first two sessions take base + 1 and base + 2 photos.
    CSimulatedBoard *Board(int type, int base, bool list)
    {
        boards.push_back(std::make_unique<CSimulatedBoard>(type));
        CSimulatedBoard *board = boards.back().get();
        CSimulatedBoard::Programme programme = CSimulatedBoard::DefaultProgramme();
        programme.sessions[0].repeat = base + 1;
        programme.sessions[1].repeat = base + 2;
        board->SetProgramme(programme);
        if (board->Start() && list)
            listed << board->PortName();
        return board;
    }
    void Open()
    {
        window = std::make_unique<MainWindow>();
        window->PortWatch().SetInterval(kListMs);
        QObject::connect(window->statusBar(), &QStatusBar::messageChanged,
                         [this](const QString &message) { shown << message; });
    }
    QString Label() const { return window->findChild<QLabel *>("label_Connected")->text(); }
    QString Status() const { return window->statusBar()->currentMessage(); }
    QLineEdit *Edit(const QString &name) const { return window->findChild<QLineEdit *>(name); }
    void Choose(int t) const { window->findChild<QComboBox *>("cbBoard")->setCurrentIndex(t); }
    // What every field of the session pages shows.
    QStringList Pages() const
    {
        QStringList texts;
        for (const QLineEdit *edit : window->findChildren<QLineEdit *>())
            texts << edit->objectName() + '=' + edit->text();
        return texts;
    }

    QStringList listed;
    std::vector<std::unique_ptr<CSimulatedBoard>> boards; // go after the window
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QSerialPort> holder; // another program's hold on a port
    QStringList shown;                   // every message of the status bar
};

using Step = std::function<void(Cable &)>;

} // namespace

Q_DECLARE_METATYPE(Step)

class TestConnectionKeeper : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

private slots:
    void initTestCase() { QVERIFY(windowrig::SetUp(m_folder)); }

    void newPort_data()
    {
        QTest::addColumn<Step>("setUp");  // before the window opens
        QTest::addColumn<Step>("before"); // before the new board's port is listed
        QTest::addColumn<int>("type");    // the new board's
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("page2"); // photos of Photo Session 2 shown at the end

        const Step none = [](Cable &) {};
        const Step firstBoard = [](Cable &c) { c.Board(BoardType::LumivorV1, 10, true); };
        const Step editThenUnplug = [](Cable &c) {
            c.Edit("repeat_2")->setText("77");
            c.boards[0]->HangUp();
            QTRY_COMPARE_WITH_TIMEOUT(c.Label(), kDisconnected, linkbench::kBoundMs);
        };
        const QString connected = QStringLiteral("Connected to the board on %1.");
        const int v1 = BoardType::LumivorV1;

        QTest::newRow("a board plugged in is connected") << none << none << v1 << connected << "42";
        QTest::newRow("a port listed from the start is never opened, a new one is")
            << Step([](Cable &c) {
                   c.Board(BoardType::LumivorV1, 10, true)->SetFault(linkbench::Fault::Silent);
               })
            << none << v1 << connected << "42";
        QTest::newRow("a port in use is tried each second until it is free")
            << none << Step([](Cable &c) {
                   c.holder = std::make_unique<QSerialPort>(c.boards.back()->PortName());
                   QVERIFY(c.holder->open(QIODevice::ReadWrite));
                   QTimer::singleShot(2500, c.holder.get(), [&c] { c.holder->close(); });
               })
            << v1 << connected << "42";
        QTest::newRow("in a file mode the new port is only told")
            << none << Step([](Cable &c) { c.Choose(BoardType::KotaFile); }) << v1
            << "A new port appeared: %1. \"Connect\" uses it."
            << "0";
        QTest::newRow("unsent edits stay through a board of the type shown")
            << firstBoard << editThenUnplug << v1
            << connected + " Photo Session 2 keeps your unsent edits."
            << "77";
        QTest::newRow("a board of another type drops them")
            << firstBoard << editThenUnplug << int(BoardType::Kota)
            << connected + " Photo Session 2 lost its unsent edits: the board is a KOTA."
            << "42";
    }

    // A port that appears while the window is not connected is probed alone, and a board there
    // is connected; nothing else is opened.
    void newPort()
    {
        QFETCH(Step, setUp);
        QFETCH(Step, before);
        QFETCH(int, type);
        QFETCH(QString, status);
        QFETCH(QString, page2);

        Cable c;
        setUp(c);
        c.Open();
        CSimulatedBoard *board = c.Board(type, 40, false);
        before(c);
        for (const auto &each : c.boards)
            each->ClearReceived();
        c.shown.clear();
        c.listed << board->PortName();

        const QString port = board->PortName();
        QTRY_COMPARE_WITH_TIMEOUT(c.Status(), status.arg(port), linkbench::kBoundMs);
        const bool connects = status.startsWith("Connected");
        QCOMPARE(c.Label(), connects ? kConnected : kDisconnected);
        QCOMPARE(c.shown.contains(QString("Connecting to the board on %1\u2026").arg(port)),
                 connects);
        QCOMPARE(c.Edit("repeat_1")->text(), QString(connects ? "41" : "0"));
        QCOMPARE(c.Edit("repeat_2")->text(), page2);
        QCOMPARE(board->ReceivedLines().count("ADV#\r"), connects ? 1 : 0);
        for (size_t i = 0; i + 1 < c.boards.size(); ++i)
            QCOMPARE(c.boards[i]->ReceivedLines(), QByteArrayList());
    }

    void unplugWhileIdle_data()
    {
        QTest::addColumn<Step>("unplug");
        QTest::addColumn<int>("type"); // chosen before the unplug

        const Step hangUp = [](Cable &c) { c.boards[0]->HangUp(); };
        QTest::newRow("the board hangs up") << hangUp << int(BoardType::LumivorV1);
        QTest::newRow("its port leaves the list")
            << Step([](Cable &c) { c.listed.clear(); }) << int(BoardType::LumivorV1);
        QTest::newRow("in a file mode the link stays up for its command files")
            << hangUp << int(BoardType::LumivorV1File);
    }

    // The window says so, shows "Disconnected" and lets the port go; the pages and the model
    // keep what they hold, unsent edits included.
    void unplugWhileIdle()
    {
        QFETCH(Step, unplug);
        QFETCH(int, type);
        const bool fileMode = BoardType::IsFileMode(type);

        Cable c;
        CSimulatedBoard *board = c.Board(BoardType::LumivorV1, 10, true);
        c.Open();
        c.Choose(type);
        c.Edit("repeat_2")->setText("77");
        const QStringList pages = c.Pages();
        const QString port = board->PortName();
        unplug(c);

        QTRY_COMPARE_WITH_TIMEOUT(c.Status(), "The board on " + port + " was unplugged.",
                                  linkbench::kBoundMs);
        QCOMPARE(c.Label(), fileMode ? kConnected : kDisconnected);
        QCOMPARE(c.Pages(), pages);
        QCOMPARE(c.window->Settings().GetSession(0).repeat, 11);
        if (board->IsRunning()) {
            QSerialPort next(port);
            QVERIFY(next.open(QIODevice::ReadWrite));
        }
        if (fileMode) {
            c.window->findChild<QPushButton *>("pbfilegeneration")->click();
            QVERIFY(testprogramme::ReadFile("LumivorV1.txt").startsWith("ADV#POWER="));
        }
    }
};

QTEST_MAIN(TestConnectionKeeper)
#include "test_connectionkeeper.moc"
