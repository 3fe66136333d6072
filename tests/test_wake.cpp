#include "app/ActionGate.h"
#include "device/AdvCmd.h"
#include "device/BackupStore.h"
#include "device/BoardSettings.h"
#include "device/BoardType.h"
#include "forms/MainWindowForm.h"
#include "pages/Curve.h"
#include "pages/Wake.h"
#include "sim/SimulatedBoard.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

// Bound on waiting for lines the board should already hold; met at once when they are there.
constexpr int kLineWaitMs = 20000;
// How often the question answerer looks for an open question.
constexpr int kAnswerPollMs = 20;

const char *const kTriggerPrefixes[] = {"noaction_", "trigtime_", "trigin1_", "trigin2_"};

QDateTime At(const char *hhmmss)
{
    return QDateTime::fromString(QString::fromLatin1(hhmmss), QStringLiteral("hh:mm:ss"));
}

// Object name of a session page's control: prefix and page number (session index + 1).
QString Name(const QString &prefix, int session)
{
    return prefix + QString::number(session + 1);
}

QString OutputName(const QString &prefix, int output, int session)
{
    return prefix + QString::number(output) + QLatin1Char('_') + QString::number(session + 1);
}

QByteArray Line(const char *command, const QList<QByteArray> &fields)
{
    return QByteArray("ADV#") + command + '=' + fields.join(',') + '\r';
}

QByteArray N(int value)
{
    return QByteArray::number(value);
}

QByteArray WakeLine(int session, int mode, const char *start, const char *interval, int repeat)
{
    return Line("WAKE", {N(session), N(mode), QByteArray("\"") + start + '"',
                         QByteArray("\"") + interval + '"', N(repeat)});
}

QByteArray CInputLine(int input, int session, int detection, int enabled)
{
    return Line("CINPUT", {N(input), N(session), N(detection), N(enabled)});
}

QByteArray CPowerLine(int rail, int session, int seconds)
{
    return Line("CPOWER", {N(rail), N(session), N(seconds)});
}

// The programme every test starts from: session 1 by time at 08:00 (two photos, half an hour
// apart), session 3 woken by input 1 (grounded), sessions 2 and 4 without trigger.
const WakeSession kBaseSessions[kSessionCount] = {
    {kWakeByTime, At("08:00:00"), At("00:30:00"), 2},
    {kWakeNone, At("00:00:00"), At("00:00:00"), 0},
    {kWakeByInput, At("12:00:00"), At("00:01:00"), 4},
    {kWakeNone, At("00:00:00"), At("00:00:00"), 0},
};
const InputTriggers kBaseInputs = {InputTrigger{1, 1, 2}, InputTrigger{0, 0, 0}};
const PowerTimes kBasePower[kSessionCount] = {{60, 30}, {10, 20}, {0, 0}, {5, 5}};

SessionOutputTimings BaseTimings(int session)
{
    SessionOutputTimings t;
    for (size_t k = 0; k < size_t(kMaxOutputs); ++k) {
        t.number[k] = 10 * session + int(k) + 1;
        t.delay[k] = 100 + session;
        t.duration[k] = 200 + int(k);
        t.interval[k] = 4;
    }
    return t;
}

// Stores the base programme; with the link down the setters send nothing.
void LoadBase(CBoardSettings *settings)
{
    for (int s = 0; s < kSessionCount; ++s) {
        settings->SetSession(s, kBaseSessions[s]);
        settings->SetPowerTimes(s, kBasePower[s][0], kBasePower[s][1]);
        settings->SetOutputTimings(s, BaseTimings(s));
    }
    settings->SetInputTriggers(kBaseInputs);
}

QList<QByteArray> BaseWakeLines()
{
    return {WakeLine(0, 1, "08:00:00", "00:30:00", 2), WakeLine(1, 0, "00:00:00", "00:00:00", 0),
            WakeLine(2, 2, "12:00:00", "00:01:00", 4), WakeLine(3, 0, "00:00:00", "00:00:00", 0)};
}

QList<QByteArray> BaseInputLines()
{
    return {CInputLine(1, 2, 1, 1), CInputLine(2, 0, 0, 0)};
}

// COUTPUT lines of the given outputs, every session, with one session's timings replaced.
QList<QByteArray> OutputLines(int outputs, int session, const SessionOutputTimings &changed)
{
    QList<QByteArray> lines;
    for (int n = 1; n <= outputs; ++n) {
        for (int j = 0; j < kSessionCount; ++j) {
            const SessionOutputTimings t = j == session ? changed : BaseTimings(j);
            const size_t k = size_t(n - 1);
            lines << Line("COUTPUT", {N(n), N(j), N(t.number[k]), N(t.delay[k]), N(t.duration[k]),
                                      N(t.interval[k])});
        }
    }
    return lines;
}

// A main window as the tool builds it, with the chart and the four session pages, but without
// the main window's own start-up.
struct Window
{
    using Tamper = std::function<void(QMainWindow *, MainWindowForm *)>;

    // The settings outlive the window, whose destruction takes the pages with it.
    CBoardSettings settings;
    CBackupStore backups;
    QMainWindow window;
    MainWindowForm form;
    CCurve *chart = nullptr;
    std::array<CWake *, kSessionCount> pages{};

    // `tamper` changes the widget tree after the build and before the pages look it up.
    explicit Window(const Tamper &tamper = {})
    {
        form.Build(&window);
        chart = new CCurve(&settings, form.centralWidget);
        if (tamper)
            tamper(&window, &form);
        auto *gate = new CActionGate(&window, &settings.Link());
        for (int s = 0; s < kSessionCount; ++s) {
            pages[size_t(s)] = new CWake(s, &form, &settings, chart, gate, &backups, &window);
            pages[size_t(s)]->Init();
        }
        window.show();
    }

    template <typename T> T *Find(const QString &name) const
    {
        T *widget = window.findChild<T *>(name);
        if (!widget)
            qFatal("the window has no %s", qPrintable(name));
        return widget;
    }

    QRadioButton *Radio(const char *prefix, int session) const
    {
        return Find<QRadioButton>(Name(QString::fromLatin1(prefix), session));
    }
    QLineEdit *Edit(const char *prefix, int session) const
    {
        return Find<QLineEdit>(Name(QString::fromLatin1(prefix), session));
    }
    QLineEdit *OutputEdit(const char *prefix, int output, int session) const
    {
        return Find<QLineEdit>(OutputName(QString::fromLatin1(prefix), output, session));
    }
    QTimeEdit *TimeEdit(const char *prefix, int session) const
    {
        return Find<QTimeEdit>(Name(QString::fromLatin1(prefix), session));
    }
    QComboBox *Combo(const char *prefix, int session) const
    {
        return Find<QComboBox>(Name(QString::fromLatin1(prefix), session));
    }
    QPushButton *Button(const char *prefix, int session) const
    {
        return Find<QPushButton>(Name(QString::fromLatin1(prefix), session));
    }
    QTabWidget *Outputs(int session) const
    {
        return Find<QTabWidget>(Name(QStringLiteral("tabWidget1_"), session));
    }

    // Brings a session's page to the front, as a click on its tab does.
    void Open(int session) { form.tabWidget->setCurrentIndex(session + 1); }

    // The model into every page, as a refresh after a connection does.
    void FillPages()
    {
        for (CWake *page : pages) {
            page->GetWake();
            page->GetCPower();
            page->GetCOutput();
        }
    }

    bool Connect(CSimulatedBoard *board, int type)
    {
        if (!board->Start())
            return false;
        const QString port = board->PortName();
        CAdvCmd::SetDefaultPortDiscovery([port] { return QStringList{port}; });
        if (!settings.ConnectBoard())
            return false;
        settings.SetBoardType(type);
        // What the window's read-out knows: the writes keep their backups without a query.
        settings.ReadHeld();
        board->ClearReceived();
        return true;
    }
};

void Click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

// Radio buttons take clicks on their indicator and text only, at their left.
void ClickRadio(QRadioButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier,
                      QPoint(button->height() / 2, button->height() / 2));
}

void Type(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// Answers every save question that opens with the next of the given buttons and records what
// was on screen while it was open.
class QuestionAnswerer : public QObject
{
public:
    struct Seen
    {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        bool pointingHand;
    };

    explicit QuestionAnswerer(const QList<QMessageBox::StandardButton> &answers)
        : m_answers(answers)
    {
        connect(&m_timer, &QTimer::timeout, this, &QuestionAnswerer::Answer);
        m_timer.start(kAnswerPollMs);
    }

    QList<Seen> seen;

private:
    void Answer()
    {
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            auto *box = qobject_cast<QMessageBox *>(window);
            if (!box || !box->isVisible())
                continue;
            const QCursor *cursor = QApplication::overrideCursor();
            seen.append({box->windowTitle(), box->text(), box->standardButtons(),
                         cursor && cursor->shape() == Qt::PointingHandCursor});
            const QMessageBox::StandardButton answer =
                m_answers.isEmpty() ? QMessageBox::No : m_answers.takeFirst();
            QTest::mouseClick(box->button(answer), Qt::LeftButton);
        }
    }

    QList<QMessageBox::StandardButton> m_answers;
    QTimer m_timer;
};

// A step of a test on the window: an edit, or checks on what the window shows.
using Edit = std::function<void(Window &)>;
using Check = Edit;
using Answers = QList<QMessageBox::StandardButton>;

} // namespace

Q_DECLARE_METATYPE(InputTrigger)
Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(Window::Tamper)
Q_DECLARE_METATYPE(Answers)

class TestWake : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No test may ever scan the machine's own serial ports.
        CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
    }

    void triggerFollowsModel_data()
    {
        QTest::addColumn<int>("session");
        QTest::addColumn<int>("mode");
        QTest::addColumn<InputTrigger>("input1");
        QTest::addColumn<InputTrigger>("input2");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("detect1");
        QTest::addColumn<int>("detect2");

        // Before the load the detection boxes stand on index 2; modes 0 and 1 leave them there.
        const InputTrigger none{0, 0, 0};
        QTest::newRow("mode 0 shows no action")
            << 1 << 0 << InputTrigger{1, 1, 1} << none << "trigtime_"
            << "noaction_" << 2 << 2;
        QTest::newRow("mode 1 shows triggerred by time")
            << 1 << 1 << InputTrigger{1, 1, 1} << none << "noaction_"
            << "trigtime_" << 2 << 2;
        QTest::newRow("mode 2 with no enabled input naming the session shows no action")
            << 1 << 2 << InputTrigger{1, 0, 1} << InputTrigger{2, 1, 0} << "trigin1_"
            << "noaction_" << 1 << 0;
        QTest::newRow("mode 2 with both inputs naming the session shows input 1")
            << 1 << 2 << InputTrigger{2, 1, 1} << InputTrigger{1, 1, 1} << "trigin2_"
            << "trigin1_" << 2 << 1;
        QTest::newRow("mode 2 with input 2 only naming the session shows input 2")
            << 1 << 2 << InputTrigger{1, 0, 1} << InputTrigger{2, 1, 1} << "noaction_"
            << "trigin2_" << 1 << 2;
        QTest::newRow("mode 2 shows the empty detection for an input of another session")
            << 3 << 2 << InputTrigger{2, 1, 0} << InputTrigger{1, 1, 3} << "trigtime_"
            << "trigin2_" << 0 << 1;
        QTest::newRow("an unknown mode leaves the selection as it was")
            << 1 << 7 << InputTrigger{1, 1, 1} << none << "trigin1_"
            << "trigin1_" << 2 << 2;
    }

    void triggerFollowsModel()
    {
        QFETCH(int, session);
        QFETCH(int, mode);
        QFETCH(InputTrigger, input1);
        QFETCH(InputTrigger, input2);
        QFETCH(QString, before);
        QFETCH(QString, shown);
        QFETCH(int, detect1);
        QFETCH(int, detect2);

        Window w;
        w.settings.SetSession(session, WakeSession{mode, At("09:10:00"), At("00:05:00"), 7});
        w.settings.SetInputTriggers({input1, input2});
        w.Open(session);
        ClickRadio(w.Radio(qPrintable(before), session));
        w.Combo("detect1_", session)->setCurrentIndex(2);
        w.Combo("detect2_", session)->setCurrentIndex(2);

        Click(w.Button("pbGetSetting", session));

        for (const char *prefix : kTriggerPrefixes)
            QCOMPARE(w.Radio(prefix, session)->isChecked(), shown == QLatin1String(prefix));
        QCOMPARE(w.TimeEdit("time_", session)->time(), QTime(9, 10));
        QCOMPARE(w.TimeEdit("interval_", session)->time(), QTime(0, 5));
        QCOMPARE(w.Edit("repeat_", session)->text(), QStringLiteral("7"));
        QCOMPARE(w.Combo("detect1_", session)->currentIndex(), detect1);
        QCOMPARE(w.Combo("detect2_", session)->currentIndex(), detect2);

        // Loading is no edit: saving right after it stores nothing, so the mode stays.
        Click(w.Button("pbSetSetting", session));
        QCOMPARE(w.settings.GetSession(session).mode, mode);
    }

    void timeEditSelectsTriggerByTime_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<InputTrigger>("input2");
        QTest::addColumn<QString>("editedTime");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("savedMode");

        const InputTrigger none{0, 0, 0};
        QTest::newRow("editing the interval under no action selects triggerred by time")
            << 0 << none << "interval_"
            << "trigtime_" << 1;
        QTest::newRow("editing the start time under input 2 selects triggerred by time")
            << 2 << InputTrigger{1, 1, 1} << "time_"
            << "trigtime_" << 1;
        QTest::newRow("filling the page keeps no action whatever times it fills in")
            << 0 << none << ""
            << "noaction_" << 0;
        QTest::newRow("filling the page keeps input 2 whatever times it fills in")
            << 2 << InputTrigger{1, 1, 1} << ""
            << "trigin2_" << 2;
    }

    void timeEditSelectsTriggerByTime()
    {
        QFETCH(int, mode);
        QFETCH(InputTrigger, input2);
        QFETCH(QString, editedTime);
        QFETCH(QString, shown);
        QFETCH(int, savedMode);

        const int session = 1;
        Window w;
        w.settings.SetSession(session, WakeSession{mode, At("08:00:00"), At("00:30:00"), 2});
        w.settings.SetInputTriggers({InputTrigger{}, input2});
        w.Open(session);
        Click(w.Button("pbGetSetting", session));

        if (!editedTime.isEmpty())
            QTest::keyClick(w.TimeEdit(qPrintable(editedTime), session), Qt::Key_Up);

        for (const char *prefix : kTriggerPrefixes)
            QCOMPARE(w.Radio(prefix, session)->isChecked(), shown == QLatin1String(prefix));

        // Only an edit marks the page: its save stores the times as edited.
        Click(w.Button("pbSetSetting", session));
        const WakeSession saved = w.settings.GetSession(session);
        QCOMPARE(saved.mode, savedMode);
        QCOMPARE(saved.start.time(), w.TimeEdit("time_", session)->time());
        QCOMPARE(saved.interval.time(), w.TimeEdit("interval_", session)->time());
        if (!editedTime.isEmpty())
            QVERIFY(saved.start.time() != QTime(8, 0) || saved.interval.time() != QTime(0, 30));
    }

    void saveSendsChangedGroups_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("session");
        QTest::addColumn<Edit>("prepare");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("marked");
        QTest::addColumn<Check>("check");

        const Edit nothing = [](Window &) {};
        const Check noCheck = [](Window &) {};

        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[1] = WakeLine(1, 1, "06:15:00", "00:20:00", 3);
            QTest::newRow("a trigger edit sends the WAKE lines of all sessions, then CINPUT")
                << int(BoardType::LumivorV1) << 1 << nothing << Edit([](Window &w) {
                       ClickRadio(w.Radio("trigtime_", 1));
                       w.TimeEdit("time_", 1)->setTime(QTime(6, 15));
                       w.TimeEdit("interval_", 1)->setTime(QTime(0, 20));
                       Type(w.Edit("repeat_", 1), "3");
                   })
                << lines + BaseInputLines() << 6 * 60 + 15 + 2 * 20 << 2 << noCheck;
        }
        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[1] = WakeLine(1, 2, "00:00:00", "00:00:00", 0);
            QTest::newRow("claiming input 1 sends its detection, enabled flag and session")
                << int(BoardType::LumivorV1) << 1 << nothing << Edit([](Window &w) {
                       ClickRadio(w.Radio("trigin1_", 1));
                       w.Combo("detect1_", 1)->setCurrentIndex(2);
                   })
                << lines + QList<QByteArray>{CInputLine(1, 1, 2, 1), CInputLine(2, 0, 0, 0)}
                << 8 * 60 << 1 << noCheck;
        }
        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[0] = WakeLine(0, 1, "08:00:00", "00:30:00", 0);
            QTest::newRow("letters in the number of photos are sent as 0")
                << int(BoardType::LumivorV1) << 0 << nothing
                << Edit([](Window &w) { Type(w.Edit("repeat_", 0), "ab"); })
                << lines + BaseInputLines() << 8 * 60 << 0 << noCheck;
        }
        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[3] = WakeLine(3, 0, "10:00:00", "00:10:00", 2);
            QTest::newRow("a mode 2 session that no input claims is saved as no action")
                << int(BoardType::LumivorV1) << 3 << Edit([](Window &w) {
                       w.settings.SetSession(3, {kWakeByInput, At("10:00:00"), At("00:10:00"), 1});
                   })
                << Edit([](Window &w) { Type(w.Edit("repeat_", 3), "2"); })
                << lines + BaseInputLines() << 8 * 60 << 1 << noCheck;
        }
        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[0] = WakeLine(0, 2, "08:00:00", "00:30:00", 2);
            QTest::newRow("input 2 on KOTA is stored but only input 1's CINPUT line is sent")
                << int(BoardType::Kota) << 0 << nothing << Edit([](Window &w) {
                       ClickRadio(w.Radio("trigin2_", 0));
                       w.Combo("detect2_", 0)->setCurrentIndex(1);
                   })
                << lines + QList<QByteArray>{CInputLine(1, 2, 1, 1)} << 8 * 60 << 0
                << Check([](Window &w) {
                       const InputTrigger input2 = w.settings.GetInputTriggers()[1];
                       QCOMPARE(input2.detection, 1);
                       QCOMPARE(input2.enabled, 1);
                       QCOMPARE(input2.session, 0);
                   });
        }
        // Session 3 is woken by input 1 in the base programme.
        const auto shows = [](const char *trigger) {
            return Check([trigger](Window &w) {
                Click(w.Button("pbGetSetting", 2));
                QVERIFY(w.Radio(trigger, 2)->isChecked());
            });
        };
        {
            QTest::newRow("switching from input 1 to input 2 releases input 1")
                << int(BoardType::LumivorV1) << 2 << nothing << Edit([](Window &w) {
                       ClickRadio(w.Radio("trigin2_", 2));
                       w.Combo("detect2_", 2)->setCurrentIndex(2);
                   })
                << BaseWakeLines() +
                       QList<QByteArray>{CInputLine(1, 2, 1, 0), CInputLine(2, 2, 2, 1)}
                << 8 * 60 << 1 << shows("trigin2_");
        }
        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[2] = WakeLine(2, 0, "12:00:00", "00:01:00", 4);
            QTest::newRow("saving no action releases the input that woke the session")
                << int(BoardType::LumivorV1) << 2 << nothing
                << Edit([](Window &w) { ClickRadio(w.Radio("noaction_", 2)); })
                << lines + QList<QByteArray>{CInputLine(1, 2, 1, 0), CInputLine(2, 0, 0, 0)}
                << 8 * 60 << 1 << shows("noaction_");
        }
        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[2] = WakeLine(2, 1, "12:00:00", "00:01:00", 4);
            QTest::newRow("saving by time on KOTA releases its one input")
                << int(BoardType::Kota) << 2 << nothing
                << Edit([](Window &w) { ClickRadio(w.Radio("trigtime_", 2)); })
                << lines + QList<QByteArray>{CInputLine(1, 2, 1, 0)} << 12 * 60 << 3
                << shows("trigtime_");
        }
        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[1] = WakeLine(1, 1, "00:00:00", "00:00:00", 0);
            QTest::newRow("saving by time keeps an input that wakes another session")
                << int(BoardType::LumivorV1) << 1 << nothing
                << Edit([](Window &w) { ClickRadio(w.Radio("trigtime_", 1)); })
                << lines + BaseInputLines() << 0 << 0 << noCheck;
        }
        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[0] = WakeLine(0, 1, "09:00:00", "00:30:00", 1000);
            QTest::newRow("a count of 1000 from the board is sent back whole")
                << int(BoardType::LumivorV1) << 0 << Edit([](Window &w) {
                       w.settings.SetSession(0,
                                             {kWakeByTime, At("08:00:00"), At("00:30:00"), 1000});
                   })
                << Edit([](Window &w) {
                       QCOMPARE(w.Edit("repeat_", 0)->text(), QString("1000"));
                       w.TimeEdit("time_", 0)->setTime(QTime(9, 0));
                   })
                << lines + BaseInputLines() << 9 * 60 << 1 << noCheck;
        }
        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[0] = WakeLine(0, 1, "09:00:00", "00:30:00", -150);
            QTest::newRow("a count of -150 from the board is sent back whole")
                << int(BoardType::LumivorV1) << 0 << Edit([](Window &w) {
                       w.settings.SetSession(0,
                                             {kWakeByTime, At("08:00:00"), At("00:30:00"), -150});
                   })
                << Edit([](Window &w) { w.TimeEdit("time_", 0)->setTime(QTime(9, 0)); })
                << lines + BaseInputLines() << 9 * 60 << 0 << noCheck;
        }
        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[0] = WakeLine(0, 1, "08:00:00", "00:30:00", 9876);
            QTest::newRow("after a count of 1000 the user may type four digits")
                << int(BoardType::LumivorV1) << 0 << Edit([](Window &w) {
                       w.settings.SetSession(0,
                                             {kWakeByTime, At("08:00:00"), At("00:30:00"), 1000});
                   })
                << Edit([](Window &w) { Type(w.Edit("repeat_", 0), "98765"); })
                << lines + BaseInputLines() << 8 * 60 << 1 << noCheck;
        }
        QTest::newRow("a power edit on KOTA sends rail 1's CPOWER lines only")
            << int(BoardType::Kota) << 0 << nothing << Edit([](Window &w) {
                   w.pages[0]->GetAdmin();
                   Type(w.Edit("timepower1_", 0), "180");
               })
            << QList<QByteArray>{CPowerLine(1, 0, 180), CPowerLine(1, 1, 10), CPowerLine(1, 2, 0),
                                 CPowerLine(1, 3, 5)}
            << 8 * 60 + 3 << 1 << noCheck;
        QTest::newRow("power times with letters are sent as 0, both rails of Lumivor V1")
            << int(BoardType::LumivorV1) << 1 << nothing << Edit([](Window &w) {
                   w.pages[1]->GetAdmin();
                   Type(w.Edit("timepower1_", 1), "45");
                   Type(w.Edit("timepower2_", 1), "x");
               })
            << QList<QByteArray>{CPowerLine(1, 0, 60), CPowerLine(1, 1, 45), CPowerLine(1, 2, 0),
                                 CPowerLine(1, 3, 5),  CPowerLine(2, 0, 30), CPowerLine(2, 1, 0),
                                 CPowerLine(2, 2, 0),  CPowerLine(2, 3, 5)}
            << 8 * 60 + 1 << 1 << noCheck;
        {
            SessionOutputTimings changed = BaseTimings(0);
            changed.number[1] = 9;
            changed.interval[3] = 0;
            QTest::newRow("output edits on Lumivor V2 send four outputs, letters as 0")
                << int(BoardType::LumivorV2) << 0 << nothing << Edit([](Window &w) {
                       w.pages[0]->GetAdmin();
                       Type(w.OutputEdit("outnumber", 2, 0), "9");
                       Type(w.OutputEdit("outinterval", 4, 0), "z");
                       Type(w.OutputEdit("outdelay", 6, 0), "77");
                   })
                << OutputLines(4, 0, changed) << 8 * 60 << 1 << Check([](Window &w) {
                       // Output 6 is stored, though the board has no output 6 to send it to.
                       QCOMPARE(w.settings.GetOutputTimings(0).delay[5], 77);
                   });
        }
        {
            QList<QByteArray> lines = BaseWakeLines();
            lines[2] = WakeLine(2, 2, "12:00:00", "00:01:00", 6);
            lines << CInputLine(1, 2, 1, 1) << CPowerLine(1, 0, 60) << CPowerLine(1, 1, 10)
                  << CPowerLine(1, 2, 120) << CPowerLine(1, 3, 5);
            QTest::newRow("trigger and power edits send WAKE, CINPUT, then CPOWER")
                << int(BoardType::Kota) << 2 << nothing << Edit([](Window &w) {
                       w.pages[2]->GetAdmin();
                       Type(w.Edit("timepower1_", 2), "120");
                       Type(w.Edit("repeat_", 2), "6");
                   })
                << lines << 8 * 60 << 1 << noCheck;
        }
        QTest::newRow("a save without edits sends nothing and still rebuilds the chart")
            << int(BoardType::LumivorV1) << 3 << Edit([](Window &w) {
                   w.settings.SetSession(3, {kWakeByTime, At("20:00:00"), At("00:00:00"), 1});
               })
            << nothing << QList<QByteArray>{} << 20 * 60 << 4 << noCheck;
    }

    void saveSendsChangedGroups()
    {
        QFETCH(int, type);
        QFETCH(int, session);
        QFETCH(Edit, prepare);
        QFETCH(Edit, edit);
        QFETCH(QList<QByteArray>, lines);
        QFETCH(int, minute);
        QFETCH(int, marked);
        QFETCH(Check, check);

        CSimulatedBoard board(type);
        Window w;
        LoadBase(&w.settings);
        w.chart->ComputeTimeline();
        prepare(w); // model changes the chart does not show yet
        QVERIFY(w.Connect(&board, type));
        w.FillPages();
        w.Open(session);

        edit(w);
        QVERIFY(board.ReceivedLines().isEmpty()); // edits alone send nothing
        Click(w.Button("pbSetSetting", session));

        QVERIFY(board.WaitForReceived(lines.size(), kLineWaitMs));
        QCOMPARE(board.ReceivedLines(), lines);
        QCOMPARE(w.chart->SessionAt(minute), marked);
        check(w);
    }

    void tabChangeAsksToSave_data()
    {
        QTest::addColumn<QString>("repeat1");
        QTest::addColumn<QString>("repeat3");
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("savedRepeat1");
        QTest::addColumn<int>("savedRepeat3");
        QTest::addColumn<QList<QByteArray>>("lines");

        QList<QByteArray> page1Saved = BaseWakeLines();
        page1Saved[0] = WakeLine(0, 1, "08:00:00", "00:30:00", 3);
        QList<QByteArray> page3Saved = BaseWakeLines();
        page3Saved[2] = WakeLine(2, 2, "12:00:00", "00:01:00", 7);

        QTest::newRow("no edits, no question")
            << ""
            << "" << Answers{} << 0 << 2 << 4 << QList<QByteArray>{};
        QTest::newRow("Yes saves the edited page and rebuilds the chart")
            << "3"
            << "" << Answers{QMessageBox::Yes} << 1 << 3 << 4 << page1Saved + BaseInputLines();
        QTest::newRow("No restores the edited page from the model and sends nothing")
            << "3"
            << "" << Answers{QMessageBox::No} << 1 << 2 << 4 << QList<QByteArray>{};
        QTest::newRow("two edited pages are asked in session order, Yes then No")
            << "3"
            << "7" << Answers{QMessageBox::Yes, QMessageBox::No} << 2 << 3 << 4
            << page1Saved + BaseInputLines();
        QTest::newRow("two edited pages are asked in session order, No then Yes")
            << "3"
            << "7" << Answers{QMessageBox::No, QMessageBox::Yes} << 2 << 2 << 7
            << page3Saved + BaseInputLines();
    }

    void tabChangeAsksToSave()
    {
        QFETCH(QString, repeat1);
        QFETCH(QString, repeat3);
        QFETCH(Answers, answers);
        QFETCH(int, questions);
        QFETCH(int, savedRepeat1);
        QFETCH(int, savedRepeat3);
        QFETCH(QList<QByteArray>, lines);

        CSimulatedBoard board(BoardType::LumivorV1);
        Window w;
        LoadBase(&w.settings);
        QVERIFY(w.Connect(&board, BoardType::LumivorV1));
        w.FillPages();
        w.Open(0);
        if (!repeat1.isEmpty())
            Type(w.Edit("repeat_", 0), repeat1);
        if (!repeat3.isEmpty())
            Type(w.Edit("repeat_", 2), repeat3);

        QuestionAnswerer answerer(answers);
        w.Open(1);

        QCOMPARE(answerer.seen.size(), questions);
        for (const QuestionAnswerer::Seen &seen : answerer.seen) {
            QCOMPARE(seen.title, QStringLiteral("Change"));
            QCOMPARE(seen.text, QStringLiteral("Do you want to save the changes?"));
            QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No);
            QVERIFY(seen.pointingHand);
        }
        QVERIFY(!QApplication::overrideCursor());

        QVERIFY(board.WaitForReceived(lines.size(), kLineWaitMs));
        QCOMPARE(board.ReceivedLines(), lines);
        QCOMPARE(w.settings.GetSession(0).repeat, savedRepeat1);
        QCOMPARE(w.settings.GetSession(2).repeat, savedRepeat3);
        // Saved or refused, each page ends showing the model.
        QCOMPARE(w.Edit("repeat_", 0)->text(), QString::number(savedRepeat1));
        QCOMPARE(w.Edit("repeat_", 2)->text(), QString::number(savedRepeat3));
        // Only a save rebuilds the chart: the third photo of session 1 falls at 09:00.
        const bool page1Yes = !repeat1.isEmpty() && answers.value(0) == QMessageBox::Yes;
        QCOMPARE(w.chart->SessionAt(9 * 60), page1Yes ? 1 : 0);

        // Every page is clean again: the next tab change asks nothing.
        w.Open(2);
        QCOMPARE(answerer.seen.size(), questions);
    }

    void adminView_data()
    {
        QTest::addColumn<int>("previousType");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("power2Shown");
        QTest::addColumn<bool>("outputsShown");
        QTest::addColumn<QStringList>("tabs");

        const QStringList six{"out1", "out2", "out3", "out4", "out5", "out6"};
        const QStringList four{"out1", "out2", "out3", "out4"};
        const int none = -1;
        QTest::newRow("unknown shows power 1 only and leaves the output tabs hidden")
            << none << int(BoardType::Unknown) << false << false << six;
        QTest::newRow("Lumivor V1 shows both powers and out1 to out6")
            << none << int(BoardType::LumivorV1) << true << true << six;
        QTest::newRow("Lumivor V2 shows both powers and out1 to out4")
            << none << int(BoardType::LumivorV2) << true << true << four;
        QTest::newRow("KOTA shows power 1 only and no output tabs")
            << none << int(BoardType::Kota) << false << false << six;
        QTest::newRow("KOTA file mode shows power 1 only and no output tabs")
            << none << int(BoardType::KotaFile) << false << false << six;
        QTest::newRow("Lumivor V1 file mode shows both powers and out1 to out6")
            << none << int(BoardType::LumivorV1File) << true << true << six;
        QTest::newRow("Lumivor V2 file mode shows both powers and out1 to out4")
            << none << int(BoardType::LumivorV2File) << true << true << four;
        QTest::newRow("Lumivor V1 after Lumivor V2 puts out5 and out6 back")
            << int(BoardType::LumivorV2) << int(BoardType::LumivorV1) << true << true << six;
        QTest::newRow("KOTA after Lumivor V2 leaves power 2 and the four tabs as they were")
            << int(BoardType::LumivorV2) << int(BoardType::Kota) << true << true << four;
    }

    void adminView()
    {
        QFETCH(int, previousType);
        QFETCH(int, type);
        QFETCH(bool, power2Shown);
        QFETCH(bool, outputsShown);
        QFETCH(QStringList, tabs);

        Window w;
        if (previousType >= 0) {
            w.settings.SetBoardType(previousType);
            for (CWake *page : w.pages)
                page->GetAdmin();
        }
        w.settings.SetBoardType(type);

        for (int call = 1; call <= 2; ++call) {
            for (CWake *page : w.pages)
                page->GetAdmin();
            for (int s = 0; s < kSessionCount; ++s) {
                QVERIFY(!w.Find<QLabel>(Name("ltimepower1_", s))->isHidden());
                QVERIFY(!w.Edit("timepower1_", s)->isHidden());
                QCOMPARE(!w.Find<QLabel>(Name("ltimepower2_", s))->isHidden(), power2Shown);
                QCOMPARE(!w.Edit("timepower2_", s)->isHidden(), power2Shown);
                QTabWidget *outputs = w.Outputs(s);
                QCOMPARE(!outputs->isHidden(), outputsShown);
                QStringList shown;
                for (int at = 0; at < outputs->count(); ++at) {
                    shown << outputs->tabText(at);
                    // The tab holds the form's own page of that output.
                    QVERIFY(outputs->widget(at)->findChild<QLineEdit *>(
                        OutputName("outnumber", at + 1, s)));
                }
                QCOMPARE(shown, tabs);
            }
        }

        for (CWake *page : w.pages)
            page->GetStandard();
        for (int s = 0; s < kSessionCount; ++s) {
            QVERIFY(w.Find<QLabel>(Name("ltimepower1_", s))->isHidden());
            QVERIFY(w.Find<QLabel>(Name("ltimepower2_", s))->isHidden());
            QVERIFY(w.Edit("timepower1_", s)->isHidden());
            QVERIFY(w.Edit("timepower2_", s)->isHidden());
            QVERIFY(w.Outputs(s)->isHidden());
        }
    }

    void initAffReloadsPage_data()
    {
        QTest::addColumn<bool>("standard");
        QTest::newRow("true reloads and returns to the standard view") << true;
        QTest::newRow("false reloads and keeps the administrator view") << false;
    }

    void initAffReloadsPage()
    {
        QFETCH(bool, standard);

        Window w;
        LoadBase(&w.settings);
        w.settings.SetBoardType(BoardType::LumivorV1);
        w.pages[0]->GetAdmin();
        Type(w.Edit("repeat_", 0), "9");
        Type(w.Edit("timepower1_", 0), "1");

        w.pages[0]->InitAff(standard);

        QCOMPARE(w.Edit("repeat_", 0)->text(), QStringLiteral("2"));
        QCOMPARE(w.Edit("timepower1_", 0)->text(), QStringLiteral("60"));
        QCOMPARE(w.Edit("timepower1_", 0)->isHidden(), standard);
        QCOMPARE(w.Outputs(0)->isHidden(), standard);
        QCOMPARE(w.chart->SessionAt(8 * 60), 1);
        // The reload dropped the edits: switching tabs asks nothing (an open question would
        // stay unanswered and stop the test here).
        QuestionAnswerer answerer({});
        w.Open(1);
        QVERIFY(answerer.seen.isEmpty());
    }

    void everyControlIsBound_data()
    {
        QTest::addColumn<int>("session");
        for (int s = 0; s < kSessionCount; ++s)
            QTest::addRow("page %d binds every control", s + 1) << s;
    }

    void everyControlIsBound()
    {
        QFETCH(int, session);

        Window w;
        w.settings.SetBoardType(BoardType::LumivorV1);
        w.settings.SetSession(session, {kWakeByInput, At("13:14:00"), At("01:02:00"), 15});
        w.settings.SetInputTriggers({InputTrigger{2, 1, session}, InputTrigger{1, 0, session}});
        w.settings.SetPowerTimes(session, 31, 32);
        w.settings.SetOutputTimings(session, BaseTimings(session));
        w.Open(session);
        w.pages[size_t(session)]->GetAdmin();
        Click(w.Button("pbGetSetting", session));

        QVERIFY(w.Radio("trigin1_", session)->isChecked());
        QCOMPARE(w.TimeEdit("time_", session)->time(), QTime(13, 14));
        QCOMPARE(w.TimeEdit("interval_", session)->time(), QTime(1, 2));
        QCOMPARE(w.Edit("repeat_", session)->text(), QStringLiteral("15"));
        QCOMPARE(w.Combo("detect1_", session)->currentIndex(), 2);
        QCOMPARE(w.Combo("detect2_", session)->currentIndex(), 1);
        QCOMPARE(w.Edit("timepower1_", session)->text(), QStringLiteral("31"));
        QCOMPARE(w.Edit("timepower2_", session)->text(), QStringLiteral("32"));
        QVERIFY(!w.Find<QLabel>(Name("ltimepower1_", session))->isHidden());
        QVERIFY(!w.Find<QLabel>(Name("ltimepower2_", session))->isHidden());
        QVERIFY(!w.Outputs(session)->isHidden());
        const SessionOutputTimings t = BaseTimings(session);
        for (int k = 1; k <= kMaxOutputs; ++k) {
            const size_t at = size_t(k - 1);
            QCOMPARE(w.OutputEdit("outnumber", k, session)->text(), QString::number(t.number[at]));
            QCOMPARE(w.OutputEdit("outdelay", k, session)->text(), QString::number(t.delay[at]));
            QCOMPARE(w.OutputEdit("outduration", k, session)->text(),
                     QString::number(t.duration[at]));
            QCOMPARE(w.OutputEdit("outinterval", k, session)->text(),
                     QString::number(t.interval[at]));
        }

        // Every edit reaches its group: one save stores the three groups.
        ClickRadio(w.Radio("noaction_", session));
        Type(w.Edit("timepower2_", session), "33");
        Type(w.OutputEdit("outinterval", 6, session), "66");
        Click(w.Button("pbSetSetting", session));
        QCOMPARE(w.settings.GetSession(session).mode, kWakeNone);
        QCOMPARE(w.settings.GetPowerTimes(session), (PowerTimes{31, 33}));
        QCOMPARE(w.settings.GetOutputTimings(session).interval[5], 66);
    }

    void unboundControlKeepsPageWorking_data()
    {
        QTest::addColumn<Window::Tamper>("tamper");
        QTest::addColumn<Check>("check");

        // Page 2 (session index 1) throughout; the model holds a session by time at 05:00.
        const int s = 1;
        const auto rename = [s](const char *prefix) {
            return Window::Tamper([s, prefix](QMainWindow *window, MainWindowForm *) {
                window->findChild<QWidget *>(Name(prefix, s))->setObjectName("renamed");
            });
        };

        QTest::newRow("a renamed number of photos stays empty and the stored count is kept")
            << rename("repeat_") << Check([s](Window &w) {
                   Click(w.Button("pbGetSetting", s));
                   QVERIFY(w.Find<QLineEdit>("renamed")->text().isEmpty());
                   ClickRadio(w.Radio("noaction_", s));
                   Click(w.Button("pbSetSetting", s));
                   QCOMPARE(w.settings.GetSession(s).mode, kWakeNone);
                   QCOMPARE(w.settings.GetSession(s).repeat, 5);
               });
        QTest::newRow("a power field whose name appears twice binds neither widget")
            << Window::Tamper([s](QMainWindow *, MainWindowForm *form) {
                   auto *twin = new QLineEdit(form->tabWidget->widget(s + 1));
                   twin->setObjectName(Name("timepower1_", s));
               })
            << Check([s](Window &w) {
                   w.pages[size_t(s)]->GetAdmin();
                   Click(w.Button("pbGetSetting", s));
                   for (QLineEdit *twin :
                        w.window.findChildren<QLineEdit *>(Name("timepower1_", s)))
                       QVERIFY(twin->text().isEmpty());
                   Type(w.Edit("timepower2_", s), "8");
                   Click(w.Button("pbSetSetting", s));
                   QCOMPARE(w.settings.GetPowerTimes(s), (PowerTimes{40, 8}));
               });
        QTest::newRow("a widget of another kind under the same name is passed over")
            << Window::Tamper([s](QMainWindow *, MainWindowForm *form) {
                   auto *label = new QLabel(form->tabWidget->widget(s + 1));
                   label->setObjectName(Name("repeat_", s));
               })
            << Check([s](Window &w) {
                   Click(w.Button("pbGetSetting", s));
                   QCOMPARE(w.Edit("repeat_", s)->text(), QStringLiteral("5"));
               });
        QTest::newRow("without no action, a session without trigger unchecks the others")
            << rename("noaction_") << Check([s](Window &w) {
                   w.settings.SetSession(s, {kWakeNone, At("05:00:00"), At("00:10:00"), 5});
                   ClickRadio(w.Radio("trigtime_", s));
                   Click(w.Button("pbGetSetting", s));
                   for (const char *prefix : {"trigtime_", "trigin1_", "trigin2_"})
                       QVERIFY(!w.Radio(prefix, s)->isChecked());
                   Type(w.Edit("repeat_", s), "6");
                   Click(w.Button("pbSetSetting", s));
                   QCOMPARE(w.settings.GetSession(s).mode, kWakeNone);
                   QCOMPARE(w.settings.GetSession(s).repeat, 6);
               });
        QTest::newRow("without the output tabs the administrator view shows the powers")
            << rename("tabWidget1_") << Check([s](Window &w) {
                   w.pages[size_t(s)]->GetAdmin();
                   QVERIFY(!w.Edit("timepower2_", s)->isHidden());
                   Click(w.Button("pbGetSetting", s));
                   QCOMPARE(w.OutputEdit("outnumber", 6, s)->text(), QStringLiteral("16"));
               });
        QTest::newRow("without the save button a tab change still saves")
            << rename("pbSetSetting") << Check([s](Window &w) {
                   Click(w.Button("pbGetSetting", s));
                   Type(w.Edit("repeat_", s), "9");
                   QuestionAnswerer answerer({QMessageBox::Yes});
                   w.Open(0);
                   QCOMPARE(answerer.seen.size(), 1);
                   QCOMPARE(w.settings.GetSession(s).repeat, 9);
               });
    }

    void unboundControlKeepsPageWorking()
    {
        QFETCH(Window::Tamper, tamper);
        QFETCH(Check, check);

        Window w(tamper);
        w.settings.SetBoardType(BoardType::LumivorV1);
        w.settings.SetSession(1, {kWakeByTime, At("05:00:00"), At("00:10:00"), 5});
        w.settings.SetPowerTimes(1, 40, 50);
        w.settings.SetOutputTimings(1, BaseTimings(1));
        w.Open(1);
        check(w);
    }
};

QTEST_MAIN(TestWake)
#include "test_wake.moc"
