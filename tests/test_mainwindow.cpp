#include "app/CommandOptions.h"
#include "app/MainWindow.h"
#include "device/AdvCmd.h"
#include "device/ProgrammeFile.h"
#include "pages/Curve.h"
#include "sim/SimulatedBoard.h"
#include "tests/TestProgramme.h"
#include "tests/WindowRig.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QtTest>

namespace {

QStringList TabTitles(const QTabWidget *tabs)
{
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    return titles;
}

QStringList TabPages(const QTabWidget *tabs)
{
    QStringList pages;
    for (int i = 0; i < tabs->count(); ++i)
        pages << tabs->widget(i)->objectName();
    return pages;
}

// Chooses an entry of a menu of the window's menu bar, as the user would.
bool Choose(QMainWindow *window, const QString &menuTitle, const QString &entry)
{
    for (QAction *menuAction : window->menuBar()->actions()) {
        if (menuAction->text() != menuTitle || !menuAction->menu())
            continue;
        for (QAction *action : menuAction->menu()->actions()) {
            if (action->text() == entry) {
                action->trigger();
                return true;
            }
        }
    }
    return false;
}

const QString kConnectedMarkup = QStringLiteral("<font color=\"#00FF00\">Connected</font>");
const QString kDisconnectedMarkup = QStringLiteral("<font color=\"#FF0000\">Disconnected</font>");

// The read-out of a board with outputs, in the order the window must ask for it.
const QList<QByteArray> kHandshake{"ADV#\r", "ADV#ECHO=0\r", "ADV#VERSION\r"};
const QList<QByteArray> kFullReadOut =
    kHandshake + QList<QByteArray>{"ADV#OUTPUT=?\r",  "ADV#POWER=?\r",  "ADV#WAKE=?\r",
                                   "ADV#COUTPUT=?\r", "ADV#CPOWER=?\r", "ADV#CINPUT=?\r"};

template <typename T> T *Find(const QWidget &window, const QString &name)
{
    T *widget = window.findChild<T *>(name);
    if (!widget)
        qFatal("the window has no %s", qPrintable(name));
    return widget;
}

QString TextOf(const QWidget &window, const QString &name)
{
    return Find<QLineEdit>(window, name)->text();
}

bool Checked(const QWidget &window, const QString &name)
{
    return Find<QRadioButton>(window, name)->isChecked();
}

QTime TimeOf(const QWidget &window, const QString &name)
{
    return Find<QTimeEdit>(window, name)->time();
}

void Click(const QWidget &window, const QString &name)
{
    QTest::mouseClick(Find<QPushButton>(window, name), Qt::LeftButton);
}

// Lets the window's port scan find this board, and nothing else.
void Discover(const CSimulatedBoard &board)
{
    const QString port = board.PortName();
    CAdvCmd::SetDefaultPortDiscovery([port] { return QStringList{port}; });
}

using testprogramme::At;
using testprogramme::ProgrammeOf;
using testprogramme::SetTiming;

// A programme unlike the reset values anywhere the pages look: page 1 by time at 06:15, page 2
// woken by input 2, page 3 without trigger, page 4 by time at 21:40; timings on outputs 1, 2, 4
// and 6, the last only a six-output board reports.
CSimulatedBoard::Programme TestProgramme()
{
    CSimulatedBoard::Programme p;
    p.outputModes = {1, 2, 3, 4, 0, 1};
    p.powerModes = {2, 1};
    p.battery = {3300, 3600};
    p.sessions[0] = {kWakeByTime, At(6, 15, 0), At(0, 20, 0), 3};
    p.sessions[1] = {kWakeByInput, At(0, 0, 0), At(0, 0, 45), 7};
    p.sessions[2] = {kWakeNone, At(0, 0, 0), At(0, 0, 0), 0};
    p.sessions[3] = {kWakeByTime, At(21, 40, 0), At(1, 0, 0), 2};
    p.inputs[0] = {0, 0, 0};
    p.inputs[1] = {2, 1, 1}; // "not grounded", enabled, session index 1
    p.powerTimes = {{{180, 60}, {0, 30}, {0, 0}, {600, 0}}};
    SetTiming(&p, 0, 1, 3, 4, 5, 1200);
    SetTiming(&p, 0, 4, 1, 0, 90, 0);
    SetTiming(&p, 1, 6, 9, 8, 7, 6);
    SetTiming(&p, 3, 2, 2, 10, 20, 3600);
    return p;
}

// Minutes of the day, (from, to, session number), that the test programme keeps powered:
// photos at 06:15, 06:35 and 06:55 for 3 minutes, at 21:40 and 22:40 for 10 minutes.
struct Span
{
    int from;
    int to;
    int session;
};
const QVector<Span> kTestProgrammeMarks{
    {375, 378, 1}, {395, 398, 1}, {415, 418, 1}, {1300, 1310, 4}, {1360, 1370, 4}};

// Every minute of the chart: marked as listed, unmarked everywhere else.
QString ChartMismatch(const QWidget &window, const QVector<Span> &marks)
{
    const CCurve *chart = window.findChild<CCurve *>();
    if (!chart)
        return QStringLiteral("no chart");
    for (int minute = 0; minute < CCurve::kMinutesPerDay; ++minute) {
        int expected = 0;
        for (const Span &span : marks) {
            if (minute >= span.from && minute <= span.to)
                expected = span.session;
        }
        if (chart->SessionAt(minute) != expected)
            return QStringLiteral("minute %1 shows %2, expected %3")
                .arg(minute)
                .arg(chart->SessionAt(minute))
                .arg(expected);
    }
    return QString();
}

QString PageName(const char *prefix, int page)
{
    return QString::fromLatin1(prefix) + QString::number(page);
}

QString OutputName(const char *prefix, int output, int page)
{
    return QString::fromLatin1(prefix) + QString::number(output) + QLatin1Char('_') +
           QString::number(page);
}

// The four session pages as the model's reset values fill them; empty when they do.
QString ResetPagesMismatch(const QWidget &window)
{
    QStringList wrong;
    for (int page = 1; page <= 4; ++page) {
        if (!Checked(window, PageName("noaction_", page)))
            wrong << PageName("noaction_", page);
        for (const char *edit : {"time_", "interval_"}) {
            if (TimeOf(window, PageName(edit, page)) != QTime(0, 0))
                wrong << PageName(edit, page);
        }
        for (const char *edit : {"repeat_", "timepower1_", "timepower2_"}) {
            if (TextOf(window, PageName(edit, page)) != QLatin1String("0"))
                wrong << PageName(edit, page);
        }
        for (int output = 1; output <= 6; ++output) {
            for (const char *edit : {"outnumber", "outdelay", "outduration", "outinterval"}) {
                if (TextOf(window, OutputName(edit, output, page)) != QLatin1String("0"))
                    wrong << OutputName(edit, output, page);
            }
        }
    }
    return wrong.join(QLatin1Char(' '));
}

// What the window shows of a connection, to compare two of them; the version stands third.
constexpr int kSnapshotVersion = 2;
QStringList Snapshot(const QWidget &window)
{
    QStringList shown{Find<QLabel>(window, QStringLiteral("label_Connected"))->text(),
                      Find<QLabel>(window, QStringLiteral("label_2"))->text(),
                      TextOf(window, QStringLiteral("edit_version")),
                      TextOf(window, QStringLiteral("leConf")),
                      Find<QComboBox>(window, QStringLiteral("cbBoard"))->currentText()};
    for (int page = 1; page <= 4; ++page) {
        for (const char *button : {"noaction_", "trigtime_", "trigin1_", "trigin2_"})
            shown << PageName(button, page) + QLatin1Char('=') +
                         QString::number(Checked(window, PageName(button, page)));
        shown << TimeOf(window, PageName("time_", page)).toString()
              << TimeOf(window, PageName("interval_", page)).toString();
        for (const char *edit : {"repeat_", "timepower1_", "timepower2_"})
            shown << TextOf(window, PageName(edit, page));
        for (int output = 1; output <= 6; ++output) {
            for (const char *edit : {"outnumber", "outdelay", "outduration", "outinterval"})
                shown << TextOf(window, OutputName(edit, output, page));
        }
    }
    return shown;
}

// What the File menu's entries do to a window on a KOTA board, cheap to write to.
struct ProgrammeRig : windowrig::Rig
{
    explicit ProgrammeRig(int type = BoardType::Kota) : Rig(type) { board.ClearReceived(); }
    void Choose(const char *action)
    {
        window->findChild<QAction *>(QLatin1String(action))->trigger();
    }
};

using RigStep = std::function<void(ProgrammeRig &)>;

// A working folder of the test's own while it lives, for the files the window writes.
struct InFolder
{
    InFolder() : previous(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    ~InFolder() { QDir::setCurrent(previous); }
    QTemporaryDir dir;
    QString previous;
};

// Backups go to a data home of the test's own while it lives.
struct DataHome
{
    DataHome() { qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path())); }
    ~DataHome() { qputenv("XDG_DATA_HOME", previous); }
    QString Backups() const { return dir.filePath("lumivor/backups"); }
    QStringList Kept() const { return QDir(Backups()).entryList(QDir::Files); }
    QTemporaryDir dir;
    const QByteArray previous = qgetenv("XDG_DATA_HOME"); // the test program's own
};

// The setting lines a board received, queries left out.
QByteArrayList SettingLines(const CSimulatedBoard &board)
{
    QByteArrayList lines = board.ReceivedLines();
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const QByteArray &line) { return line.endsWith("=?\r"); }),
                lines.end());
    return lines;
}

// The KOTA board's programme with session 3's photo count raised by `more`, as prog.ini.
bool WriteProgramme(const CSimulatedBoard &board, int more)
{
    BoardProgramme p = ProgrammeOf(board);
    p.sessions[2].repeat += more;
    return testprogramme::WriteFile("prog.ini", CProgrammeFile::Format({"KOTA", "any", p}));
}

const QStringList kStandardTitles{"General", "Photo Session 1", "Photo Session 2",
                                  "Photo Session 3", "Photo Session 4"};
const QStringList kStandardPages{"tab", "tab_2", "tab_3", "tab_4", "tab_5"};
const QStringList kAdminTitles =
    kStandardTitles + QStringList{"Input", "Output", "Power", "Battery Protected"};
const QStringList kAdminPages = kStandardPages + QStringList{"tab_6", "tab_7", "tab_8", "tab_9"};

} // namespace

Q_DECLARE_METATYPE(RigStep)

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // The window looks for a board when it starts: it must find none. Its backups go where the
    // tool's go.
    void initTestCase()
    {
        QCoreApplication::setApplicationName("lumivor");
        CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
    }

    // A test that found a board must not leave its port to the next one.
    void cleanup()
    {
        CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
    }

    // The window is on screen, under the wait cursor, before the start-up connection looks for
    // the board; a request to close it meanwhile waits until the read-out is done.
    void startUpShowsTheWindowFirst()
    {
        CSimulatedBoard board(BoardType::LumivorV2);
        QVERIFY(board.Start());
        Discover(board);
        m_board = &board;
        qApp->installEventFilter(this);
        bool visibleDuringReadOut = false;
        // The start-up connection handles the window's events in its waits, this timer's too.
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (!board.ReceivedLines().contains("ADV#VERSION\r"))
                return;
            closer.stop();
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (!qobject_cast<QMainWindow *>(top))
                    continue;
                visibleDuringReadOut = top->isVisible();
                QCoreApplication::postEvent(top->windowHandle(), new QCloseEvent);
            }
        });
        closer.start(1);

        MainWindow window;
        qApp->removeEventFilter(this);

        QCOMPARE(m_shown, QStringLiteral("shown under the wait cursor before 0 lines"));
        QVERIFY(visibleDuringReadOut);
        QCOMPARE(board.ReceivedLines(), kFullReadOut);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QTRY_VERIFY(!window.isVisible());
    }

    void windowFrame()
    {
        MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Lumivor"));
        QCOMPARE(window.size(), QSize(791, 651));
        QCOMPARE(window.minimumSize(), QSize(791, 536));
        QCOMPARE(window.maximumSize(), QSize(792, 700));
        QVERIFY(!window.windowIcon().isNull());
    }

    void startsInTheStandardSet()
    {
        MainWindow window;
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QVERIFY(tabs);
        QCOMPARE(TabTitles(tabs), kStandardTitles);
        QCOMPARE(TabPages(tabs), kStandardPages);
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Photo Session 1"));
    }

    void modeMenu_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("pages");
        QTest::newRow("SuperUser adds the four administrator pages")
            << QStringList{"SuperUser"} << kAdminTitles << kAdminPages;
        QTest::newRow("SuperUser then NormalUser returns to the standard set")
            << QStringList{"SuperUser", "NormalUser"} << kStandardTitles << kStandardPages;
        QTest::newRow("SuperUser twice shows each administrator page once")
            << QStringList{"SuperUser", "SuperUser"} << kAdminTitles << kAdminPages;
        QTest::newRow("NormalUser in the standard set changes nothing")
            << QStringList{"NormalUser"} << kStandardTitles << kStandardPages;
        QTest::newRow("SuperUser again after NormalUser brings the same pages back")
            << QStringList{"SuperUser", "NormalUser", "SuperUser"} << kAdminTitles << kAdminPages;
    }

    void modeMenu()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, pages);
        MainWindow window;
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QVERIFY(tabs);
        for (const QString &entry : entries)
            QVERIFY(Choose(&window, QStringLiteral("Mode"), entry));
        QCOMPARE(TabTitles(tabs), titles);
        QCOMPARE(TabPages(tabs), pages);
        QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("tab_2"));
    }

    // Choosing "SuperUser" again leaves the shown pages where they are, the current one too.
    void superUserAgainKeepsTheCurrentPage()
    {
        MainWindow window;
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QVERIFY(tabs);
        QVERIFY(Choose(&window, QStringLiteral("Mode"), QStringLiteral("SuperUser")));
        tabs->setCurrentIndex(7);
        QSignalSpy pageChanges(tabs, SIGNAL(currentChanged(int)));
        QVERIFY(Choose(&window, QStringLiteral("Mode"), QStringLiteral("SuperUser")));
        QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("tab_8"));
        QCOMPARE(pageChanges.count(), 0);
        QCOMPARE(TabPages(tabs), kAdminPages);
    }

    // The controllers reach the administrator widgets while their pages are out of the tabs.
    void administratorWidgetsOutlastTheirTabs()
    {
        MainWindow window;
        for (const char *name : {"pbGetAnalog", "edit_inputL2", "cbOutput6", "pbSetOutput",
                                 "cbPower2", "lehighbattery", "pbGetBattery"})
            QCOMPARE(window.findChildren<QWidget *>(QString::fromLatin1(name)).size(), 1);
        auto *battery = window.findChild<QWidget *>(QStringLiteral("tab_9"));
        QVERIFY(battery);
        QVERIFY(Choose(&window, QStringLiteral("Mode"), QStringLiteral("SuperUser")));
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QCOMPARE(tabs->widget(8), battery);
        QVERIFY(battery->findChild<QPushButton *>(QStringLiteral("pbSetBattery")));
    }

    void versionEntryDoesNothing()
    {
        MainWindow window;
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        auto *status = window.findChild<QLabel *>(QStringLiteral("label_Connected"));
        QVERIFY(tabs && status);
        const QString statusText = status->text();
        const int topLevels = QApplication::topLevelWidgets().size();
        QVERIFY(Choose(&window, QStringLiteral("Help"), QStringLiteral("version 1.1.0.0")));
        QCOMPARE(TabTitles(tabs), kStandardTitles);
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(status->text(), statusText);
        QCOMPARE(QApplication::topLevelWidgets().size(), topLevels);
    }
    void startUpWithBoard_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("versionField");
        QTest::addColumn<QList<QByteArray>>("requests");
        QTest::addColumn<QString>("boardText");
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("outputs");
        QTest::addColumn<bool>("secondInput");
        QTest::addColumn<bool>("secondRail");

        QTest::newRow("a Lumivor V1 is read out whole, six outputs and two inputs")
            << int(BoardType::LumivorV1) << "1LV1-3.21" << kFullReadOut << "Lumivor V1"
            << "LV1-3.21" << 6 << true << true;
        QTest::newRow("a Lumivor V2 is read out whole, four outputs and two inputs")
            << int(BoardType::LumivorV2) << "2LV2-4.56" << kFullReadOut << "Lumivor V2"
            << "LV2-4.56" << 4 << true << true;
        QTest::newRow("a KOTA is not asked for outputs and reports one input and one rail")
            << int(BoardType::Kota) << "3KOTA-7.89"
            << kHandshake + QList<QByteArray>{"ADV#POWER=?\r", "ADV#WAKE=?\r", "ADV#CPOWER=?\r",
                                              "ADV#CINPUT=?\r"}
            << "KOTA"
            << "KOTA-7.89" << 0 << false << false;
    }

    // The window finds the board before it is shown and fills every page from its programme.
    void startUpWithBoard()
    {
        QFETCH(int, type);
        QFETCH(QString, versionField);
        QFETCH(QList<QByteArray>, requests);
        QFETCH(QString, boardText);
        QFETCH(QString, version);
        QFETCH(int, outputs);
        QFETCH(bool, secondInput);
        QFETCH(bool, secondRail);

        CSimulatedBoard board(type);
        board.SetVersion(versionField);
        board.SetProgramme(TestProgramme());
        QVERIFY(board.Start());
        Discover(board);
        MainWindow window;

        QCOMPARE(board.ReceivedLines(), requests);
        QCOMPARE(Find<QLabel>(window, "label_Connected")->text(), kConnectedMarkup);
        QCOMPARE(Find<QLabel>(window, "label_2")->text(), board.PortName());
        QCOMPARE(TextOf(window, "edit_version"), version);
        auto *boardBox = Find<QComboBox>(window, "cbBoard");
        QCOMPARE(boardBox->currentIndex(), type);
        QCOMPARE(boardBox->currentText(), boardText);
        QCOMPARE(TextOf(window, "leConf"), QStringLiteral("by board"));
        QVERIFY(Find<QPushButton>(window, "pbfilegeneration")->isHidden());
        QVERIFY(!Find<QPushButton>(window, "pbGetDateTime")->isHidden());

        // Page 1: by time at 06:15, three photos 20 minutes apart.
        QVERIFY(Checked(window, "trigtime_1"));
        QCOMPARE(TimeOf(window, "time_1"), QTime(6, 15));
        QCOMPARE(TimeOf(window, "interval_1"), QTime(0, 20));
        QCOMPARE(TextOf(window, "repeat_1"), QStringLiteral("3"));
        QCOMPARE(TextOf(window, "timepower1_1"), QStringLiteral("180"));
        QCOMPARE(TextOf(window, "timepower2_1"), QString(secondRail ? "60" : "0"));
        // Page 2 is woken by input 2, which only a board with two inputs reports.
        QCOMPARE(Checked(window, "trigin2_2"), secondInput);
        QCOMPARE(Checked(window, "noaction_2"), !secondInput);
        QCOMPARE(Find<QComboBox>(window, "detect2_2")->currentIndex(), secondInput ? 2 : 0);
        QCOMPARE(TextOf(window, "repeat_2"), QStringLiteral("7"));
        QCOMPARE(TimeOf(window, "interval_2"), QTime(0, 0, 45));
        QVERIFY(Checked(window, "noaction_3"));
        QVERIFY(Checked(window, "trigtime_4"));
        QCOMPARE(TimeOf(window, "time_4"), QTime(21, 40));
        QCOMPARE(TextOf(window, "repeat_4"), QStringLiteral("2"));
        QCOMPARE(TextOf(window, "timepower1_4"), QStringLiteral("600"));
        // Output timings, as far as the board has outputs.
        const QStringList output1 =
            outputs >= 1 ? QStringList{"3", "4", "5", "1200"} : QStringList{"0", "0", "0", "0"};
        const QStringList shownOutput1{
            TextOf(window, "outnumber1_1"), TextOf(window, "outdelay1_1"),
            TextOf(window, "outduration1_1"), TextOf(window, "outinterval1_1")};
        QCOMPARE(shownOutput1, output1);
        QCOMPARE(TextOf(window, "outinterval2_4"), QString(outputs >= 2 ? "3600" : "0"));
        QCOMPARE(TextOf(window, "outduration4_1"), QString(outputs >= 4 ? "90" : "0"));
        QCOMPARE(TextOf(window, "outnumber6_2"), QString(outputs >= 6 ? "9" : "0"));

        QCOMPARE(ChartMismatch(window, kTestProgrammeMarks), QString());
    }

    void noBoardShowsResetValues_data()
    {
        QTest::addColumn<bool>("boardAtStart");
        QTest::newRow("no board at start-up") << false;
        QTest::newRow("Connect after the board hung up") << true;
    }

    // Without a board the status turns red and every page falls back to the reset values.
    void noBoardShowsResetValues()
    {
        QFETCH(bool, boardAtStart);
        CSimulatedBoard board(BoardType::LumivorV2);
        board.SetProgramme(TestProgramme());
        if (boardAtStart) {
            QVERIFY(board.Start());
            Discover(board);
        }
        MainWindow window;
        if (boardAtStart) {
            QCOMPARE(TextOf(window, "repeat_1"), QStringLiteral("3")); // filled from the board
            QTest::keyClicks(Find<QLineEdit>(window, "leConf"), QStringLiteral(" (my notes)"));
            board.HangUp();
            Click(window, "pbConnect");
        }

        QCOMPARE(Find<QLabel>(window, "label_Connected")->text(), kDisconnectedMarkup);
        QCOMPARE(Find<QLabel>(window, "label_2")->text(), QString());
        QCOMPARE(TextOf(window, "leConf"), QStringLiteral("unknown"));
        QCOMPARE(TextOf(window, "edit_version"), QStringLiteral("unknown"));
        QCOMPARE(Find<QComboBox>(window, "cbBoard")->currentIndex(), 0);
        QCOMPARE(Find<QComboBox>(window, "cbBoard")->currentText(), QStringLiteral("unknown"));
        QVERIFY(Find<QPushButton>(window, "pbfilegeneration")->isHidden());
        QCOMPARE(ResetPagesMismatch(window), QString());
        QCOMPARE(ChartMismatch(window, {}), QString());
    }

    // Why no board answered stays in the status bar; a connection that finds the board clears it.
    void statusTellsWhyNoBoardAnswered()
    {
        CSimulatedBoard board(BoardType::LumivorV2);
        board.SetFault(CSimulatedBoard::Fault::Silent);
        QVERIFY(board.Start());
        Discover(board);
        MainWindow window;
        QCOMPARE(window.statusBar()->currentMessage(),
                 QStringLiteral("No board found: %1 (no answer).").arg(board.PortName()));

        board.ClearFaults();
        Click(window, "pbConnect");
        QCOMPARE(Find<QLabel>(window, "label_Connected")->text(), kConnectedMarkup);
        QCOMPARE(window.statusBar()->currentMessage(), QString());
    }

    // A board that stops answering after its version: connected, but the pages stay as they were.
    void failedReadOutKeepsPages()
    {
        CSimulatedBoard board(BoardType::LumivorV2);
        board.SetProgramme(TestProgramme());
        QVERIFY(board.Start());
        Discover(board);
        MainWindow window;
        const QStringList before = Snapshot(window);
        QTest::keyClicks(Find<QLineEdit>(window, "leConf"), QStringLiteral(" (my notes)"));

        // The board now holds another programme and version, and keeps its sessions to itself.
        board.SetProgramme(CSimulatedBoard::DefaultProgramme());
        board.SetVersion(QStringLiteral("2LV2-9.99"));
        board.SetFault(CSimulatedBoard::Fault::Silent, "ADV#WAKE");
        board.ClearReceived();
        Click(window, "pbConnect");

        // Five attempts at the sessions, then nothing more.
        const QList<QByteArray> requests = kHandshake +
                                           QList<QByteArray>{"ADV#OUTPUT=?\r", "ADV#POWER=?\r"} +
                                           QVector<QByteArray>(5, "ADV#WAKE=?\r").toList();
        QCOMPARE(board.ReceivedLines(), requests);
        QCOMPARE(Find<QLabel>(window, "label_Connected")->text(), kConnectedMarkup);
        QCOMPARE(Find<QLabel>(window, "label_2")->text(), board.PortName());
        QCOMPARE(TextOf(window, "leConf"), QStringLiteral("by board"));
        // The version in use is shown; the pages keep what they showed.
        QStringList expected = before;
        expected[kSnapshotVersion] = QStringLiteral("LV2-9.99");
        QCOMPARE(Snapshot(window), expected);
        QCOMPARE(ChartMismatch(window, kTestProgrammeMarks), QString());
    }

    // A second "Connect" closes the port, finds the board again and shows the same.
    void connectAgainGivesTheSameResult()
    {
        CSimulatedBoard board(BoardType::LumivorV2);
        board.SetProgramme(TestProgramme());
        QVERIFY(board.Start());
        Discover(board);
        MainWindow window;
        const QStringList first = Snapshot(window);
        QCOMPARE(first.at(0), kConnectedMarkup);
        board.ClearReceived();

        Click(window, "pbConnect");
        QCOMPARE(board.ReceivedLines(), kFullReadOut);
        QCOMPARE(Snapshot(window), first);
        QCOMPARE(ChartMismatch(window, kTestProgrammeMarks), QString());
    }

    // The same board type again, with a new programme: the pages and the chart follow the board
    // although no board change runs.
    void connectAgainShowsTheNewProgramme()
    {
        CSimulatedBoard board(BoardType::LumivorV2);
        QVERIFY(board.Start());
        Discover(board);
        MainWindow window;
        QCOMPARE(TextOf(window, "repeat_1"), QStringLiteral("12")); // the default programme
        board.SetProgramme(TestProgramme());

        Click(window, "pbConnect");

        QCOMPARE(TimeOf(window, "time_1"), QTime(6, 15));
        QCOMPARE(TextOf(window, "repeat_1"), QStringLiteral("3"));
        QVERIFY(Checked(window, "trigin2_2"));
        QVERIFY(Checked(window, "noaction_3"));
        QCOMPARE(TextOf(window, "outinterval2_4"), QStringLiteral("3600"));
        QCOMPARE(ChartMismatch(window, kTestProgrammeMarks), QString());
    }

    void connectEndsFileMode_data()
    {
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<bool>("boardStays");
        QTest::addColumn<QString>("versionField");
        QTest::addColumn<QByteArray>("silentFrom");
        QTest::addColumn<int>("shownType");
        QTest::addColumn<QString>("shownVersion");

        const QString v2 = QStringLiteral("2LV2-1.12");
        QTest::newRow("from Lumivor V2 file mode the board's own type returns")
            << int(BoardType::LumivorV2File) << true << v2 << QByteArray()
            << int(BoardType::LumivorV2) << "LV2-1.12";
        QTest::newRow("from KOTA file mode the board's own type returns")
            << int(BoardType::KotaFile) << true << v2 << QByteArray() << int(BoardType::LumivorV2)
            << "LV2-1.12";
        QTest::newRow("from Lumivor V1 file mode with the board gone: unknown")
            << int(BoardType::LumivorV1File) << false << v2 << QByteArray()
            << int(BoardType::Unknown) << "unknown";
        QTest::newRow("from KOTA file mode, a board silent after the handshake: unknown")
            << int(BoardType::KotaFile) << true << v2 << QByteArray("ADV#VERSION")
            << int(BoardType::Unknown) << "unknown";
        QTest::newRow("from KOTA file mode, a board silent after its version: its own type")
            << int(BoardType::KotaFile) << true << v2 << QByteArray("ADV#WAKE")
            << int(BoardType::LumivorV2) << "LV2-1.12";
        QTest::newRow("from KOTA file mode, a board of unknown type is read out: unknown")
            << int(BoardType::KotaFile) << true << "7XY-0.1" << QByteArray()
            << int(BoardType::Unknown) << "XY-0.1";
    }

    // After any connection attempt the board type shown is the one settings go to: the clock
    // goes to the board that answered, and no command file is written.
    void connectEndsFileMode()
    {
        QFETCH(int, fileMode);
        QFETCH(bool, boardStays);
        QFETCH(QString, versionField);
        QFETCH(QByteArray, silentFrom);
        QFETCH(int, shownType);
        QFETCH(QString, shownVersion);

        QTemporaryDir commandFiles;
        const QString previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(commandFiles.path()));
        CSimulatedBoard board(BoardType::LumivorV2);
        board.SetVersion(versionField);
        QVERIFY(board.Start());
        Discover(board);
        MainWindow window;
        auto *boardBox = Find<QComboBox>(window, "cbBoard");
        auto *fileGeneration = Find<QPushButton>(window, "pbfilegeneration");
        auto *getDateTime = Find<QPushButton>(window, "pbGetDateTime");
        boardBox->setCurrentIndex(fileMode);
        QVERIFY(!fileGeneration->isHidden());
        QVERIFY(getDateTime->isHidden());

        if (!boardStays)
            CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
        if (!silentFrom.isEmpty())
            board.SetFault(CSimulatedBoard::Fault::Silent, silentFrom);
        Click(window, "pbConnect");

        QCOMPARE(boardBox->currentIndex(), shownType);
        QCOMPARE(TextOf(window, "edit_version"), shownVersion);
        QVERIFY(fileGeneration->isHidden());
        QVERIFY(!getDateTime->isHidden());
        QCOMPARE(Find<QLabel>(window, "label_Connected")->text(),
                 boardStays ? kConnectedMarkup : kDisconnectedMarkup);
        QCOMPARE(TextOf(window, "leConf"), QString(boardStays ? "by board" : "unknown"));

        board.ClearFaults();
        board.ClearReceived();
        Click(window, "pbSetDateTime");
        const QByteArrayList clockLines = board.ReceivedLines();
        QCOMPARE(clockLines.size(), boardStays ? 2 : 0);
        if (boardStays) {
            QVERIFY(clockLines[0].startsWith("ADV#TIME="));
            QVERIFY(clockLines[1].startsWith("ADV#DATE="));
        }
        QCOMPARE(QDir().entryList(QDir::Files), QStringList());
        QVERIFY(QDir::setCurrent(previousDir));
    }

    void openProgramme_data()
    {
        QTest::addColumn<RigStep>("before");
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QList<QByteArray>>("requests"); // besides the programme's setting lines
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<bool>(
            "showsFile"); // the pages show the file's photo count, not the board's

        const RigStep none = [](ProgrammeRig &) {};
        const QList<QByteArray> readBack{"ADV#POWER=?\r", "ADV#WAKE=?\r", "ADV#CPOWER=?\r",
                                         "ADV#CINPUT=?\r"};
        QTest::newRow("a board that takes the file holds it")
            << none << "KOTA"
            << "The board holds prog.ini." << readBack << true << true;
        QTest::newRow("a board that loses a line differs in its key")
            << RigStep([](ProgrammeRig &rig) {
                   rig.board.SetFault(CSimulatedBoard::Fault::Silent, "ADV#WAKE=2,");
               })
            << "KOTA"
            << "The board differs from prog.ini in 1 value: WAKE3/number." << readBack << true
            << false;
        QTest::newRow("a board silent on the read-back")
            << RigStep([](ProgrammeRig &rig) {
                   rig.board.SetFault(CSimulatedBoard::Fault::Silent, "ADV#POWER=?");
               })
            << "KOTA"
            << "Sent prog.ini, but the board did not answer the read-back."
            << QVector<QByteArray>(5, "ADV#POWER=?\r").toList() << true << true;
        QTest::newRow("a read-back that stops part-way leaves the file on the pages")
            << RigStep([](ProgrammeRig &rig) {
                   rig.board.SetFault(CSimulatedBoard::Fault::Silent, "ADV#WAKE=2,");
                   rig.board.SetFault(CSimulatedBoard::Fault::Silent, "ADV#CPOWER=?");
               })
            << "KOTA"
            << "Sent prog.ini, but the board did not answer the read-back."
            << QList<QByteArray>{"ADV#POWER=?\r", "ADV#WAKE=?\r"} +
                   QVector<QByteArray>(5, "ADV#CPOWER=?\r").toList()
            << true << true;
        QTest::newRow("a file mode writes the command file afresh")
            << RigStep([](ProgrammeRig &rig) { rig.ChooseBoard(BoardType::KotaFile); }) << "KOTA"
            << "prog.ini written to KOTA.txt." << QList<QByteArray>() << true << true;
        QTest::newRow("without a connection nothing is sent")
            << RigStep([](ProgrammeRig &rig) {
                   rig.board.HangUp();
                   rig.Click("pbConnect");
                   rig.ChooseBoard(BoardType::Kota);
               })
            << "KOTA"
            << "prog.ini loaded; no board is connected, nothing was sent." << QList<QByteArray>()
            << true << true;
        QTest::newRow("a file of another family changes nothing")
            << none << "Lumivor V1"
            << "prog.ini holds a Lumivor V1 programme, not one for KOTA." << QList<QByteArray>()
            << false << false;
    }

    // The file goes into the model and the pages, then to whatever the link reaches.
    void openProgramme()
    {
        QFETCH(RigStep, before);
        QFETCH(QString, family);
        QFETCH(QString, status);
        QFETCH(QList<QByteArray>, requests);
        QFETCH(bool, loaded);
        QFETCH(bool, showsFile);

        const InFolder folder;
        ProgrammeRig rig;
        BoardProgramme wanted = ProgrammeOf(rig.board);
        const int repeat = wanted.sessions[2].repeat + 30;
        wanted.sessions[2].repeat = repeat;
        QVERIFY(testprogramme::WriteFile(
            "prog.ini", CProgrammeFile::Format({family, QStringLiteral("any"), wanted})));
        before(rig);
        const QString conf = TextOf(*rig.window, "leConf");
        rig.board.ClearReceived();
        {
            const windowrig::DialogAnswerer answerer(QStringLiteral("prog.ini"));
            rig.Choose("actionOpenProgramme");
        }

        QCOMPARE(rig.Status(), status);
        QCOMPARE(TextOf(*rig.window, "repeat_3") == QString::number(repeat), showsFile);
        QCOMPARE(TextOf(*rig.window, "leConf"),
                 loaded ? QDir::current().absoluteFilePath("prog.ini") : conf);
        QByteArrayList queries;
        int settings = 0;
        for (const QByteArray &line : rig.board.ReceivedLines()) {
            if (line.endsWith("=?\r"))
                queries << line;
            else
                ++settings;
        }
        QCOMPARE(queries, requests);
        QCOMPARE(settings, requests.isEmpty() ? 0 : 1); // the differing line alone
        if (rig.window->findChild<QComboBox *>("cbBoard")->currentIndex() == BoardType::KotaFile) {
            const QByteArray written = testprogramme::ReadFile("KOTA.txt");
            rig.Click("pbfilegeneration");
            QCOMPARE(written, testprogramme::ReadFile("KOTA.txt"));
        }
    }

    void saveProgramme_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("edited");
        QTest::addColumn<QString>("status");

        QTest::newRow("the programme is saved")
            << "saved.ini" << QStringList() << "Saved the board's programme to saved.ini.";
        QTest::newRow("the suffix is added")
            << "saved" << QStringList() << "Saved the board's programme to saved.ini.";
        QTest::newRow("unsent edits are named")
            << "saved.ini" << QStringList{"repeat_1", "timepower1_3"}
            << "Saved the board's programme to saved.ini. Unsent edits on Photo Session 1 are "
               "not in it. Unsent edits on Photo Session 3 are not in it.";
        QTest::newRow("a folder that is not there")
            << "missing/saved.ini" << QStringList() << "Could not save saved.ini: ";
    }

    // The model's programme goes to the file, without a word to the board.
    void saveProgramme()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, edited);
        QFETCH(QString, status);

        const InFolder folder;
        ProgrammeRig rig;
        for (const QString &edit : edited)
            Find<QLineEdit>(*rig.window, edit)->setText(QStringLiteral("77"));
        {
            const windowrig::DialogAnswerer answerer(typed);
            rig.Choose("actionSaveProgramme");
        }

        QVERIFY2(rig.Status().startsWith(status), qPrintable(rig.Status()));
        QCOMPARE(rig.board.ReceivedLines(), QList<QByteArray>());
        CProgrammeFile::Contents saved;
        QString message;
        QCOMPARE(CProgrammeFile::Open("saved.ini", BoardProgramme(), &saved, &message),
                 !typed.startsWith("missing"));
        if (message.isEmpty())
            QVERIFY(CProgrammeFile::Compare(saved.family, ProgrammeOf(rig.board), saved.programme)
                        .isEmpty());
    }

    void backupBeforeEveryWrite_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<RigStep>("write");
        QTest::addColumn<bool>("blocked"); // a file stands where the backups folder belongs
        QTest::addColumn<bool>("sends");
        QTest::addColumn<bool>("kept");

        const auto click = [](const char *button) {
            return RigStep([button](ProgrammeRig &rig) { rig.Click(button); });
        };
        const RigStep setSettings = [](ProgrammeRig &rig) {
            Find<QLineEdit>(*rig.window, "repeat_1")->setText("77");
            rig.Click("pbSetSetting1");
        };
        const int kota = BoardType::Kota;
        QTest::newRow("SetSettings keeps what the board held")
            << kota << setSettings << false << true << true;
        QTest::newRow("Set_output keeps what the board held")
            << int(BoardType::LumivorV2) << RigStep([](ProgrammeRig &rig) {
                   rig.Choose("actionAdmin");
                   Find<QComboBox>(*rig.window, "cbOutput1")->setCurrentIndex(4);
                   rig.Click("pbSetOutput");
               })
            << false << true << true;
        QTest::newRow("SetConfiguration keeps what the board held")
            << kota << RigStep([](ProgrammeRig &rig) {
                   QVERIFY(testprogramme::WriteFile(windowrig::kIniFile, windowrig::kIniProgramme));
                   const windowrig::DialogAnswerer answerer;
                   rig.Click("pbSetConfiguration");
               })
            << false << true << true;
        QTest::newRow("Open Programme keeps what the board held")
            << kota << RigStep([](ProgrammeRig &rig) {
                   QVERIFY(WriteProgramme(rig.board, 1));
                   const windowrig::DialogAnswerer answerer("prog.ini");
                   rig.Choose("actionOpenProgramme");
               })
            << false << true << true;
        QTest::newRow("SetSettings without an edit sends nothing and keeps none")
            << kota << click("pbSetSetting1") << false << false << false;
        QTest::newRow("Set_DateTime keeps none")
            << kota << click("pbSetDateTime") << false << true << false;
        QTest::newRow("Set_Battery keeps none")
            << kota << click("pbSetBattery") << false << true << false;
        QTest::newRow("an unwritable backup folder: nothing sent, and the message")
            << kota << setSettings << true << false << false;
    }

    // A write of programme lines to a live board keeps what the board held before it.
    void backupBeforeEveryWrite()
    {
        QFETCH(int, type);
        QFETCH(RigStep, write);
        QFETCH(bool, blocked);
        QFETCH(bool, sends);
        QFETCH(bool, kept);

        const InFolder folder;
        const DataHome home;
        QVERIFY(!blocked || (QDir().mkpath(home.dir.filePath("lumivor")) &&
                             testprogramme::WriteFile(home.Backups(), "x")));
        ProgrammeRig rig(type);
        const BoardProgramme before = ProgrammeOf(rig.board);
        write(rig);

        QCOMPARE(!SettingLines(rig.board).isEmpty(), sends);
        if (blocked)
            QCOMPARE(rig.Status(), "Could not keep a backup of the board's programme in " +
                                       home.Backups() + ": Not a directory. Nothing was sent.");
        else
            QCOMPARE(home.Kept().size(), kept ? 1 : 0);
        if (!kept)
            return;
        CProgrammeFile::Contents backup;
        QString message;
        QVERIFY(CProgrammeFile::Open(QDir(home.Backups()).filePath(home.Kept()[0]),
                                     BoardProgramme(), &backup, &message));
        QCOMPARE(backup.family, BoardType::Family(type));
        QCOMPARE(backup.version, rig.window->Settings().GetVersion());
        QVERIFY(CProgrammeFile::Compare(backup.family, backup.programme, before).isEmpty());
    }

    void differencesBeforeAFileIsSent_data()
    {
        QTest::addColumn<int>("more"); // photos in the file beyond the board's
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<QString>("status");

        const QString shown = "WAKE3/number: board 4, file 34";
        QTest::newRow("Cancel changes nothing")
            << 30 << "pbCancel" << shown << QByteArrayList() << QString();
        QTest::newRow("Send sends exactly the differing lines")
            << 30 << "pbSend" << shown
            << QByteArrayList{"ADV#WAKE=2,1,\"18:00:00\",\"00:30:00\",34\r"}
            << "The board holds prog.ini.";
        QTest::newRow("a board that already holds the file: no dialog, no line")
            << 0 << "pbCancel" << QString() << QByteArrayList()
            << "The board already holds prog.ini.";
    }

    void differencesBeforeAFileIsSent()
    {
        QFETCH(int, more);
        QFETCH(QString, button);
        QFETCH(QString, shown);
        QFETCH(QByteArrayList, lines);
        QFETCH(QString, status);

        const InFolder folder;
        const DataHome home;
        ProgrammeRig rig;
        QVERIFY(WriteProgramme(rig.board, more));
        const QStringList pages = Snapshot(*rig.window);
        const BoardProgramme model = rig.window->Settings().GetProgramme();
        windowrig::DialogAnswerer answerer("prog.ini", button);
        rig.Choose("actionOpenProgramme");

        QCOMPARE(answerer.shown, shown);
        QCOMPARE(SettingLines(rig.board), lines);
        QCOMPARE(rig.Status(), status);
        QCOMPARE(home.Kept().size(), lines.size());
        if (!status.isEmpty())
            return;
        QCOMPARE(rig.board.ReceivedLines(), QByteArrayList()); // not even a query
        QCOMPARE(Snapshot(*rig.window), pages);
        QVERIFY(CProgrammeFile::Compare("KOTA", rig.window->Settings().GetProgramme(), model)
                    .isEmpty());
    }

    // The file dialog of "Open Backup…" starts in the data home's backups folder.
    void openBackupStartsInTheBackupsFolder()
    {
        const DataHome home;
        QVERIFY(QDir().mkpath(home.Backups()));
        MainWindow window;
        QString started;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&started] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (auto *dialog = qobject_cast<QFileDialog *>(widget)) {
                    started = dialog->directory().absolutePath();
                    dialog->reject();
                }
            }
        });
        timer.start(20);
        Find<QAction>(window, "actionOpenBackup")->trigger();
        QCOMPARE(started, home.Backups());
    }

    // lumivor FILE: the window connects as at start-up, then shows what the file changes.
    void fileArgumentOpensAfterTheConnection()
    {
        const InFolder folder;
        CSimulatedBoard board(BoardType::Kota);
        QVERIFY(board.Start());
        Discover(board);
        QVERIFY(WriteProgramme(board, 30));
        CCommandOptions options(CCommandOptions::Use::Window);
        QCOMPARE(options.Parse({"lumivor", "prog.ini"}), QString());
        QCOMPARE(CCommandOptions(CCommandOptions::Use::Window).Parse({"lumivor", "a.ini", "b.ini"}),
                 QString("Unexpected argument: b.ini"));
        QByteArrayList atDialog;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (widget->objectName() == "differencesDialog" && widget->isVisible()) {
                    atDialog = board.ReceivedLines();
                    widget->findChild<QPushButton *>("pbCancel")->click();
                }
            }
        });
        timer.start(20);
        const MainWindow window(options.Path());
        QTRY_VERIFY(!atDialog.isEmpty());
        const QByteArrayList kotaReadOut =
            kHandshake +
            QByteArrayList{"ADV#POWER=?\r", "ADV#WAKE=?\r", "ADV#CPOWER=?\r", "ADV#CINPUT=?\r"};
        QCOMPARE(atDialog, kotaReadOut);
        QCOMPARE(board.ReceivedLines(), atDialog);
    }

protected:
    // Notes the cursor and the board's lines when the main window is first shown.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QMainWindow *>(watched) &&
            m_shown.isEmpty()) {
            const QCursor *cursor = QApplication::overrideCursor();
            m_shown = QStringLiteral("shown under the %1 cursor before %2 lines")
                          .arg(cursor && cursor->shape() == Qt::WaitCursor ? "wait" : "normal")
                          .arg(m_board ? m_board->ReceivedLines().size() : -1);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const CSimulatedBoard *m_board = nullptr;
    QString m_shown;
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
