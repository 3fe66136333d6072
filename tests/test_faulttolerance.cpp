// The whole tool against misbehaving boards and bad files, through the real window: every
// exchange returns within a bound set by the link's waits, nothing leaves the model that was not
// meant to, and the window works normally afterwards.

#include "app/MainWindow.h"
#include "device/AdvCmd.h"
#include "device/BoardType.h"
#include "pages/Wake.h"
#include "sim/SimulatedBoard.h"
#include "tests/LinkBench.h"
#include "tests/TestProgramme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

using Fault = CSimulatedBoard::Fault;
using Programme = CSimulatedBoard::Programme;
using testprogramme::At;

// Worst cases of the link's waits, in milliseconds.
constexpr qint64 kAnsweredQueryMs = 100;    // the reply, then the 50 ms gap that ends it
constexpr qint64 kUnansweredQueryMs = 1000; // one attempt's wait for a first reply byte
constexpr qint64 kAnsweredLineMs = 200;     // quiet wait, answer, 100 ms gap (handshake too)
constexpr qint64 kUnansweredLineMs = 1100;  // quiet wait and the first-reply wait
constexpr qint64 kCollectCapMs = 2000;      // a device that never stops sending is cut off
constexpr qint64 kAttempts = 5;             // requests per query before it gives up
// Handshake, echo switch-off, then the version and the four queries a KOTA answers.
constexpr qint64 kKotaReadOutMs = 2 * kAnsweredLineMs + 5 * kAnsweredQueryMs;
constexpr qint64 kKotaProgrammeLines = 10;
constexpr qint64 kWakeGroupLines = 5; // four sessions and the KOTA's one input
// Reading a 30 MB INI file from the local disk; far more than it takes on a slow machine.
constexpr qint64 kHugeFileReadMs = 15000;
constexpr int kHugeFileBytes = 30 * 1024 * 1024;

// Generous, as the machine may be slow and shared, and still proof that the wait is bounded.
qint64 BoundMs(qint64 expectedMs)
{
    return 2 * expectedMs + 10000;
}

// Empty when the action took no longer than the bound for `expectedMs`.
QString Overrun(qint64 elapsedMs, qint64 expectedMs)
{
    if (elapsedMs <= BoundMs(expectedMs))
        return QString();
    return QStringLiteral("took %1 ms, bound %2 ms").arg(elapsedMs).arg(BoundMs(expectedMs));
}

template <typename Action> qint64 Timed(Action action)
{
    QElapsedTimer timer;
    timer.start();
    action();
    return timer.elapsed();
}

const QString kConnectedMarkup = QStringLiteral("<font color=\"#00FF00\">Connected</font>");
const QString kDisconnectedMarkup = QStringLiteral("<font color=\"#FF0000\">Disconnected</font>");

const QList<QByteArray> kHandshake{"ADV#\r", "ADV#ECHO=0\r", "ADV#VERSION\r"};
const QList<QByteArray> kKotaReadOut =
    kHandshake +
    QList<QByteArray>{"ADV#POWER=?\r", "ADV#WAKE=?\r", "ADV#CPOWER=?\r", "ADV#CINPUT=?\r"};

// What the KOTA boards hold when the window first reads them.
Programme FirstProgramme()
{
    Programme p;
    p.powerModes = {2, 0};
    p.sessions[0] = {kWakeByTime, At(7, 30, 0), At(0, 10, 0), 12};
    p.sessions[1] = {kWakeByInput, At(0, 0, 0), At(0, 0, 30), 5};
    p.sessions[2] = {kWakeByTime, At(18, 0, 0), At(0, 30, 0), 4};
    p.sessions[3] = {kWakeNone, At(0, 0, 0), At(0, 0, 0), 0};
    p.inputs[0] = {2, 1, 1}; // detection, enabled, session
    p.powerTimes = {{{120, 0}, {30, 0}, {90, 0}, {0, 0}}};
    return p;
}

// Another programme, unlike the first on every page.
Programme SecondProgramme()
{
    Programme p;
    p.powerModes = {1, 0};
    p.sessions[0] = {kWakeByTime, At(6, 15, 0), At(0, 20, 0), 3};
    p.sessions[1] = {kWakeByTime, At(5, 0, 0), At(0, 5, 0), 8};
    p.sessions[2] = {kWakeByInput, At(0, 0, 0), At(0, 1, 0), 9};
    p.sessions[3] = {kWakeByTime, At(21, 40, 0), At(1, 0, 0), 2};
    p.inputs[0] = {1, 1, 2};
    p.powerTimes = {{{45, 0}, {10, 0}, {15, 0}, {600, 0}}};
    return p;
}

QByteArray N(qint64 value)
{
    return QByteArray::number(value);
}

QByteArray Quoted(const QDateTime &time)
{
    return time.toString(QStringLiteral("\"hh:mm:ss\"")).toLatin1();
}

// The four session lines and the KOTA's one input line, as a save of the trigger group sends them.
QList<QByteArray> WakeGroupLines(const Programme &p)
{
    QList<QByteArray> lines;
    for (int j = 0; j < kSessionCount; ++j) {
        const WakeSession &s = p.sessions[size_t(j)];
        lines << "ADV#WAKE=" + N(j) + ',' + N(s.mode) + ',' + Quoted(s.start) + ',' +
                     Quoted(s.interval) + ',' + N(s.repeat) + '\r';
    }
    const InputTrigger &in = p.inputs[0];
    lines << "ADV#CINPUT=1," + N(in.session) + ',' + N(in.detection) + ',' + N(in.enabled) + '\r';
    return lines;
}

// A whole KOTA programme in the order of a command file: rail mode, rail times, sessions, input.
QList<QByteArray> KotaProgrammeLines(const Programme &p)
{
    QList<QByteArray> lines{"ADV#POWER=1," + N(p.powerModes[0]) + '\r'};
    for (int j = 0; j < kSessionCount; ++j)
        lines << "ADV#CPOWER=1," + N(j) + ',' + N(p.powerTimes[size_t(j)][0]) + '\r';
    return lines + WakeGroupLines(p);
}

using testprogramme::FileBytes;
using testprogramme::ReadFile;
using testprogramme::WriteFile;

QString PageName(const QString &prefix, int page)
{
    return prefix + QString::number(page);
}

// Answers the file dialog with a chosen file, and closes (and counts) any other dialog, so that
// a dialog the tool must not raise fails the test instead of hanging it.
class DialogWatch : public QObject
{
public:
    DialogWatch()
    {
        connect(&m_timer, &QTimer::timeout, this, &DialogWatch::Look);
        m_timer.start(20);
    }

    // The next file dialog gets this path typed into its name field and accepted.
    void Choose(const QString &path)
    {
        m_choice = path;
        m_choiceTaken = false;
    }

    int fileDialogsAnswered = 0;
    QStringList unexpected; // titles of the dialogs that should not have opened

private:
    void Look()
    {
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (!window->isVisible())
                continue;
            if (auto *dialog = qobject_cast<QFileDialog *>(window)) {
                auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (m_choiceTaken || m_choice.isEmpty() || !name || dialog == m_answered) {
                    unexpected << dialog->windowTitle();
                    dialog->reject();
                    continue;
                }
                m_answered = dialog;
                m_choiceTaken = true;
                ++fileDialogsAnswered;
                name->setText(m_choice);
                static_cast<QDialog *>(dialog)->accept();
            } else if (auto *box = qobject_cast<QMessageBox *>(window)) {
                unexpected << box->windowTitle() + QStringLiteral(": ") + box->text();
                if (QAbstractButton *no = box->button(QMessageBox::No))
                    no->click();
                else
                    box->done(QMessageBox::Cancel);
            } else if (auto *other = qobject_cast<QDialog *>(window)) {
                unexpected << other->windowTitle();
                other->reject();
            }
        }
    }

    QString m_choice;
    bool m_choiceTaken = false;
    QPointer<QFileDialog> m_answered;
    QTimer m_timer;
};

// Keeps a pseudo-terminal's number taken, by an idle descriptor of its own, until the test ends:
// once its board hangs up, no other process's new pseudo-terminal can turn up under that name
// while the window scans it. Opened before the window's port takes exclusive access.
class PortNameHold
{
public:
    explicit PortNameHold(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(),
                      O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
    }
    ~PortNameHold()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PortNameHold(const PortNameHold &) = delete;
    PortNameHold &operator=(const PortNameHold &) = delete;

    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Simulated boards and the window that scans them.
struct Rig
{
    // Declared first, so the window closes its port before the boards go.
    std::vector<std::unique_ptr<CSimulatedBoard>> boards;
    std::unique_ptr<MainWindow> window;

    // A started board with this programme; null when its pseudo-terminal cannot be opened.
    CSimulatedBoard *AddBoard(const Programme &programme, int type = BoardType::Kota,
                              Fault fault = Fault::None)
    {
        boards.push_back(std::make_unique<CSimulatedBoard>(type));
        CSimulatedBoard *board = boards.back().get();
        board->SetProgramme(programme);
        if (fault != Fault::None)
            board->SetFault(fault);
        return board->Start() ? board : nullptr;
    }

    // The window's scan finds these ports only, in this order.
    static void Scan(const QStringList &ports)
    {
        CAdvCmd::SetDefaultPortDiscovery([ports] { return ports; });
    }

    bool Open()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    template <typename T> T *Find(const QString &name) const
    {
        T *widget = window->findChild<T *>(name);
        if (!widget)
            qFatal("the window has no %s", qPrintable(name));
        return widget;
    }

    QString Text(const QString &name) const { return Find<QLineEdit>(name)->text(); }
    QString Label(const QString &name) const { return Find<QLabel>(name)->text(); }
    bool Checked(const QString &name) const { return Find<QRadioButton>(name)->isChecked(); }
    QTime Time(const QString &name) const { return Find<QTimeEdit>(name)->time(); }
    QString StatusMessage() const { return window->statusBar()->currentMessage(); }

    void Click(const QString &name) const
    {
        QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton);
    }
    qint64 TimedClick(const QString &name) const
    {
        return Timed([&] { Click(name); });
    }
    void Type(const QString &name, const QString &text) const
    {
        QLineEdit *edit = Find<QLineEdit>(name);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
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

    // Where the session pages differ from a KOTA programme; empty when they show it.
    QString PagesMismatch(const Programme &p) const
    {
        QStringList wrong;
        for (int j = 0; j < kSessionCount; ++j) {
            const int page = j + 1;
            const WakeSession &s = p.sessions[size_t(j)];
            QString trigger = QStringLiteral("noaction_");
            if (s.mode == kWakeByTime)
                trigger = QStringLiteral("trigtime_");
            else if (s.mode == kWakeByInput && p.inputs[0].enabled == 1 && p.inputs[0].session == j)
                trigger = QStringLiteral("trigin1_");
            if (!Checked(PageName(trigger, page)))
                wrong << PageName(trigger, page);
            if (Time(PageName(QStringLiteral("time_"), page)) != s.start.time())
                wrong << PageName(QStringLiteral("time_"), page);
            if (Time(PageName(QStringLiteral("interval_"), page)) != s.interval.time())
                wrong << PageName(QStringLiteral("interval_"), page);
            if (Text(PageName(QStringLiteral("repeat_"), page)) != QString::number(s.repeat))
                wrong << PageName(QStringLiteral("repeat_"), page);
            if (Text(PageName(QStringLiteral("timepower1_"), page)) !=
                QString::number(p.powerTimes[size_t(j)][0]))
                wrong << PageName(QStringLiteral("timepower1_"), page);
        }
        return wrong.join(QLatin1Char(' '));
    }

    // Where the session pages differ from the model's reset values.
    QString ResetMismatch() const
    {
        Programme reset;
        for (WakeSession &s : reset.sessions)
            s = {kWakeNone, At(0, 0, 0), At(0, 0, 0), 0};
        return PagesMismatch(reset);
    }

    // Positions in a snapshot of the version and the board type shown.
    static constexpr int kSnapshotVersion = 2;
    static constexpr int kSnapshotBoard = 4;

    // A snapshot as a read-out that failed part-way leaves it: the pages as they were, the
    // version and board type in use shown.
    static QStringList ShowingBoard(QStringList snapshot, const QString &version,
                                    const QString &board)
    {
        snapshot[kSnapshotVersion] = version;
        snapshot[kSnapshotBoard] = board;
        return snapshot;
    }

    // Everything the window shows of a connection and the session pages.
    QStringList Snapshot() const
    {
        QStringList shown{Label(QStringLiteral("label_Connected")),
                          Label(QStringLiteral("label_2")), Text(QStringLiteral("edit_version")),
                          Text(QStringLiteral("leConf")),
                          Find<QComboBox>(QStringLiteral("cbBoard"))->currentText()};
        for (int page = 1; page <= kSessionCount; ++page) {
            for (const char *button : {"noaction_", "trigtime_", "trigin1_", "trigin2_"})
                shown << QString::number(Checked(PageName(QLatin1String(button), page)));
            for (const char *edit : {"time_", "interval_"})
                shown << Time(PageName(QLatin1String(edit), page)).toString();
            for (const char *edit : {"repeat_", "timepower1_", "timepower2_"})
                shown << Text(PageName(QLatin1String(edit), page));
            for (const char *combo : {"detect1_", "detect2_"})
                shown << QString::number(
                    Find<QComboBox>(PageName(QLatin1String(combo), page))->currentIndex());
            for (int output = 1; output <= kMaxOutputs; ++output) {
                for (const char *edit : {"outnumber", "outdelay", "outduration", "outinterval"})
                    shown << Text(QLatin1String(edit) + QString::number(output) + QLatin1Char('_') +
                                  QString::number(page));
            }
        }
        return shown;
    }
};

// The version text the window shows for a board: its version field without the type digit.
QString ShownVersion(const CSimulatedBoard &board)
{
    return board.Version().mid(1);
}

} // namespace

class TestFaultTolerance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Command files and INI files go to the current directory: a fresh one.
        QVERIFY(m_dir.isValid());
        m_previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
        // The raw replies, 64 KiB lines among them, stay out of the test log.
        linkbench::QuietDebugOutput();
    }

    void cleanupTestCase() { QDir::setCurrent(m_previousDir); }

    void init()
    {
        // Whatever a failed case left in the way of the command file.
        QDir::current().rmdir(QStringLiteral("KOTA.txt"));
        QFile::remove(QStringLiteral("KOTA.txt"));
        m_watch = std::make_unique<DialogWatch>();
        CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
    }

    // No case may raise a dialog the tool does not own.
    void cleanup()
    {
        const QStringList unexpected = m_watch->unexpected;
        m_watch.reset();
        CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
        QCOMPARE(unexpected, QStringList());
    }

    // The board stops answering part-way through the read-out: the read-out stops, the pages
    // keep what they showed, and a new "Connect" reads the board again.
    void boardGoesSilentDuringReadOut()
    {
        Rig rig;
        CSimulatedBoard *board = rig.AddBoard(FirstProgramme());
        QVERIFY(board);
        Rig::Scan({board->PortName()});
        QVERIFY(rig.Open());
        QCOMPARE(rig.PagesMismatch(FirstProgramme()), QString());
        const QStringList before = rig.Snapshot();

        board->SetProgramme(SecondProgramme());
        board->SetVersion(QStringLiteral("3KOTA-9.99"));
        board->ClearReceived();
        // Handshake, echo, version and rail modes are served; from the sessions on, silence.
        board->SetFault(Fault::Silent, {}, 4);
        const qint64 elapsed = rig.TimedClick(QStringLiteral("pbConnect"));

        QCOMPARE(Overrun(elapsed, kKotaReadOutMs + kAttempts * kUnansweredQueryMs), QString());
        const QByteArrayList requests = kHandshake + QList<QByteArray>{"ADV#POWER=?\r"} +
                                        QVector<QByteArray>(kAttempts, "ADV#WAKE=?\r").toList();
        QCOMPARE(board->ReceivedLines(), requests);
        QCOMPARE(rig.Snapshot(), Rig::ShowingBoard(before, "KOTA-9.99", "KOTA"));

        ExpectHealthyReadOut(rig, board);
    }

    // The board goes silent after two lines of a save: the rest are sent all the same, each in
    // its bounded wait, and the model keeps the edit.
    void boardGoesSilentDuringSave()
    {
        Rig rig;
        CSimulatedBoard *board = rig.AddBoard(FirstProgramme());
        QVERIFY(board);
        Rig::Scan({board->PortName()});
        QVERIFY(rig.Open());

        rig.Type(QStringLiteral("repeat_1"), QStringLiteral("77"));
        board->ClearReceived();
        board->SetFault(Fault::Silent, {}, 2);
        const qint64 elapsed = rig.TimedClick(QStringLiteral("pbSetSetting1"));

        Programme edited = FirstProgramme();
        edited.sessions[0].repeat = 77;
        QCOMPARE(Overrun(elapsed, 2 * kAnsweredLineMs + 3 * kUnansweredLineMs), QString());
        QCOMPARE(board->ReceivedLines(), WakeGroupLines(edited));
        // Typed but not saved, then dropped: the page shows the model's, which is the edit.
        rig.Type(QStringLiteral("repeat_1"), QStringLiteral("5"));
        rig.Click(QStringLiteral("pbGetSetting1"));
        QCOMPARE(rig.Text(QStringLiteral("repeat_1")), QStringLiteral("77"));
        QCOMPARE(rig.Label(QStringLiteral("label_Connected")), kConnectedMarkup);

        ExpectHealthyReadOut(rig, board);
        ExpectSaveReachesBoard(rig, board);
    }

    // "File Generation" on a live board type sends the whole programme to the board; the board
    // goes silent part-way. Its button is hidden for live types, so it is clicked directly.
    void boardGoesSilentDuringFileGeneration()
    {
        Rig rig;
        CSimulatedBoard *board = rig.AddBoard(FirstProgramme());
        QVERIFY(board);
        Rig::Scan({board->PortName()});
        QVERIFY(rig.Open());
        QCOMPARE(rig.Find<QComboBox>(QStringLiteral("cbBoard"))->currentIndex(),
                 int(BoardType::Kota));
        const QStringList before = rig.Snapshot();
        auto *fileGeneration = rig.Find<QPushButton>(QStringLiteral("pbfilegeneration"));

        board->ClearReceived();
        board->SetFault(Fault::Silent, {}, 7);
        const qint64 elapsed = Timed([&] { fileGeneration->click(); });

        QCOMPARE(Overrun(elapsed, 7 * kAnsweredLineMs + 3 * kUnansweredLineMs), QString());
        QCOMPARE(board->ReceivedLines(), KotaProgrammeLines(FirstProgramme()));
        QCOMPARE(rig.Snapshot(), before);
        QCOMPARE(QDir::current().entryList(QDir::Files), QStringList());

        // The model is unchanged: the next run sends the same programme, now to a board that
        // answers every line.
        board->ClearFaults();
        board->ClearReceived();
        const qint64 again = Timed([&] { fileGeneration->click(); });
        QCOMPARE(Overrun(again, kKotaProgrammeLines * kAnsweredLineMs), QString());
        QCOMPARE(board->ReceivedLines(), KotaProgrammeLines(FirstProgramme()));
        ExpectHealthyReadOut(rig, board);
    }

    void boardHangsUp_data()
    {
        QTest::addColumn<bool>("duringSave");
        QTest::addColumn<bool>("secondBoard");

        QTest::newRow("hang-up in the middle of a read-out, no board left: Disconnected")
            << false << false;
        QTest::newRow("hang-up in the middle of a read-out, a second board: connects to it")
            << false << true;
        QTest::newRow("hang-up in the middle of a save, no board left: Disconnected")
            << true << false;
        QTest::newRow("hang-up in the middle of a save, a second board: connects to it")
            << true << true;
    }

    // The pseudo-terminal's far side closes in the middle of an exchange; "Connect" then scans
    // again and finds whatever is left.
    void boardHangsUp()
    {
        QFETCH(bool, duringSave);
        QFETCH(bool, secondBoard);

        Rig rig;
        CSimulatedBoard *board = rig.AddBoard(FirstProgramme());
        QVERIFY(board);
        const PortNameHold hold(board->PortName());
        QVERIFY(hold.IsHeld());
        CSimulatedBoard *other = nullptr;
        if (secondBoard) {
            other = rig.AddBoard(SecondProgramme());
            QVERIFY(other);
            Rig::Scan({board->PortName(), other->PortName()});
        } else {
            Rig::Scan({board->PortName()});
        }
        QVERIFY(rig.Open());
        QCOMPARE(rig.Label(QStringLiteral("label_2")), board->PortName());
        board->ClearReceived();

        if (duringSave) {
            rig.Type(QStringLiteral("repeat_1"), QStringLiteral("66"));
            board->SetFault(Fault::HangUp, "ADV#WAKE=2");
            const qint64 elapsed = rig.TimedClick(QStringLiteral("pbSetSetting1"));
            QCOMPARE(Overrun(elapsed, 2 * kAnsweredLineMs + 3 * kUnansweredLineMs), QString());
            Programme edited = FirstProgramme();
            edited.sessions[0].repeat = 66;
            QCOMPARE(board->ReceivedLines(), WakeGroupLines(edited).mid(0, 3));
            QCOMPARE(rig.StatusMessage(), "The board on " + board->PortName() +
                                              " was unplugged: 3 of 5 lines were sent.");
            QCOMPARE(rig.Label(QStringLiteral("label_Connected")), kDisconnectedMarkup);
            // The edit did not all go out: the page still holds it unsent.
            QVERIFY(rig.window->findChildren<CWake *>().first()->HasUnsentEdits());
            // The edit stays in the model.
            rig.Type(QStringLiteral("repeat_1"), QStringLiteral("1"));
            rig.Click(QStringLiteral("pbGetSetting1"));
            QCOMPARE(rig.Text(QStringLiteral("repeat_1")), QStringLiteral("66"));
        } else {
            const QStringList before = rig.Snapshot();
            board->SetProgramme(SecondProgramme());
            board->SetVersion(QStringLiteral("3KOTA-9.99"));
            board->SetFault(Fault::HangUp, "ADV#WAKE");
            const qint64 elapsed = rig.TimedClick(QStringLiteral("pbConnect"));
            QCOMPARE(Overrun(elapsed, kKotaReadOutMs + kAttempts * kUnansweredQueryMs), QString());
            const QByteArrayList untilHangUp =
                kHandshake + QList<QByteArray>{"ADV#POWER=?\r", "ADV#WAKE=?\r"};
            QCOMPARE(board->ReceivedLines(), untilHangUp);
            // The pages keep what they showed; the board's version and type are shown.
            QStringList shown = Rig::ShowingBoard(before, "KOTA-9.99", "KOTA");
            shown[0] = kDisconnectedMarkup;
            shown[1] = QString();
            QCOMPARE(rig.Snapshot(), shown);
            QCOMPARE(rig.StatusMessage(), "The board on " + board->PortName() + " was unplugged.");
        }
        // The board's own thread closes its side; that may finish a moment later.
        QVERIFY(linkbench::WaitUntil([&] { return !board->IsRunning(); }));

        // The gone board's port costs at most one unanswered handshake.
        const qint64 elapsed = rig.TimedClick(QStringLiteral("pbConnect"));
        QCOMPARE(Overrun(elapsed, kUnansweredLineMs + (other ? kKotaReadOutMs : 0)), QString());
        if (other) {
            QCOMPARE(rig.Label(QStringLiteral("label_Connected")), kConnectedMarkup);
            QCOMPARE(rig.Label(QStringLiteral("label_2")), other->PortName());
            QCOMPARE(rig.Text(QStringLiteral("leConf")), QStringLiteral("by board"));
            QCOMPARE(rig.PagesMismatch(SecondProgramme()), QString());
            ExpectSaveReachesBoard(rig, other);
        } else {
            QCOMPARE(rig.Label(QStringLiteral("label_Connected")), kDisconnectedMarkup);
            QCOMPARE(rig.Label(QStringLiteral("label_2")), QString());
            QCOMPARE(rig.Text(QStringLiteral("leConf")), QStringLiteral("unknown"));
            QCOMPARE(rig.Text(QStringLiteral("edit_version")), QStringLiteral("unknown"));
            QCOMPARE(rig.Find<QComboBox>(QStringLiteral("cbBoard"))->currentIndex(),
                     int(BoardType::Unknown));
            QCOMPARE(rig.ResetMismatch(), QString());
            // A board plugged in afterwards is found behind the gone one's port.
            CSimulatedBoard *fresh = rig.AddBoard(SecondProgramme());
            QVERIFY(fresh);
            Rig::Scan({board->PortName(), fresh->PortName()});
            ExpectHealthyReadOut(rig, fresh);
        }
    }

    // A device that never stops sending sits on the first port scanned: its port counts as not
    // answering, and the board on the next port is found.
    void babblingPortIsNotABoard()
    {
        Rig rig;
        CSimulatedBoard *babbler = rig.AddBoard(FirstProgramme(), BoardType::Kota, Fault::Babble);
        CSimulatedBoard *board = rig.AddBoard(SecondProgramme());
        QVERIFY(babbler && board);
        QVERIFY(rig.Open()); // nothing listed yet
        QCOMPARE(rig.Label(QStringLiteral("label_Connected")), kDisconnectedMarkup);
        QVERIFY(linkbench::WaitUntil([&] { return babbler->SentBytes() > 0; }));

        Rig::Scan({babbler->PortName(), board->PortName()});
        const qint64 elapsed = rig.TimedClick(QStringLiteral("pbConnect"));

        QCOMPARE(Overrun(elapsed, kCollectCapMs + kUnansweredLineMs + kKotaReadOutMs), QString());
        QCOMPARE(rig.Label(QStringLiteral("label_Connected")), kConnectedMarkup);
        QCOMPARE(rig.Label(QStringLiteral("label_2")), board->PortName());
        QCOMPARE(board->ReceivedLines(), kKotaReadOut);
        QCOMPARE(rig.PagesMismatch(SecondProgramme()), QString());
        ExpectSaveReachesBoard(rig, board);
    }

    void junkInReplies_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<bool>("found");
        QTest::addColumn<bool>("readOut");
        // What a read-out that stopped shows as the version and board type in use.
        QTest::addColumn<QString>("shownVersion");
        QTest::addColumn<QString>("shownBoard");

        const QString none;
        QTest::newRow("printable junk instead of the sessions: the read-out stops")
            << Fault::Garbage << QByteArray("ADV#WAKE") << true << false << "KOTA-9.99"
            << "KOTA";
        QTest::newRow("binary bytes with NULs instead of the sessions: the read-out stops")
            << Fault::Binary << QByteArray("ADV#WAKE") << true << false << "KOTA-9.99"
            << "KOTA";
        QTest::newRow("a 64 KiB line instead of the sessions: the read-out stops")
            << Fault::OverlongLine << QByteArray("ADV#WAKE") << true << false << "KOTA-9.99"
            << "KOTA";
        QTest::newRow("a 64 KiB line instead of the version: nothing is read, type unknown")
            << Fault::OverlongLine << QByteArray("ADV#VERSION") << true << false << "unknown"
            << "unknown";
        QTest::newRow("printable junk answering the handshake: no board there")
            << Fault::Garbage << QByteArray("ADV#\r") << false << false << none << none;
        QTest::newRow("binary bytes ending in OK answering the handshake: a board, read out")
            << Fault::Binary << QByteArray("ADV#\r") << true << true << none << none;
        QTest::newRow("a 64 KiB line and OK answering the handshake: a board, read out")
            << Fault::OverlongLine << QByteArray("ADV#\r") << true << true << none << none;
        QTest::newRow("binary bytes answering the echo switch-off are dropped: read out")
            << Fault::Binary << QByteArray("ADV#ECHO") << true << true << none << none;
    }

    // Junk, binary noise with NUL bytes, and overlong lines in the replies of a connection.
    void junkInReplies()
    {
        QFETCH(Fault, fault);
        QFETCH(QByteArray, command);
        QFETCH(bool, found);
        QFETCH(bool, readOut);
        QFETCH(QString, shownVersion);
        QFETCH(QString, shownBoard);

        Rig rig;
        CSimulatedBoard *board = rig.AddBoard(FirstProgramme());
        QVERIFY(board);
        Rig::Scan({board->PortName()});
        QVERIFY(rig.Open());
        const QStringList before = rig.Snapshot();

        board->SetProgramme(SecondProgramme());
        board->SetVersion(QStringLiteral("3KOTA-9.99"));
        board->SetFault(fault, command);
        const qint64 elapsed = rig.TimedClick(QStringLiteral("pbConnect"));

        // A junk reply comes at once and ends within the collection cap, attempt after attempt.
        QCOMPARE(Overrun(elapsed, kKotaReadOutMs + kAttempts * kCollectCapMs), QString());
        if (!found) {
            QCOMPARE(rig.Label(QStringLiteral("label_Connected")), kDisconnectedMarkup);
            QCOMPARE(rig.ResetMismatch(), QString());
        } else if (readOut) {
            QCOMPARE(rig.Label(QStringLiteral("label_Connected")), kConnectedMarkup);
            QCOMPARE(rig.Text(QStringLiteral("edit_version")), QStringLiteral("KOTA-9.99"));
            QCOMPARE(rig.PagesMismatch(SecondProgramme()), QString());
        } else {
            QCOMPARE(rig.Label(QStringLiteral("label_Connected")), kConnectedMarkup);
            QCOMPARE(rig.Snapshot(), Rig::ShowingBoard(before, shownVersion, shownBoard));
        }

        ExpectHealthyReadOut(rig, board);
    }

    // Answers that come 1.5 s late to two lines of a save: the one to a middle line is read and
    // dropped by a later line's exchange, the one to the last line lies in the buffer until the
    // next query drops it. Every exchange after them still pairs each request with its reply.
    void lateAnswersDuringSave()
    {
        Rig rig;
        CSimulatedBoard *board = rig.AddBoard(FirstProgramme());
        QVERIFY(board);
        Rig::Scan({board->PortName()});
        QVERIFY(rig.Open());
        board->SetClock(QDateTime(QDate(2014, 3, 3), QTime(9, 5, 7)), false);

        rig.Type(QStringLiteral("repeat_1"), QStringLiteral("21"));
        board->SetFault(Fault::Late, "ADV#WAKE=1");
        board->SetFault(Fault::Late, "ADV#CINPUT");
        board->ClearReceived();
        const qint64 elapsed = rig.TimedClick(QStringLiteral("pbSetSetting1"));

        Programme edited = FirstProgramme();
        edited.sessions[0].repeat = 21;
        QCOMPARE(Overrun(elapsed, 3 * kAnsweredLineMs + 2 * kUnansweredLineMs), QString());
        QCOMPARE(board->ReceivedLines(), WakeGroupLines(edited));
        board->ClearFaults();
        // Every answer of the save is out, the late one to the last line too: "OK" CR LF each.
        QVERIFY(linkbench::WaitUntil([&] { return board->SentBytes() >= 4 * kWakeGroupLines; }));
        QTest::qWait(100); // the window idles a moment, as between two clicks

        rig.ShowPage(QStringLiteral("tab"));
        rig.Find<QTimeEdit>(QStringLiteral("eTime"))->setTime(QTime(11, 22, 33));
        rig.Find<QDateEdit>(QStringLiteral("eDate"))->setDate(QDate(2001, 2, 3));
        const qint64 clock = rig.TimedClick(QStringLiteral("pbGetDateTime"));
        QCOMPARE(Overrun(clock, 2 * kAnsweredQueryMs), QString());
        QCOMPARE(rig.Find<QTimeEdit>(QStringLiteral("eTime"))->time(), QTime(9, 5, 7));
        QCOMPARE(rig.Find<QDateEdit>(QStringLiteral("eDate"))->date(), QDate(2014, 3, 3));

        // The board took every line, the late ones too.
        ExpectHealthyReadOut(rig, board);
        QCOMPARE(rig.PagesMismatch(edited), QString());
    }

    // The sessions' reply comes 1.5 s late: the first attempt gives up and the second reads the
    // late reply. The reply to the second attempt is dropped when a later query starts, so every
    // group still gets its own values.
    void lateAnswerDuringReadOut()
    {
        Rig rig;
        CSimulatedBoard *board = rig.AddBoard(FirstProgramme());
        QVERIFY(board);
        Rig::Scan({board->PortName()});
        QVERIFY(rig.Open());

        board->SetProgramme(SecondProgramme());
        board->SetFault(Fault::Late, "ADV#WAKE");
        board->ClearReceived();
        const qint64 elapsed = rig.TimedClick(QStringLiteral("pbConnect"));

        // Two late replies, and at most the other queries' attempts behind them.
        QCOMPARE(Overrun(elapsed, kKotaReadOutMs + 2 * kUnansweredQueryMs +
                                      2 * kAttempts * kUnansweredQueryMs),
                 QString());
        const QByteArrayList received = board->ReceivedLines();
        const QByteArrayList firstRequests =
            kHandshake + QList<QByteArray>{"ADV#POWER=?\r", "ADV#WAKE=?\r", "ADV#WAKE=?\r"};
        QCOMPARE(received.mid(0, firstRequests.size()), firstRequests);
        QCOMPARE(received.count("ADV#WAKE=?\r"), 2);
        QCOMPARE(received.last(), QByteArray("ADV#CINPUT=?\r"));
        QCOMPARE(rig.Label(QStringLiteral("label_Connected")), kConnectedMarkup);
        QCOMPARE(rig.Text(QStringLiteral("leConf")), QStringLiteral("by board"));
        QCOMPARE(rig.PagesMismatch(SecondProgramme()), QString());

        board->SetProgramme(FirstProgramme());
        ExpectHealthyReadOut(rig, board);
    }

    // A port held open by another program cannot be opened: it is skipped, the board on the
    // next port is found, and once the port is free its board is found again.
    void heldPortIsSkipped()
    {
        Rig rig;
        CSimulatedBoard *held = rig.AddBoard(FirstProgramme());
        CSimulatedBoard *board = rig.AddBoard(SecondProgramme());
        QVERIFY(held && board);
        QSerialPort holder(held->PortName());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        Rig::Scan({held->PortName(), board->PortName()});

        bool opened = false;
        const qint64 elapsed = Timed([&] { opened = rig.Open(); });
        QVERIFY(opened);

        QCOMPARE(Overrun(elapsed, kUnansweredLineMs + kKotaReadOutMs), QString());
        QCOMPARE(rig.Label(QStringLiteral("label_2")), board->PortName());
        QCOMPARE(rig.PagesMismatch(SecondProgramme()), QString());
        QCOMPARE(held->ReceivedLines(), QByteArrayList());

        holder.close();
        // The board that answered last would be tried first: list the released port alone.
        Rig::Scan({held->PortName()});
        ExpectHealthyReadOut(rig, held);
    }

    void commandFileCannotBeWritten_data()
    {
        QTest::addColumn<bool>("save");
        QTest::newRow("File Generation with a directory named KOTA.txt in the way") << false;
        QTest::newRow("a page save with a directory named KOTA.txt in the way") << true;
    }

    // In "KOTA file mode" the command file cannot be created: the lines are lost without a
    // word, and once the way is clear the next line is written.
    void commandFileCannotBeWritten()
    {
        QFETCH(bool, save);

        Rig rig;
        CSimulatedBoard *board = rig.AddBoard(FirstProgramme());
        QVERIFY(board);
        Rig::Scan({board->PortName()});
        QVERIFY(rig.Open());
        rig.ChooseBoard(BoardType::KotaFile);
        QVERIFY(QDir::current().mkdir(QStringLiteral("KOTA.txt")));
        board->ClearReceived();

        Programme edited = FirstProgramme();
        edited.sessions[0].repeat = 33;
        qint64 elapsed = 0;
        if (save) {
            rig.Type(QStringLiteral("repeat_1"), QStringLiteral("33"));
            elapsed = rig.TimedClick(QStringLiteral("pbSetSetting1"));
        } else {
            elapsed = rig.TimedClick(QStringLiteral("pbfilegeneration"));
        }

        QCOMPARE(Overrun(elapsed, 0), QString());
        QVERIFY(QFileInfo(QStringLiteral("KOTA.txt")).isDir());
        QCOMPARE(
            QDir(QStringLiteral("KOTA.txt")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            QStringList());
        QCOMPARE(board->ReceivedLines(), QByteArrayList());
        if (save) {
            rig.Type(QStringLiteral("repeat_1"), QStringLiteral("1"));
            rig.Click(QStringLiteral("pbGetSetting1"));
            QCOMPARE(rig.Text(QStringLiteral("repeat_1")), QStringLiteral("33"));
        }

        QVERIFY(QDir::current().rmdir(QStringLiteral("KOTA.txt")));
        if (save) {
            rig.Type(QStringLiteral("repeat_1"), QStringLiteral("34"));
            rig.Click(QStringLiteral("pbSetSetting1"));
            edited.sessions[0].repeat = 34;
            QCOMPARE(ReadFile(QStringLiteral("KOTA.txt")), FileBytes(WakeGroupLines(edited)));
        } else {
            rig.Click(QStringLiteral("pbfilegeneration"));
            QCOMPARE(ReadFile(QStringLiteral("KOTA.txt")),
                     FileBytes(KotaProgrammeLines(FirstProgramme())));
        }
        QCOMPARE(board->ReceivedLines(), QByteArrayList());
        QVERIFY(QFile::remove(QStringLiteral("KOTA.txt")));
    }

    void iniImport_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("imported");
        QTest::addColumn<QList<int>>("railTimes"); // rail 1, sessions 1 to 4, when imported
        QTest::addColumn<int>("railMode");

        QTest::newRow("an empty file is refused") << "empty.ini" << false << QList<int>() << 0;
        QTest::newRow("a binary file is refused") << "binary.ini" << false << QList<int>() << 0;
        QTest::newRow("30 MB of junk is refused") << "junk.ini" << false << QList<int>() << 0;
        QTest::newRow("30 MB of other keys with one programme key is imported and sent")
            << "huge.ini" << true << QList<int>{0, 77, 0, 0} << 0;
        QTest::newRow("numbers beyond 32 bits read as 0, extreme 32-bit ones are sent as they are")
            << "numbers.ini" << true << QList<int>{0, -2147483647 - 1, 0, 0} << 2147483647;
    }

    // INI files through "SetConfiguration": what is not a programme never reaches the model or
    // the board; a huge file takes a bounded time.
    void iniImport()
    {
        QFETCH(QString, file);
        QFETCH(bool, imported);
        QFETCH(QList<int>, railTimes);
        QFETCH(int, railMode);

        const QString path = QDir::current().absoluteFilePath(file);
        QVERIFY(WriteIni(path));
        Rig rig;
        CSimulatedBoard *board = rig.AddBoard(FirstProgramme());
        QVERIFY(board);
        Rig::Scan({board->PortName()});
        QVERIFY(rig.Open());
        rig.ShowPage(QStringLiteral("tab"));
        board->ClearReceived();
        m_watch->Choose(path);

        const qint64 elapsed = rig.TimedClick(QStringLiteral("pbSetConfiguration"));

        QCOMPARE(m_watch->fileDialogsAnswered, 1);
        QCOMPARE(Overrun(elapsed, kHugeFileReadMs + kKotaProgrammeLines * kAnsweredLineMs),
                 QString());
        rig.ShowPage(QStringLiteral("tab_2"));
        if (imported) {
            Programme expected = FirstProgramme();
            expected.powerModes[0] = railMode;
            for (int j = 0; j < kSessionCount; ++j)
                expected.powerTimes[size_t(j)][0] = railTimes[j];
            QCOMPARE(board->ReceivedLines(), KotaProgrammeLines(expected));
            QCOMPARE(rig.Text(QStringLiteral("leConf")), path);
            QCOMPARE(rig.PagesMismatch(expected), QString());
        } else {
            QCOMPARE(board->ReceivedLines(), QByteArrayList());
            QCOMPARE(rig.Text(QStringLiteral("leConf")), QStringLiteral("by board"));
            QVERIFY2(rig.StatusMessage().contains(path), qPrintable(rig.StatusMessage()));
            // The model is as the board filled it: reloading page 1 from it shows the board's.
            rig.Click(QStringLiteral("pbGetSetting1"));
            QCOMPARE(rig.PagesMismatch(FirstProgramme()), QString());
        }
        QVERIFY(QFile::remove(path));
        ExpectHealthyReadOut(rig, board);
    }

private:
    // The board is healthy again: "Connect" reads it whole, in bounded time, and the pages show
    // what it holds.
    static void ExpectHealthyReadOut(const Rig &rig, CSimulatedBoard *board)
    {
        board->ClearFaults();
        board->ClearReceived();
        const qint64 elapsed = rig.TimedClick(QStringLiteral("pbConnect"));
        QCOMPARE(Overrun(elapsed, kUnansweredLineMs + kKotaReadOutMs), QString());
        QCOMPARE(board->ReceivedLines(), kKotaReadOut);
        QCOMPARE(rig.Label(QStringLiteral("label_Connected")), kConnectedMarkup);
        QCOMPARE(rig.Label(QStringLiteral("label_2")), board->PortName());
        QCOMPARE(rig.Text(QStringLiteral("leConf")), QStringLiteral("by board"));
        QCOMPARE(rig.Text(QStringLiteral("edit_version")), ShownVersion(*board));
        QCOMPARE(rig.PagesMismatch(board->GetProgramme()), QString());
    }

    // An edit of page 1 saved now reaches the board, every line of it.
    static void ExpectSaveReachesBoard(const Rig &rig, CSimulatedBoard *board)
    {
        rig.ShowPage(QStringLiteral("tab_2"));
        Programme expected = board->GetProgramme();
        expected.sessions[0].repeat = 42;
        rig.Type(QStringLiteral("repeat_1"), QStringLiteral("42"));
        board->ClearReceived();
        const qint64 elapsed = rig.TimedClick(QStringLiteral("pbSetSetting1"));
        QCOMPARE(Overrun(elapsed, kWakeGroupLines * kAnsweredLineMs), QString());
        QCOMPARE(board->ReceivedLines(), WakeGroupLines(expected));
        QCOMPARE(board->GetProgramme().sessions[0].repeat, 42);
    }

    // The INI file of a row of iniImport, written afresh.
    static bool WriteIni(const QString &path)
    {
        const QString name = QFileInfo(path).fileName();
        std::mt19937 noise(0x1234u);
        if (name == QLatin1String("empty.ini"))
            return WriteFile(path, QByteArray());
        if (name == QLatin1String("binary.ini")) {
            QByteArray bytes;
            for (int i = 0; i < 64 * 1024; ++i)
                bytes += char(i % 7 == 0 ? 0 : int(noise() & 0xFF));
            return WriteFile(path, bytes);
        }
        if (name == QLatin1String("numbers.ini")) {
            return WriteFile(path, "[POWER]\n"
                                   "Power1=2147483647\n"
                                   "[ACTION_POWER_WAKE1]\n"
                                   "Power1=4294967338\n"
                                   "[ACTION_POWER_WAKE2]\n"
                                   "Power1=-2147483648\n"
                                   "[ACTION_POWER_WAKE3]\n"
                                   "Power1=99999999999999999999999999\n"
                                   "[ACTION_POWER_WAKE4]\n"
                                   "Power1=-2147483649\n");
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        const bool junk = name == QLatin1String("junk.ini");
        qint64 written = 0;
        for (int group = 0; written < kHugeFileBytes; ++group) {
            QByteArray chunk;
            if (junk) {
                // Random bytes, NULs, brackets and equals signs among them.
                chunk.resize(64 * 1024);
                for (char &c : chunk)
                    c = char(noise() & 0xFF);
            } else {
                chunk = "[CAMERA_" + N(group) + "]\n";
                for (int key = 0; key < 16; ++key)
                    chunk += "setting" + N(key) + '=' + N(qint64(noise() % 100000)) + '\n';
                if (group == 100000)
                    chunk += "[ACTION_POWER_WAKE2]\nPower1=77\n";
            }
            if (file.write(chunk) != chunk.size())
                return false;
            written += chunk.size();
        }
        return true;
    }

    QTemporaryDir m_dir;
    QString m_previousDir;
    std::unique_ptr<DialogWatch> m_watch;
};

QTEST_MAIN(TestFaultTolerance)
#include "test_faulttolerance.moc"
