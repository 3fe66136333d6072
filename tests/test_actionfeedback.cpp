#include "app/MainWindow.h"
#include "device/AdvCmd.h"
#include "pages/Wake.h"
#include "tests/LinkBench.h"
#include "tests/WindowRig.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

#include <csignal>
#include <functional>

// What the window shows while an action talks to the board or writes a command file: the wait
// cursor, the moving progress bar, a window that stays alive but takes no input, and afterwards a
// command file that could not be written whole or lines the board did not answer.

using namespace linkbench;
using windowrig::DialogAnswerer;
using windowrig::Rig;

namespace {

// Runs an action of the window as the user would; the rig is connected to its board.
using Action = std::function<void(Rig &)>;

Action ClickOn(const QString &button)
{
    return [button](Rig &rig) { rig.Click(button); };
}

Action InFileMode(const QString &button)
{
    return [button](Rig &rig) {
        rig.ChooseBoard(BoardType::LumivorV1File);
        rig.Click(button);
    };
}

// Long enough for events left over from an action to be handled, or for a dialog to come up.
constexpr int kSettleMs = 20;

// Runs `during` in the action under way, once the link has written its `line`-th line from now
// on.
void AtLine(Rig &rig, int line, const std::function<void()> &during)
{
    auto written = std::make_shared<int>(0);
    rig.window->Settings().Link().SetLineObserver([=](const QByteArray &) {
        if (++*written == line)
            during();
    });
}

const QByteArrayList kClockLines{"ADV#TIME=", "ADV#DATE="};

// The lines the board received since the last clear, cut to their command names.
QByteArrayList Commands(const CSimulatedBoard &board)
{
    QByteArrayList names;
    for (const QByteArray &line : board.ReceivedLines())
        names << line.left(line.indexOf('=') + 1);
    return names;
}

// An edit of the first session page, saved by its button or by the save question's Yes.
void EditSession(Rig &rig)
{
    rig.Find<QTabWidget>("tabWidget")->setCurrentIndex(1);
    rig.Find<QLineEdit>("repeat_1")->setText(QStringLiteral("5"));
}

// Sends something to the field of a session page, as the user or the program would.
using FieldInput = std::function<void(QLineEdit *)>;

QWidget *ShownTopLevel(const char *className)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->inherits(className))
            return window;
    }
    return nullptr;
}

const QString kClosing = QStringLiteral("Closing once the exchange with the board has ended.");

} // namespace

Q_DECLARE_METATYPE(FieldInput)
Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(QList<Action>)

class TestActionFeedback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(windowrig::SetUp(m_folder)); }

    void waitCursorThroughout_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<Action>("action");
        QTest::addColumn<bool>("talks");

        QTest::newRow("connect and read-out") << Fault::None << ClickOn("pbConnect") << true;
        QTest::newRow("connect that finds no board")
            << Fault::Silent << ClickOn("pbConnect") << false;
        QTest::newRow("read-out that fails") << Fault::None << Action([](Rig &rig) {
            rig.board.SetFault(Fault::Silent, "ADV#WAKE");
            rig.Click("pbConnect");
        }) << true;
        QTest::newRow("SetSettings") << Fault::None << Action([](Rig &rig) {
            EditSession(rig);
            rig.Click("pbSetSetting1");
        }) << true;
        QTest::newRow("save question answered Yes") << Fault::None << Action([](Rig &rig) {
            EditSession(rig);
            DialogAnswerer answerer;
            rig.Find<QTabWidget>("tabWidget")->setCurrentIndex(0);
        }) << true;
        QTest::newRow("File Generation") << Fault::None << InFileMode("pbfilegeneration") << true;
        QTest::newRow("INI import") << Fault::None << Action([](Rig &rig) {
            DialogAnswerer answerer;
            rig.Click("pbSetConfiguration");
        }) << true;
        QTest::newRow("Get_DateTime") << Fault::None << ClickOn("pbGetDateTime") << true;
        QTest::newRow("Get_DateTime, board silent") << Fault::None << Action([](Rig &rig) {
            rig.board.SetFault(Fault::Silent);
            rig.Click("pbGetDateTime");
        }) << true;
        QTest::newRow("Set_DateTime") << Fault::None << ClickOn("pbSetDateTime") << true;
        QTest::newRow("Set_DateTime in a file mode")
            << Fault::None << InFileMode("pbSetDateTime") << true;
        for (const char *button : {"pbGetAnalog", "pbGetDigital", "pbSetOutput", "pbSetPower",
                                   "pbSetBattery", "pbGetBattery"})
            QTest::newRow(button) << Fault::None << ClickOn(button) << true;
        for (const char *button : {"pbGetOutput", "pbGetPower"})
            QTest::newRow(button) << Fault::None << ClickOn(button) << false;
    }

    // Every line written while an action runs is written under the wait cursor, and the cursor
    // stack is left as it was found.
    void waitCursorThroughout()
    {
        QFETCH(Fault, fault);
        QFETCH(Action, action);
        QFETCH(bool, talks);

        Rig rig(BoardType::LumivorV1, fault);
        int lines = 0;
        QStringList notWaiting;
        rig.window->Settings().Link().SetLineObserver([&](const QByteArray &line) {
            ++lines;
            const QCursor *cursor = QApplication::overrideCursor();
            if (!cursor || cursor->shape() != Qt::WaitCursor)
                notWaiting << QString::fromLatin1(line);
        });

        action(rig);

        QCOMPARE(lines > 0, talks);
        QCOMPARE(notWaiting, QStringList());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void progressMoves_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("steps");

        QTest::newRow("connect and read-out") << ClickOn("pbConnect") << 7;
        QTest::newRow("File Generation in Lumivor V1 file mode")
            << InFileMode("pbfilegeneration") << 44;
        QTest::newRow("Set_DateTime") << ClickOn("pbSetDateTime") << 2;
    }

    // The bar goes through every step of the work and returns to 0 at its end.
    void progressMoves()
    {
        QFETCH(Action, action);
        QFETCH(int, steps);

        Rig rig;
        auto *bar = rig.Find<QProgressBar>("progressBar");
        QList<int> values;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) { values << value; });

        action(rig);

        QList<int> expected;
        for (int step = 1; step <= steps; ++step)
            expected << step;
        expected << 0;
        QCOMPARE(values, expected);
        QCOMPARE(bar->value(), 0);
    }

    void incompleteCommandFile_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("blockedAfter"); // lines written before the file is blocked
        QTest::addColumn<QString>("message");

        QTest::newRow("File Generation blocked from the start")
            << InFileMode("pbfilegeneration") << 0
            << "LumivorV1.txt is incomplete: 44 of 44 lines could not be written.";
        QTest::newRow("File Generation blocked part-way")
            << InFileMode("pbfilegeneration") << 10
            << "LumivorV1.txt is incomplete: 34 of 44 lines could not be written.";
        QTest::newRow("Set_DateTime blocked")
            << InFileMode("pbSetDateTime") << 0
            << "LumivorV1.txt is incomplete: 2 of 2 lines could not be written.";
        QTest::newRow("written whole") << InFileMode("pbfilegeneration") << -1 << QString();
    }

    // A folder standing in the command file's place takes no line, even from root.
    void incompleteCommandFile()
    {
        QFETCH(Action, action);
        QFETCH(int, blockedAfter);
        QFETCH(QString, message);

        const QString file = QStringLiteral("LumivorV1.txt");
        QDir().rmdir(file);
        QFile::remove(file);
        const auto block = [file] { return QFile::remove(file) && QDir().mkdir(file); };
        Rig rig;
        if (blockedAfter == 0)
            QVERIFY(QDir().mkdir(file));
        int lines = 0;
        rig.window->Settings().Link().SetLineObserver([&](const QByteArray &) {
            if (++lines == blockedAfter)
                QVERIFY(block());
        });

        action(rig);

        QCOMPARE(rig.Status(), message);
    }

    // While the board is slow, the window goes on handling timers, posted events and repaints.
    void eventsAreHandledDuringAnExchange()
    {
        Rig rig;
        auto *label = rig.Find<QLabel>("label_Connected");
        rig.board.ClearReceived();
        int linesAtTimer = -1;
        m_board = &rig.board;
        m_linesAt.clear();
        label->installEventFilter(this);
        AtLine(rig, 1, [&] {
            QTimer::singleShot(0, [&] { linesAtTimer = rig.board.ReceivedLines().size(); });
            QCoreApplication::postEvent(label, new QEvent(QEvent::User));
            label->update();
        });

        rig.Click("pbSetDateTime");

        label->removeEventFilter(this);
        m_board = nullptr;
        // Handled while the second line was still to go.
        QCOMPARE(linesAtTimer, 1);
        QCOMPARE(m_linesAt.value(QEvent::User, -1), 1);
        QCOMPARE(m_linesAt.value(QEvent::Paint, -1), 1);
        QCOMPARE(Commands(rig.board), kClockLines);
    }

    void inputDuringAnExchangeIsDropped_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<Action>("input");

        QTest::newRow("a click on Connect") << 1 << Action([](Rig &rig) {
            QTest::mouseClick(rig.Find<QPushButton>("pbConnect"), Qt::LeftButton);
        });
        QTest::newRow("a click on Connect left waiting as the last line leaves")
            << 2 << Action([](Rig &rig) {
                   auto *button = rig.Find<QPushButton>("pbConnect");
                   const QPoint centre = button->rect().center();
                   for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                       QCoreApplication::postEvent(
                           button, new QMouseEvent(type, centre, button->mapToGlobal(centre),
                                                   Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
               });
        QTest::newRow("typing into the configuration field") << 1 << Action([](Rig &rig) {
            QTest::keyClicks(rig.Find<QLineEdit>("leConf"), QStringLiteral("typed"));
        });
        QTest::newRow("the wheel over the board type") << 1 << Action([](Rig &rig) {
            auto *box = rig.Find<QComboBox>("cbBoard");
            QWheelEvent wheel(QPointF(5, 5), QPointF(box->mapToGlobal(QPoint(5, 5))), QPoint(),
                              QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QCoreApplication::sendEvent(box, &wheel);
        });
    }

    // Nothing the user does while the board is written takes effect, then or afterwards.
    void inputDuringAnExchangeIsDropped()
    {
        QFETCH(int, line);
        QFETCH(Action, input);

        Rig rig;
        const QString conf = rig.Find<QLineEdit>("leConf")->text();
        const int type = rig.Find<QComboBox>("cbBoard")->currentIndex();
        rig.board.ClearReceived();
        AtLine(rig, line, [&] { input(rig); });

        rig.Click("pbSetDateTime");
        QTest::qWait(kSettleMs);

        QCOMPARE(Commands(rig.board), kClockLines);
        QCOMPARE(rig.Find<QLineEdit>("leConf")->text(), conf);
        QCOMPARE(rig.Find<QComboBox>("cbBoard")->currentIndex(), type);
    }

    void nothingStartsDuringAnExchange_data()
    {
        QTest::addColumn<Action>("start");
        QTest::newRow("Connect") << Action(
            [](Rig &rig) { rig.Find<QPushButton>("pbConnect")->click(); });
        QTest::newRow("Set_DateTime again")
            << Action([](Rig &rig) { rig.Find<QPushButton>("pbSetDateTime")->click(); });
        QTest::newRow("the INI import, which would ask for a file")
            << Action([](Rig &rig) { rig.Find<QPushButton>("pbSetConfiguration")->click(); });
        QTest::newRow("the administrator pages") << Action([](Rig &rig) {
            rig.window->findChild<QAction *>(QStringLiteral("actionAdmin"))->trigger();
        });
        QTest::newRow("a board change to a file mode")
            << Action([](Rig &rig) { rig.ChooseBoard(BoardType::LumivorV1File); });
    }

    // An action started by a timer while another talks to the board does not run at all.
    void nothingStartsDuringAnExchange()
    {
        QFETCH(Action, start);

        const QString file = QStringLiteral("LumivorV1.txt");
        QFile::remove(file);
        Rig rig;
        rig.board.ClearReceived();
        bool dialogShown = false;
        AtLine(rig, 1, [&] {
            QTimer::singleShot(0, [&] { start(rig); });
            // A dialog opened by mistake is told and closed, so that the test goes on.
            QTimer::singleShot(kSettleMs, [&] {
                for (QWidget *window : QApplication::topLevelWidgets()) {
                    if (auto *dialog = qobject_cast<QDialog *>(window);
                        dialog && dialog->isVisible()) {
                        dialogShown = true;
                        dialog->reject();
                    }
                }
            });
        });

        rig.Click("pbSetDateTime");
        QTest::qWait(2 * kSettleMs);

        QCOMPARE(Commands(rig.board), kClockLines);
        QVERIFY(!dialogShown);
        QCOMPARE(rig.Find<QTabWidget>("tabWidget")->count(), 5);
        QCOMPARE(rig.Find<QComboBox>("cbBoard")->currentIndex(), int(BoardType::LumivorV1));
        QVERIFY(!QFile::exists(file));
    }

    void editsDuringASave_data()
    {
        QTest::addColumn<FieldInput>("send");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("unsent");

        QTest::newRow("an input method's committed text is dropped")
            << FieldInput([](QLineEdit *field) {
                   QInputMethodEvent commit;
                   commit.setCommitString(QStringLiteral("9"));
                   QCoreApplication::sendEvent(field, &commit);
               })
            << "5" << false;
        QTest::newRow("a dropped text is dropped") << FieldInput([](QLineEdit *field) {
            QMimeData text;
            text.setText(QStringLiteral("7"));
            const QPoint at = field->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
            QDropEvent drop(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(field, &enter);
            QCoreApplication::sendEvent(field, &drop);
        }) << "5" << false;
        QTest::newRow("no context menu opens") << FieldInput([](QLineEdit *field) {
            const QPoint at = field->rect().center();
            QContextMenuEvent menu(QContextMenuEvent::Mouse, at, field->mapToGlobal(at));
            QCoreApplication::sendEvent(field, &menu);
        }) << "5" << false;
        QTest::newRow("a value changed after its line was built stays unsent")
            << FieldInput([](QLineEdit *field) { field->setText(QStringLiteral("59")); }) << "59"
            << true;
    }

    // What reaches a field of the page being saved leaves the field and its unsent mark telling
    // the truth: the board holds what was built into the line.
    void editsDuringASave()
    {
        QFETCH(FieldInput, send);
        QFETCH(QString, shown);
        QFETCH(bool, unsent);

        Rig rig;
        EditSession(rig);
        auto *field = rig.Find<QLineEdit>("repeat_1");
        bool menuShown = false;
        AtLine(rig, 1, [&] {
            // A menu opened by mistake is told and closed, so that the test goes on.
            QTimer::singleShot(kSettleMs, [&] {
                if (QWidget *menu = QApplication::activePopupWidget()) {
                    menuShown = true;
                    menu->close();
                }
            });
            send(field);
        });

        rig.Click("pbSetSetting1");

        QCOMPARE(field->text(), shown);
        QCOMPARE(rig.window->findChildren<CWake *>().first()->HasUnsentEdits(), unsent);
        QCOMPARE(rig.board.GetProgramme().sessions[0].repeat, 5);
        QVERIFY(!menuShown);
    }

    void closeWaitsForTheExchange_data()
    {
        QTest::addColumn<Action>("request");
        QTest::newRow("the close button") << Action([](Rig &rig) {
            QCoreApplication::postEvent(rig.window->windowHandle(), new QCloseEvent);
        });
        QTest::newRow("SIGTERM") << Action([](Rig &) { std::raise(SIGTERM); });
        QTest::newRow("SIGHUP") << Action([](Rig &) { std::raise(SIGHUP); });
    }

    // A request to close the window does not cut the write short: the status bar says why the
    // window stays, a second request changes nothing, every line reaches the board, then the
    // window closes, without a question. A tooltip closes at once all the same.
    void closeWaitsForTheExchange()
    {
        QFETCH(Action, request);

        Rig rig;
        rig.board.ClearReceived();
        // Its report must not take the message's place.
        rig.board.SetFault(Fault::Silent, "ADV#DATE");
        QStringList during;
        AtLine(rig, 1, [&] {
            request(rig);
            QTimer::singleShot(kSettleMs, [&] {
                during << rig.Status();
                rig.window->close();
                QToolTip::showText(rig.window->geometry().center(), QStringLiteral("tip"));
                auto *tip = ShownTopLevel("QTipLabel");
                if (tip)
                    tip->close();
                during << rig.Status() << (rig.window->isVisible() ? "open" : "closed")
                       << (tip && !tip->isVisible() ? "tip closed" : "tip not closed");
            });
        });

        rig.Click("pbSetDateTime");

        QCOMPARE(during, QStringList({kClosing, kClosing, "open", "tip closed"}));
        QCOMPARE(Commands(rig.board), kClockLines);
        QTRY_VERIFY(!rig.window->isVisible());
        QCOMPARE(rig.Status(), kClosing);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    void unansweredLines_data()
    {
        QTest::addColumn<QList<QByteArray>>("silentPerAction"); // "-" for none, "" for every line
        QTest::addColumn<QString>("message");

        QTest::newRow("every line answered") << QList<QByteArray>{"-"} << QString();
        QTest::newRow("one line of two silent")
            << QList<QByteArray>{"ADV#TIME"}
            << "The board did not answer 1 of 2 lines: its programme may be incomplete.";
        QTest::newRow("both lines silent")
            << QList<QByteArray>{""}
            << "The board did not answer 2 of 2 lines: its programme may be incomplete.";
        QTest::newRow("a line lost by an earlier action is not told again")
            << QList<QByteArray>{"ADV#TIME", "-"} << QString();
        QTest::newRow("an earlier action's lines are not counted in")
            << QList<QByteArray>{"ADV#TIME", "ADV#DATE"}
            << "The board did not answer 1 of 2 lines: its programme may be incomplete.";
    }

    // After each action the status bar tells how many of its own lines the board left unanswered.
    void unansweredLines()
    {
        QFETCH(QList<QByteArray>, silentPerAction);
        QFETCH(QString, message);

        Rig rig;
        for (const QByteArray &silent : silentPerAction) {
            rig.board.ClearFaults();
            if (silent != "-")
                rig.board.SetFault(Fault::Silent, silent);
            rig.Click("pbSetDateTime");
        }
        QCOMPARE(rig.Status(), message);
    }

    // The command file's report counts the lines of the action alone as well.
    void commandFileCountsTheActionAlone()
    {
        const QString file = QStringLiteral("LumivorV1.txt");
        QDir().rmdir(file);
        QFile::remove(file);
        Rig rig;
        rig.ChooseBoard(BoardType::LumivorV1File);
        QVERIFY(QDir().mkdir(file));
        rig.Click("pbSetDateTime");
        QCOMPARE(rig.Status(), "LumivorV1.txt is incomplete: 2 of 2 lines could not be written.");
        QVERIFY(QDir().rmdir(file));
        rig.Click("pbfilegeneration");
        QCOMPARE(rig.Status(), QString());
        QVERIFY(QFile::remove(file) && QDir().mkdir(file));
        rig.Click("pbSetDateTime");
        QCOMPARE(rig.Status(), "LumivorV1.txt is incomplete: 2 of 2 lines could not be written.");
        QVERIFY(QDir().rmdir(file));
    }

protected:
    // Notes how many lines the board had when a watched widget got a posted event or a paint.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if ((event->type() == QEvent::User || event->type() == QEvent::Paint) &&
            !m_linesAt.contains(event->type()))
            m_linesAt[event->type()] = m_board ? m_board->ReceivedLines().size() : -1;
        return QObject::eventFilter(watched, event);
    }

private:
    QTemporaryDir m_folder;
    const CSimulatedBoard *m_board = nullptr;
    QHash<QEvent::Type, int> m_linesAt;
};

QTEST_MAIN(TestActionFeedback)
#include "test_actionfeedback.moc"
