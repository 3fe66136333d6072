#include "app/MainWindow.h"
#include "device/AdvCmd.h"
#include "tests/LinkBench.h"
#include "tests/WindowRig.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

// What the window shows while an action talks to the board or writes a command file: the wait
// cursor, the moving progress bar, and afterwards a command file that could not be written whole.

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

// An edit of the first session page, saved by its button or by the save question's Yes.
void EditSession(Rig &rig)
{
    rig.Find<QTabWidget>("tabWidget")->setCurrentIndex(1);
    rig.Find<QLineEdit>("repeat_1")->setText(QStringLiteral("5"));
}

} // namespace

Q_DECLARE_METATYPE(Action)

class TestActionFeedback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(windowrig::SetUp(m_folder)); }

    void cleanup() { CAdvCmd::SetLineObserver({}); }

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
        CAdvCmd::SetLineObserver([&](const QByteArray &line) {
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
        CAdvCmd::SetLineObserver([&](const QByteArray &) {
            if (++lines == blockedAfter)
                QVERIFY(block());
        });

        action(rig);

        QCOMPARE(rig.Status(), message);
    }

private:
    QTemporaryDir m_folder;
};

QTEST_MAIN(TestActionFeedback)
#include "test_actionfeedback.moc"
