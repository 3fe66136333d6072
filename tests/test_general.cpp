#include "app/MainWindow.h"
#include "device/AdvCmd.h"
#include "device/BoardType.h"
#include "pages/Curve.h"
#include "pages/General.h"
#include "sim/SimulatedBoard.h"
#include "tests/TestProgramme.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

// How often the dialog answerer looks for an open file dialog.
constexpr int kAnswerPollMs = 20;

const QStringList kCommandFiles{"KOTA.txt", "LumivorV1.txt", "LumivorV2.txt"};
const QStringList kStandardPages{"tab", "tab_2", "tab_3", "tab_4", "tab_5"};

using testprogramme::At;
using testprogramme::SetTiming;

// The programme every board of these tests holds: every value tells its place apart.
CSimulatedBoard::Programme Programme()
{
    CSimulatedBoard::Programme p;
    p.outputModes = {0, 3, 1, 2, 4, -1};
    p.powerModes = {2, 1};
    p.battery = {3200, 3500};
    p.sessions[0] = {kWakeByTime, At(7, 30, 0), At(0, 10, 0), 12};
    p.sessions[1] = {kWakeByInput, At(0, 0, 0), At(0, 0, 30), 5};
    p.sessions[2] = {kWakeByTime, At(18, 0, 0), At(0, 30, 0), 4};
    p.sessions[3] = {kWakeNone, At(0, 0, 0), At(0, 0, 0), 0};
    p.inputs[0] = {2, 1, 1}; // detection, enabled, session
    p.inputs[1] = {1, 0, 3};
    p.powerTimes = {{{120, 60}, {30, 15}, {90, 45}, {0, 5}}};
    SetTiming(&p, 0, 1, 12, 5, 2, 600);
    SetTiming(&p, 1, 2, 5, 1, 2, 30);
    SetTiming(&p, 2, 4, 4, 6, 7, 1800);
    SetTiming(&p, 3, 5, 1, 2, 3, 4);
    SetTiming(&p, 0, 6, 9, 8, 7, 6);
    return p;
}

// The lines of the programme above, as the tool must emit them.
const QList<QByteArray> kWakeLines{
    "ADV#WAKE=0,1,\"07:30:00\",\"00:10:00\",12\r", "ADV#WAKE=1,2,\"00:00:00\",\"00:00:30\",5\r",
    "ADV#WAKE=2,1,\"18:00:00\",\"00:30:00\",4\r", "ADV#WAKE=3,0,\"00:00:00\",\"00:00:00\",0\r"};
const QList<QByteArray> kRail1Lines{"ADV#CPOWER=1,0,120\r", "ADV#CPOWER=1,1,30\r",
                                    "ADV#CPOWER=1,2,90\r", "ADV#CPOWER=1,3,0\r"};
const QList<QByteArray> kRail2Lines{"ADV#CPOWER=2,0,60\r", "ADV#CPOWER=2,1,15\r",
                                    "ADV#CPOWER=2,2,45\r", "ADV#CPOWER=2,3,5\r"};

QByteArray NoTiming(int output, int session)
{
    return "ADV#COUTPUT=" + QByteArray::number(output) + ',' + QByteArray::number(session) +
           ",0,0,0,0\r";
}

// Output timings of outputs 1 to 4 (output 1 sessions 0 to 3 first).
QList<QByteArray> FourOutputTimings()
{
    return {"ADV#COUTPUT=1,0,12,5,2,600\r",
            NoTiming(1, 1),
            NoTiming(1, 2),
            NoTiming(1, 3),
            NoTiming(2, 0),
            "ADV#COUTPUT=2,1,5,1,2,30\r",
            NoTiming(2, 2),
            NoTiming(2, 3),
            NoTiming(3, 0),
            NoTiming(3, 1),
            NoTiming(3, 2),
            NoTiming(3, 3),
            NoTiming(4, 0),
            NoTiming(4, 1),
            "ADV#COUTPUT=4,2,4,6,7,1800\r",
            NoTiming(4, 3)};
}

QList<QByteArray> KotaProgrammeLines()
{
    return QList<QByteArray>{"ADV#POWER=1,2\r"} + kRail1Lines + kWakeLines +
           QList<QByteArray>{"ADV#CINPUT=1,1,2,1\r"};
}

QList<QByteArray> LumivorV2ProgrammeLines()
{
    return QList<QByteArray>{"ADV#POWER=1,2\r", "ADV#POWER=2,1\r"} + kRail1Lines + kRail2Lines +
           QList<QByteArray>{"ADV#OUTPUT=1,0\r", "ADV#OUTPUT=2,3\r", "ADV#OUTPUT=3,1\r",
                             "ADV#OUTPUT=4,2\r"} +
           FourOutputTimings() + kWakeLines +
           QList<QByteArray>{"ADV#CINPUT=1,1,2,1\r", "ADV#CINPUT=2,3,1,0\r"};
}

// Lumivor V1 file mode: six outputs, and no input lines at all.
QList<QByteArray> LumivorV1FileProgrammeLines()
{
    return QList<QByteArray>{"ADV#POWER=1,2\r", "ADV#POWER=2,1\r"} + kRail1Lines + kRail2Lines +
           QList<QByteArray>{"ADV#OUTPUT=1,0\r", "ADV#OUTPUT=2,3\r", "ADV#OUTPUT=3,1\r",
                             "ADV#OUTPUT=4,2\r", "ADV#OUTPUT=5,4\r", "ADV#OUTPUT=6,-1\r"} +
           FourOutputTimings() +
           QList<QByteArray>{NoTiming(5, 0),
                             NoTiming(5, 1),
                             NoTiming(5, 2),
                             "ADV#COUTPUT=5,3,1,2,3,4\r",
                             "ADV#COUTPUT=6,0,9,8,7,6\r",
                             NoTiming(6, 1),
                             NoTiming(6, 2),
                             NoTiming(6, 3)} +
           kWakeLines;
}

using testprogramme::FileBytes;
using testprogramme::ReadFile;
using testprogramme::WriteFile;

// The commands of a command file; a line that does not end in CR CR LF shows as "<bad line>".
QList<QByteArray> FileCommands(const QString &name)
{
    QList<QByteArray> commands;
    QList<QByteArray> lines = ReadFile(name).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (const QByteArray &line : lines)
        commands << (line.endsWith("\r\r") ? line.chopped(1) : QByteArray("<bad line>"));
    return commands;
}

QStringList CommandFilesPresent()
{
    QStringList present;
    for (const QString &name : kCommandFiles) {
        if (QFile::exists(name))
            present << name;
    }
    return present;
}

int CountStarting(const QList<QByteArray> &lines, const QByteArray &prefix)
{
    int count = 0;
    for (const QByteArray &line : lines)
        count += line.startsWith(prefix) ? 1 : 0;
    return count;
}

// A window as the tool starts it, against a simulated board or with no board at all.
struct Rig
{
    // Declared first, so the window closes its port before the board goes.
    std::unique_ptr<CSimulatedBoard> board;
    std::unique_ptr<MainWindow> window;

    // boardType < 0: no board to be found.
    bool Open(int boardType)
    {
        if (boardType >= 0) {
            board = std::make_unique<CSimulatedBoard>(boardType);
            board->SetProgramme(Programme());
            if (!board->Start())
                return false;
            const QString port = board->PortName();
            CAdvCmd::SetDefaultPortDiscovery([port] { return QStringList{port}; });
        } else {
            CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
        }
        window = std::make_unique<MainWindow>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return false;
        if (board)
            board->ClearReceived();
        return true;
    }

    template <typename T> T *Find(const QString &name) const
    {
        T *widget = window->findChild<T *>(name);
        if (!widget)
            qFatal("the window has no %s", qPrintable(name));
        return widget;
    }

    CGeneral *General() const { return window->findChild<CGeneral *>(); }
    QString Text(const QString &name) const { return Find<QLineEdit>(name)->text(); }
    bool Hidden(const QString &name) const { return Find<QWidget>(name)->isHidden(); }
    QStringList TabPages() const
    {
        auto *tabs = Find<QTabWidget>(QStringLiteral("tabWidget"));
        QStringList pages;
        for (int i = 0; i < tabs->count(); ++i)
            pages << tabs->widget(i)->objectName();
        return pages;
    }

    void Click(const QString &name) const
    {
        QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton);
    }
    void ChooseBoard(int index) const
    {
        Find<QComboBox>(QStringLiteral("cbBoard"))->setCurrentIndex(index);
    }
    // Brings a page of the main tab widget to the front, as a click on its tab does.
    void ShowPage(const QString &page) const
    {
        Find<QTabWidget>(QStringLiteral("tabWidget"))->setCurrentWidget(Find<QWidget>(page));
    }
    void Type(const QString &name, const QString &text) const
    {
        QLineEdit *edit = Find<QLineEdit>(name);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    // Chooses an entry of a menu of the menu bar.
    bool Choose(const QString &menuTitle, const QString &entry) const
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
    QString StatusMessage() const { return window->statusBar()->currentMessage(); }
    int ChartAt(int minute) const { return window->findChild<CCurve *>()->SessionAt(minute); }

    QList<QByteArray> Received() const
    {
        QList<QByteArray> lines;
        for (const CSimulatedBoard::ReceivedLine &line : board->Received())
            lines << line.bytes;
        return lines;
    }
};

// Answers every file dialog that opens: selects the given file and accepts, or cancels when
// there is no file, and notes what the dialog offered.
class FileDialogAnswerer : public QObject
{
public:
    explicit FileDialogAnswerer(const QString &file) : m_file(file)
    {
        connect(&m_timer, &QTimer::timeout, this, &FileDialogAnswerer::Answer);
        m_timer.start(kAnswerPollMs);
    }

    int opened = 0;
    int refused = 0; // answers the dialog did not take
    QString caption;
    QString directory;
    QStringList filters;

private:
    void Answer()
    {
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            // A dialog that refused the answer (its warning first) is cancelled, so that the
            // test fails instead of hanging.
            if (auto *box = qobject_cast<QMessageBox *>(window); box && box->isVisible()) {
                box->close();
                continue;
            }
            auto *dialog = qobject_cast<QFileDialog *>(window);
            if (!dialog || !dialog->isVisible())
                continue;
            if (dialog == m_answered) {
                ++refused;
                dialog->reject();
                continue;
            }
            m_answered = dialog;
            ++opened;
            caption = dialog->windowTitle();
            directory = dialog->directory().absolutePath();
            filters = dialog->nameFilters();
            if (m_file.isEmpty()) {
                dialog->reject();
            } else {
                // The file name field, as the user fills it; the dialog resolves the path.
                auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (!name) {
                    ++refused;
                    dialog->reject();
                    continue;
                }
                name->setText(m_file);
                static_cast<QDialog *>(dialog)->accept();
            }
        }
    }

    QString m_file;
    QPointer<QFileDialog> m_answered;
    QTimer m_timer;
};

// An output and power programme for the import; the sessions are not part of it.
const QByteArray kIniProgramme = "[POWER]\n"
                                 "Power1=2\n"
                                 "[ACTION_POWER_WAKE1]\n"
                                 "Power1=45\n"
                                 "[ACTION_POWER_WAKE3]\n"
                                 "Power1=15\n"
                                 "[OUTPUT]\n"
                                 "Output1=3\n"
                                 "[ACTION_OUT1_WAKE1]\n"
                                 "number=7\n"
                                 "timeout_start=8\n";

// What a KOTA receives after importing it: every other imported value is 0.
QList<QByteArray> KotaIniLines()
{
    return QList<QByteArray>{"ADV#POWER=1,2\r", "ADV#CPOWER=1,0,45\r", "ADV#CPOWER=1,1,0\r",
                             "ADV#CPOWER=1,2,15\r", "ADV#CPOWER=1,3,0\r"} +
           kWakeLines + QList<QByteArray>{"ADV#CINPUT=1,1,2,1\r"};
}

QString IniPath(const QString &name)
{
    return QDir::current().absoluteFilePath(name);
}

} // namespace

class TestGeneral : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Command files go to the current directory: a fresh one for this program.
        QVERIFY(m_dir.isValid());
        m_previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
        // The date edit takes its display format from the locale: the same on every machine.
        QLocale::setDefault(QLocale::c());
    }

    void cleanupTestCase() { QDir::setCurrent(m_previousDir); }

    void init()
    {
        for (const QString &name : kCommandFiles)
            QFile::remove(name);
    }

    void cleanup()
    {
        CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
    }

    void connectionStatus_data()
    {
        QTest::addColumn<bool>("withBoard");
        QTest::addColumn<QString>("status");
        QTest::newRow("a board answers: green Connected and its port")
            << true << "<font color=\"#00FF00\">Connected</font>";
        QTest::newRow("no board: red Disconnected and no port")
            << false << "<font color=\"#FF0000\">Disconnected</font>";
    }

    void connectionStatus()
    {
        QFETCH(bool, withBoard);
        QFETCH(QString, status);
        Rig rig;
        QVERIFY(rig.Open(withBoard ? int(BoardType::Kota) : -1));
        QCOMPARE(rig.Find<QLabel>("label_Connected")->text(), status);
        QCOMPARE(rig.Find<QLabel>("label_2")->text(),
                 withBoard ? rig.board->PortName() : QString());
        QVERIFY(rig.Hidden("pbfilegeneration"));
    }

    void boardChoice_data()
    {
        QTest::addColumn<QList<int>>("before");
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("fileGeneration");
        QTest::addColumn<int>("outputs");
        QTest::addColumn<int>("inputs");
        QTest::addColumn<int>("powers");
        QTest::addColumn<QString>("commandFile");

        QTest::newRow("choosing unknown: no outputs, inputs or rails")
            << QList<int>{} << int(BoardType::Unknown) << false << 0 << 0 << 0 << "";
        QTest::newRow("choosing Lumivor V1: six outputs, two inputs, two rails")
            << QList<int>{} << int(BoardType::LumivorV1) << false << 6 << 2 << 2 << "";
        QTest::newRow("choosing Lumivor V2 after KOTA: four outputs, two inputs, two rails")
            << QList<int>{int(BoardType::Kota)} << int(BoardType::LumivorV2) << false << 4 << 2 << 2
            << "";
        QTest::newRow("choosing KOTA: no output, one input, one rail")
            << QList<int>{} << int(BoardType::Kota) << false << 0 << 1 << 1 << "";
        QTest::newRow("choosing KOTA file mode shows File Generation and writes KOTA.txt")
            << QList<int>{} << int(BoardType::KotaFile) << true << 0 << 1 << 1 << "KOTA.txt";
        QTest::newRow("choosing Lumivor V1 file mode: six outputs and no input")
            << QList<int>{} << int(BoardType::LumivorV1File) << true << 6 << 0 << 2
            << "LumivorV1.txt";
        QTest::newRow("choosing Lumivor V2 file mode: four outputs, two inputs, two rails")
            << QList<int>{} << int(BoardType::LumivorV2File) << true << 4 << 2 << 2
            << "LumivorV2.txt";
        QTest::newRow("choosing unknown after a file mode hides File Generation again")
            << QList<int>{int(BoardType::KotaFile)} << int(BoardType::Unknown) << false << 0 << 0
            << 0 << "";
        QTest::newRow("choosing Lumivor V1 after its file mode sends to the port, not the file")
            << QList<int>{int(BoardType::LumivorV1File)} << int(BoardType::LumivorV1) << false << 6
            << 2 << 2 << "";
    }

    // A board type choice switches the buttons, drops the administrator tabs and the pages'
    // unsaved edits, and gives the model and the link the type's counts.
    void boardChoice()
    {
        QFETCH(QList<int>, before);
        QFETCH(int, choice);
        QFETCH(bool, fileGeneration);
        QFETCH(int, outputs);
        QFETCH(int, inputs);
        QFETCH(int, powers);
        QFETCH(QString, commandFile);

        Rig rig;
        QVERIFY(rig.Open(BoardType::LumivorV2));
        for (int index : before)
            rig.ChooseBoard(index);
        QVERIFY(rig.Choose("Mode", "SuperUser"));
        QCOMPARE(rig.TabPages().size(), 9);
        rig.ShowPage("tab_2");
        rig.Type("repeat_1", "77");
        rig.Type("timepower1_1", "999");
        QSignalSpy reloads(rig.General(), SIGNAL(sInitAff(bool)));

        rig.ChooseBoard(choice);

        QCOMPARE(rig.Hidden("pbfilegeneration"), !fileGeneration);
        QCOMPARE(rig.Hidden("pbGetDateTime"), fileGeneration);
        QCOMPARE(rig.TabPages(), kStandardPages);
        QCOMPARE(reloads.count(), 1);
        QCOMPARE(reloads.at(0).at(0).toBool(), true);
        // The pages reloaded from the model, in their standard view.
        QCOMPARE(rig.Text("repeat_1"), QStringLiteral("12"));
        QCOMPARE(rig.Text("timepower1_1"), QStringLiteral("120"));
        for (int page = 1; page <= 4; ++page) {
            QVERIFY(rig.Hidden(QStringLiteral("timepower1_%1").arg(page)));
            QVERIFY(rig.Hidden(QStringLiteral("tabWidget1_%1").arg(page)));
        }

        // The model's counts, as the administrator view lays out the page.
        QVERIFY(rig.Choose("Mode", "SuperUser"));
        auto *outputTabs = rig.Find<QTabWidget>("tabWidget1_1");
        QCOMPARE(outputTabs->isHidden() ? 0 : outputTabs->count(), outputs);
        QCOMPARE(!rig.Hidden("timepower2_1"), powers == 2);

        // The link's type and counts, as a save of page 1 emits the programme.
        rig.Type("repeat_1", "3");
        rig.Type("timepower1_1", "90");
        if (outputs > 0)
            rig.Type("outnumber1_1", "4");
        rig.Click("pbSetSetting1");
        const QList<QByteArray> lines =
            commandFile.isEmpty() ? rig.Received() : FileCommands(commandFile);
        QCOMPARE(CommandFilesPresent(),
                 commandFile.isEmpty() ? QStringList() : QStringList{commandFile});
        if (!commandFile.isEmpty())
            QCOMPARE(rig.Received(), QList<QByteArray>());
        QCOMPARE(CountStarting(lines, "ADV#WAKE="), 4);
        QCOMPARE(CountStarting(lines, "ADV#CINPUT="), inputs);
        QCOMPARE(CountStarting(lines, "ADV#CPOWER="), 4 * powers);
        QCOMPARE(CountStarting(lines, "ADV#COUTPUT="), 4 * outputs);
        QCOMPARE(lines.size(), 4 + inputs + 4 * powers + 4 * outputs);
        QVERIFY(lines.contains("ADV#WAKE=0,1,\"07:30:00\",\"00:10:00\",3\r"));
        if (powers > 0)
            QVERIFY(lines.contains("ADV#CPOWER=1,0,90\r"));
        if (outputs > 0)
            QVERIFY(lines.contains("ADV#COUTPUT=1,0,4,5,2,600\r"));
    }

    void fileGenerationWritesOneProgramme_data()
    {
        QTest::addColumn<int>("boardType");
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<QByteArray>>("commands");

        QTest::newRow("KOTA file mode: power, power times, sessions, one input")
            << int(BoardType::Kota) << int(BoardType::KotaFile) << "KOTA.txt"
            << KotaProgrammeLines();
        QTest::newRow("Lumivor V1 file mode: six outputs and no input line")
            << int(BoardType::LumivorV1) << int(BoardType::LumivorV1File) << "LumivorV1.txt"
            << LumivorV1FileProgrammeLines();
        QTest::newRow("Lumivor V2 file mode: every kind of line, four outputs")
            << int(BoardType::LumivorV2) << int(BoardType::LumivorV2File) << "LumivorV2.txt"
            << LumivorV2ProgrammeLines();
    }

    // Two runs leave one programme, written afresh over whatever the file held.
    void fileGenerationWritesOneProgramme()
    {
        QFETCH(int, boardType);
        QFETCH(int, fileMode);
        QFETCH(QString, file);
        QFETCH(QList<QByteArray>, commands);

        Rig rig;
        QVERIFY(rig.Open(boardType));
        QVERIFY(WriteFile(file, "ADV#OUTPUT=1,1\r\r\n"));
        rig.ChooseBoard(fileMode);
        rig.Click("pbfilegeneration");
        rig.Click("pbfilegeneration");

        QCOMPARE(ReadFile(file), FileBytes(commands));
        QCOMPARE(CommandFilesPresent(), QStringList{file});
        QCOMPARE(rig.Received(), QList<QByteArray>());
    }

    void fileGenerationWithoutBoard_data()
    {
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("existing");

        QTest::newRow("an earlier KOTA.txt is left as it was")
            << int(BoardType::KotaFile) << "KOTA.txt" << QByteArray("ADV#POWER=1,1\r\r\n");
        QTest::newRow("no LumivorV2.txt is created")
            << int(BoardType::LumivorV2File) << "LumivorV2.txt" << QByteArray();
    }

    // Without a board nothing could be written: the file stays and the status bar says why.
    void fileGenerationWithoutBoard()
    {
        QFETCH(int, fileMode);
        QFETCH(QString, file);
        QFETCH(QByteArray, existing);

        Rig rig;
        QVERIFY(rig.Open(-1));
        if (!existing.isEmpty())
            QVERIFY(WriteFile(file, existing));
        rig.ChooseBoard(fileMode);
        QVERIFY(!rig.StatusMessage().contains(file)); // the failed scan's message, if anything
        rig.Click("pbfilegeneration");

        if (existing.isEmpty())
            QVERIFY(!QFile::exists(file));
        else
            QCOMPARE(ReadFile(file), existing);
        QVERIFY2(rig.StatusMessage().contains(file), qPrintable(rig.StatusMessage()));
    }

    // Ticked, one reading of the computer's clock gives both the time and the date.
    void setDateTimeFromComputerClock()
    {
        Rig rig;
        QVERIFY(rig.Open(BoardType::Kota));
        rig.ShowPage("tab");
        QVERIFY(rig.Find<QCheckBox>("cDateTimeAutomatic")->isChecked());
        QDateTime before = QDateTime::currentDateTime();
        before = before.addMSecs(-before.time().msec()); // the wire carries whole seconds
        rig.Click("pbSetDateTime");
        const QDateTime after = QDateTime::currentDateTime();

        const QList<QByteArray> lines = rig.Received();
        QCOMPARE(lines.size(), 2);
        const QRegularExpression timeLine("^ADV#TIME=\"(\\d\\d:\\d\\d:\\d\\d)\"\r$");
        const QRegularExpression dateLine("^ADV#DATE=\"(\\d\\d/\\d\\d/\\d\\d\\d\\d)\"\r$");
        const auto time = timeLine.match(QString::fromLatin1(lines[0]));
        const auto date = dateLine.match(QString::fromLatin1(lines[1]));
        QVERIFY2(time.hasMatch(), lines[0].constData());
        QVERIFY2(date.hasMatch(), lines[1].constData());
        const QDateTime sent(QDate::fromString(date.captured(1), "dd/MM/yyyy"),
                             QTime::fromString(time.captured(1), "hh:mm:ss"));
        QVERIFY2(sent >= before && sent <= after,
                 qPrintable(QStringLiteral("sent %1, clock read between %2 and %3")
                                .arg(sent.toString(Qt::ISODate), before.toString(Qt::ISODate),
                                     after.toString(Qt::ISODate))));
        QCOMPARE(rig.Find<QTimeEdit>("eTime")->time().toString("hh:mm:ss"), time.captured(1));
        QCOMPARE(rig.Find<QDateEdit>("eDate")->date(), sent.date());
    }

    void setDateTimeFromEdits_data()
    {
        QTest::addColumn<int>("fileMode");
        QTest::newRow("unticked sends the edits' own time and date to the board") << -1;
        QTest::newRow("unticked in KOTA file mode writes them to KOTA.txt")
            << int(BoardType::KotaFile);
    }

    void setDateTimeFromEdits()
    {
        QFETCH(int, fileMode);
        Rig rig;
        QVERIFY(rig.Open(BoardType::Kota));
        if (fileMode >= 0)
            rig.ChooseBoard(fileMode);
        rig.ShowPage("tab");
        rig.Click("cDateTimeAutomatic");
        QVERIFY(!rig.Find<QCheckBox>("cDateTimeAutomatic")->isChecked());
        auto *timeEdit = rig.Find<QTimeEdit>("eTime");
        auto *dateEdit = rig.Find<QDateEdit>("eDate");
        // Tabbing into an edit selects its first section; a full section moves on to the next,
        // and so does a separator.
        rig.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        timeEdit->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(timeEdit, "090507");
        dateEdit->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(dateEdit, QDate(2014, 3, 3).toString(dateEdit->displayFormat()));
        QCOMPARE(timeEdit->time(), QTime(9, 5, 7));
        QCOMPARE(dateEdit->date(), QDate(2014, 3, 3));

        rig.Click("pbSetDateTime");

        const QList<QByteArray> expected{"ADV#TIME=\"09:05:07\"\r", "ADV#DATE=\"03/03/2014\"\r"};
        if (fileMode >= 0) {
            QCOMPARE(ReadFile("KOTA.txt"), FileBytes(expected));
            QCOMPARE(rig.Received(), QList<QByteArray>());
        } else {
            QCOMPARE(rig.Received(), expected);
            QCOMPARE(CommandFilesPresent(), QStringList());
        }
        QCOMPARE(timeEdit->time(), QTime(9, 5, 7));
        QCOMPARE(dateEdit->date(), QDate(2014, 3, 3));
    }

    void getDateTime_data()
    {
        QTest::addColumn<QByteArray>("silent");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QDate>("date");

        QTest::newRow("both answered fill both edits")
            << QByteArray() << QTime(9, 5, 7) << QDate(2014, 3, 3);
        QTest::newRow("the date not answered: the time is updated, the date kept")
            << QByteArray("ADV#DATE") << QTime(9, 5, 7) << QDate(2001, 2, 3);
        QTest::newRow("the time not answered: the date is updated, the time kept")
            << QByteArray("ADV#TIME") << QTime(11, 22, 33) << QDate(2014, 3, 3);
    }

    void getDateTime()
    {
        QFETCH(QByteArray, silent);
        QFETCH(QTime, time);
        QFETCH(QDate, date);

        Rig rig;
        QVERIFY(rig.Open(BoardType::Kota));
        rig.board->SetClock(QDateTime(QDate(2014, 3, 3), QTime(9, 5, 7)), false);
        if (!silent.isEmpty())
            rig.board->SetFault(CSimulatedBoard::Fault::Silent, silent);
        rig.ShowPage("tab");
        rig.Find<QTimeEdit>("eTime")->setTime(QTime(11, 22, 33));
        rig.Find<QDateEdit>("eDate")->setDate(QDate(2001, 2, 3));

        rig.Click("pbGetDateTime");

        QCOMPARE(rig.Received(), QList<QByteArray>({"ADV#TIME=?\r", "ADV#DATE=?\r"}));
        QCOMPARE(rig.Find<QTimeEdit>("eTime")->time(), time);
        QCOMPARE(rig.Find<QDateEdit>("eDate")->date(), date);
    }

    // The import fills the model, sends it, names the file and reloads the pages in their
    // current layout.
    void setConfigurationImportsIni()
    {
        Rig rig;
        QVERIFY(rig.Open(BoardType::Kota));
        const QString path = IniPath("programme.ini");
        QVERIFY(WriteFile(path, kIniProgramme));
        QVERIFY(rig.Choose("Mode", "SuperUser"));
        QCOMPARE(rig.ChartAt(451), 1); // two minutes of power after the 07:30 photo
        QCOMPARE(rig.ChartAt(1081), 3);
        rig.ShowPage("tab");
        QSignalSpy reloads(rig.General(), SIGNAL(sInitAff(bool)));
        FileDialogAnswerer answerer(path);

        rig.Click("pbSetConfiguration");

        QCOMPARE(answerer.opened, 1);
        QCOMPARE(answerer.refused, 0);
        QCOMPARE(answerer.caption, QStringLiteral("Open File"));
        QCOMPARE(answerer.directory, QCoreApplication::applicationDirPath());
        QCOMPARE(answerer.filters, QStringList{"Ini (*.ini)"});
        QCOMPARE(rig.Received(), KotaIniLines());
        QCOMPARE(rig.Text("leConf"), path);
        QCOMPARE(reloads.count(), 1);
        QCOMPARE(reloads.at(0).at(0).toBool(), false);
        // The pages show the imported values and keep the administrator view.
        QVERIFY(!rig.Hidden("timepower1_1"));
        QCOMPARE(rig.Text("timepower1_1"), QStringLiteral("45"));
        QCOMPARE(rig.Text("timepower1_2"), QStringLiteral("0"));
        QCOMPARE(rig.Text("timepower1_3"), QStringLiteral("15"));
        QCOMPARE(rig.Text("outnumber1_1"), QStringLiteral("7"));
        QCOMPARE(rig.Text("outdelay1_1"), QStringLiteral("8"));
        QCOMPARE(rig.Text("repeat_1"), QStringLiteral("12"));
        // Less than a minute of power now: only the photos' own minutes are marked.
        QCOMPARE(rig.ChartAt(450), 1);
        QCOMPARE(rig.ChartAt(451), 0);
        QCOMPARE(rig.ChartAt(1080), 3);
        QCOMPARE(rig.ChartAt(1081), 0);
    }

    void setConfigurationChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: the dialog is cancelled
        QTest::addColumn<QString>("file");

        QByteArray binary;
        for (int i = 0; i < 256; ++i)
            binary += char((i * 37 + 11) & 0xFF);

        QTest::newRow("a cancelled dialog") << QByteArray() << "";
        QTest::newRow("an INI file with an unclosed group header")
            << QByteArray("[POWER]\nPower1=2\n[ACTION_POWER_WAKE1]\nPower1=45\n"
                          "[ACTION_OUT1_WAKE1\nnumber=7\n")
            << "broken.ini";
        QTest::newRow("an INI file without any programme key")
            << QByteArray("[General]\nname=holiday photos\n[Camera]\nOutput1=3\n") << "other.ini";
        QTest::newRow("binary junk") << binary << "junk.ini";
    }

    // A cancelled or unreadable import sends nothing and keeps the model, the pages and the
    // configuration name; only an unreadable file is named in the status bar.
    void setConfigurationChangesNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, file);

        Rig rig;
        QVERIFY(rig.Open(BoardType::Kota));
        const QString path = file.isEmpty() ? QString() : IniPath(file);
        if (!path.isEmpty())
            QVERIFY(WriteFile(path, content));
        rig.ShowPage("tab");
        QSignalSpy reloads(rig.General(), SIGNAL(sInitAff(bool)));
        FileDialogAnswerer answerer(path);

        rig.Click("pbSetConfiguration");

        QCOMPARE(answerer.opened, 1);
        QCOMPARE(answerer.refused, 0);
        QCOMPARE(rig.Received(), QList<QByteArray>());
        QCOMPARE(rig.Text("leConf"), QStringLiteral("by board"));
        QCOMPARE(reloads.count(), 0);
        if (path.isEmpty())
            QCOMPARE(rig.StatusMessage(), QString());
        else
            QVERIFY2(rig.StatusMessage().contains(path), qPrintable(rig.StatusMessage()));
        QCOMPARE(rig.Text("timepower1_1"), QStringLiteral("120"));
        // The model is unchanged: reloading the page from it shows the board's values.
        rig.ShowPage("tab_2");
        rig.Click("pbGetSetting1");
        QCOMPARE(rig.Text("timepower1_1"), QStringLiteral("120"));
        QCOMPARE(rig.Text("timepower1_3"), QStringLiteral("90"));
        QCOMPARE(rig.Text("outnumber1_1"), QStringLiteral("0"));
        QCOMPARE(rig.Text("repeat_1"), QStringLiteral("12"));
        QCOMPARE(rig.ChartAt(451), 1);
    }

    // In file mode the import goes after what the command file already holds.
    void setConfigurationAppendsInFileMode()
    {
        Rig rig;
        QVERIFY(rig.Open(BoardType::Kota));
        const QString path = IniPath("programme.ini");
        QVERIFY(WriteFile(path, kIniProgramme));
        rig.ChooseBoard(BoardType::KotaFile);
        const QByteArray existing = "ADV#POWER=1,1\r\r\nADV#TIME=\"10:00:00\"\r\r\n";
        QVERIFY(WriteFile("KOTA.txt", existing));
        rig.ShowPage("tab");
        FileDialogAnswerer answerer(path);

        rig.Click("pbSetConfiguration");

        QCOMPARE(answerer.opened, 1);
        QCOMPARE(answerer.refused, 0);
        QCOMPARE(ReadFile("KOTA.txt"), existing + FileBytes(KotaIniLines()));
        QCOMPARE(rig.Received(), QList<QByteArray>());
        QCOMPARE(rig.Text("leConf"), path);
    }

    void refreshRunsBoardChangeOnlyOnTypeChange_data()
    {
        QTest::addColumn<bool>("connect"); // else Refresh() is called directly
        QTest::addColumn<int>("boardTypeNow");
        QTest::addColumn<int>("userChoice");
        QTest::addColumn<int>("boardChanges");
        QTest::addColumn<int>("shownType");

        QTest::newRow("Connect finding the same board type runs no board change")
            << true << -1 << -1 << 0 << int(BoardType::LumivorV2);
        QTest::newRow("Connect finding another board type runs one board change")
            << true << int(BoardType::Kota) << -1 << 1 << int(BoardType::Kota);
        QTest::newRow("Refresh with the type already shown runs no board change")
            << false << -1 << -1 << 0 << int(BoardType::LumivorV2);
        QTest::newRow("Refresh after choosing a file mode keeps it without a board change")
            << false << -1 << int(BoardType::LumivorV2File) << 0 << int(BoardType::LumivorV2File);
    }

    void refreshRunsBoardChangeOnlyOnTypeChange()
    {
        QFETCH(bool, connect);
        QFETCH(int, boardTypeNow);
        QFETCH(int, userChoice);
        QFETCH(int, boardChanges);
        QFETCH(int, shownType);

        Rig rig;
        QVERIFY(rig.Open(BoardType::LumivorV2));
        if (userChoice >= 0)
            rig.ChooseBoard(userChoice);
        if (boardTypeNow >= 0)
            rig.board->SetType(boardTypeNow);
        QSignalSpy reloads(rig.General(), SIGNAL(sInitAff(bool)));

        if (connect)
            rig.Click("pbConnect");
        else
            rig.General()->Refresh();

        QCOMPARE(reloads.count(), boardChanges);
        if (boardChanges > 0)
            QCOMPARE(reloads.at(0).at(0).toBool(), true);
        QCOMPARE(rig.Find<QComboBox>("cbBoard")->currentIndex(), shownType);
    }

    // However often "Connect" is clicked, each button still runs its action once.
    void widgetsAreWiredOnce()
    {
        Rig rig;
        QVERIFY(rig.Open(BoardType::Kota));
        rig.Click("pbConnect");
        rig.Click("pbConnect");
        QCOMPARE(rig.Find<QLabel>("label_Connected")->text(),
                 QStringLiteral("<font color=\"#00FF00\">Connected</font>"));
        rig.board->ClearReceived();
        rig.ShowPage("tab");

        FileDialogAnswerer answerer{QString()};
        rig.Click("pbSetConfiguration");
        QCOMPARE(answerer.opened, 1);
        QCOMPARE(answerer.refused, 0);

        rig.Click("pbGetDateTime");
        QCOMPARE(rig.Received(), QList<QByteArray>({"ADV#TIME=?\r", "ADV#DATE=?\r"}));
        rig.board->ClearReceived();
        rig.Click("pbSetDateTime");
        QCOMPARE(rig.Received().size(), 2);

        QSignalSpy reloads(rig.General(), SIGNAL(sInitAff(bool)));
        rig.ChooseBoard(BoardType::KotaFile);
        QCOMPARE(reloads.count(), 1);
    }

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
};

QTEST_MAIN(TestGeneral)
#include "test_general.moc"
