#include "app/ActionGate.h"
#include "device/AdvCmd.h"
#include "device/BackupStore.h"
#include "device/BoardSettings.h"
#include "device/BoardType.h"
#include "forms/MainWindowForm.h"
#include "pages/SuperUser.h"
#include "sim/SimulatedBoard.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

namespace {

// Bound on waiting for lines the board should already hold; met at once when they are there.
constexpr int kLineWaitMs = 20000;

// The main window's administrator tabs with their controller, without the rest of the start-up.
struct Window
{
    // The settings outlive the window, whose destruction takes the controller with it.
    CBoardSettings settings;
    CBackupStore backups;
    QMainWindow window;
    MainWindowForm form;

    Window()
    {
        form.Build(&window);
        (new CSuperUser(&form, &settings, new CActionGate(&window, &settings.Link()), &backups,
                        &window))
            ->Init();
        window.show();
    }

    template <typename T> T *Find(const QString &name) const
    {
        T *widget = window.findChild<T *>(name);
        if (!widget)
            qFatal("the window has no %s", qPrintable(name));
        return widget;
    }

    // Brings the button's tab to the front and clicks the button, as a user does.
    void Press(const QString &name)
    {
        QPushButton *button = Find<QPushButton>(name);
        for (QWidget *widget = button; widget; widget = widget->parentWidget()) {
            const int tab = form.tabWidget->indexOf(widget);
            if (tab >= 0)
                form.tabWidget->setCurrentIndex(tab);
        }
        QTest::mouseClick(button, Qt::LeftButton);
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

const QStringList kOutputCombos{"cbOutput1", "cbOutput2", "cbOutput3",
                                "cbOutput4", "cbOutput5", "cbOutput6"};
const QStringList kAnalogFields{"edit_inputA1", "edit_inputA2", "edit_vin", "edit_temperature"};
const QStringList kDigitalFields{"edit_inputL1", "edit_inputL2"};

const QString kDegreesCelsius = QString::fromUtf8("\xC2\xB0"
                                                  "C");

} // namespace

class TestSuperUser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No test may ever scan the machine's own serial ports.
        CAdvCmd::SetDefaultPortDiscovery([] { return QStringList(); });
    }

    void analogReadingsShowUnits_data()
    {
        QTest::addColumn<QStringList>("readings");
        QTest::addColumn<QStringList>("shown");

        QTest::newRow("inputs and supply in V, temperature in degrees Celsius")
            << QStringList{"1.25", "0.48", "3.30", "25"}
            << QStringList{"1.25V", "0.48V", "3.30V", "25" + kDegreesCelsius};
        QTest::newRow("readings are shown as sent, without conversion")
            << QStringList{"0", "-1.5", "12.000", "-7"}
            << QStringList{"0V", "-1.5V", "12.000V", "-7" + kDegreesCelsius};
    }

    void analogReadingsShowUnits()
    {
        QFETCH(QStringList, readings);
        QFETCH(QStringList, shown);

        CSimulatedBoard board(BoardType::LumivorV1);
        for (int channel = 1; channel <= readings.size(); ++channel)
            board.SetAnalogInput(channel, readings[channel - 1]);
        Window w;
        QVERIFY(w.Connect(&board, BoardType::LumivorV1));

        w.Press("pbGetAnalog");

        for (int i = 0; i < kAnalogFields.size(); ++i)
            QCOMPARE(w.Find<QLineEdit>(kAnalogFields[i])->text(), shown[i]);
        QCOMPARE(board.ReceivedLines(), (QList<QByteArray>{"ADV#INPUTA=1\r", "ADV#INPUTA=2\r",
                                                           "ADV#INPUTA=3\r", "ADV#INPUTA=4\r"}));
    }

    void digitalReadingsShowOnOff_data()
    {
        QTest::addColumn<QString>("input1");
        QTest::addColumn<QString>("input2");
        QTest::addColumn<QString>("shown1");
        QTest::addColumn<QString>("shown2");

        QTest::newRow("1 shows ON and 0 shows OFF") << "1"
                                                    << "0"
                                                    << "ON"
                                                    << "OFF";
        QTest::newRow("a 0 anywhere in the text shows OFF") << "10"
                                                            << "01"
                                                            << "OFF"
                                                            << "OFF";
        QTest::newRow("text without a 0 shows ON") << "2"
                                                   << "11"
                                                   << "ON"
                                                   << "ON";
    }

    void digitalReadingsShowOnOff()
    {
        QFETCH(QString, input1);
        QFETCH(QString, input2);
        QFETCH(QString, shown1);
        QFETCH(QString, shown2);

        CSimulatedBoard board(BoardType::LumivorV1);
        board.SetDigitalInput(1, input1);
        board.SetDigitalInput(2, input2);
        Window w;
        QVERIFY(w.Connect(&board, BoardType::LumivorV1));

        w.Press("pbGetDigital");

        QCOMPARE(w.form.edit_inputL1->text(), shown1);
        QCOMPARE(w.form.edit_inputL2->text(), shown2);
        QCOMPARE(board.ReceivedLines(), (QList<QByteArray>{"ADV#INPUTL=1\r", "ADV#INPUTL=2\r"}));
    }

    void failedReadingLeavesFieldEmpty_data()
    {
        QTest::addColumn<QByteArray>("silent");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("shown");

        // The simulated board reads 1.25, 0.48, 3.30, 25 and digital 0, 1 unless told otherwise.
        QTest::newRow("an unanswered digital input 2 empties its field only")
            << QByteArray("ADV#INPUTL=2") << "pbGetDigital" << kDigitalFields
            << QStringList{"OFF", ""};
        QTest::newRow("a silent board empties both digital fields")
            << QByteArray() << "pbGetDigital" << kDigitalFields << QStringList{"", ""};
        QTest::newRow("an unanswered temperature empties its field only")
            << QByteArray("ADV#INPUTA=4") << "pbGetAnalog" << kAnalogFields
            << QStringList{"1.25V", "0.48V", "3.30V", ""};
    }

    void failedReadingLeavesFieldEmpty()
    {
        QFETCH(QByteArray, silent);
        QFETCH(QString, button);
        QFETCH(QStringList, fields);
        QFETCH(QStringList, shown);

        CSimulatedBoard board(BoardType::LumivorV1);
        Window w;
        QVERIFY(w.Connect(&board, BoardType::LumivorV1));
        for (const QString &field : fields)
            w.Find<QLineEdit>(field)->setText("stale");
        board.SetFault(CSimulatedBoard::Fault::Silent, silent);

        w.Press(button);

        for (int i = 0; i < fields.size(); ++i)
            QCOMPARE(w.Find<QLineEdit>(fields[i])->text(), shown[i]);
    }

    void setOutputSendsIndexMinusOne_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QList<int>>("indices");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<QList<int>>("stored");

        QTest::newRow("empty entries, as the view opens, are sent as -1")
            << int(BoardType::LumivorV1) << QList<int>{0, 0, 0, 0, 0, 0}
            << QList<QByteArray>{"ADV#OUTPUT=1,-1\r", "ADV#OUTPUT=2,-1\r", "ADV#OUTPUT=3,-1\r",
                                 "ADV#OUTPUT=4,-1\r", "ADV#OUTPUT=5,-1\r", "ADV#OUTPUT=6,-1\r"}
            << QList<int>{-1, -1, -1, -1, -1, -1};
        QTest::newRow("every entry is sent as its index minus 1")
            << int(BoardType::LumivorV1) << QList<int>{1, 2, 3, 4, 5, 0}
            << QList<QByteArray>{"ADV#OUTPUT=1,0\r", "ADV#OUTPUT=2,1\r", "ADV#OUTPUT=3,2\r",
                                 "ADV#OUTPUT=4,3\r", "ADV#OUTPUT=5,4\r", "ADV#OUTPUT=6,-1\r"}
            << QList<int>{0, 1, 2, 3, 4, -1};
        QTest::newRow("Lumivor V2 sends outputs 1 to 4 and stores all six")
            << int(BoardType::LumivorV2) << QList<int>{5, 4, 3, 2, 1, 2}
            << QList<QByteArray>{"ADV#OUTPUT=1,4\r", "ADV#OUTPUT=2,3\r", "ADV#OUTPUT=3,2\r",
                                 "ADV#OUTPUT=4,1\r"}
            << QList<int>{4, 3, 2, 1, 0, 1};
    }

    void setOutputSendsIndexMinusOne()
    {
        QFETCH(int, type);
        QFETCH(QList<int>, indices);
        QFETCH(QList<QByteArray>, lines);
        QFETCH(QList<int>, stored);

        CSimulatedBoard board(type);
        Window w;
        QVERIFY(w.Connect(&board, type));
        for (int i = 0; i < kOutputCombos.size(); ++i)
            w.Find<QComboBox>(kOutputCombos[i])->setCurrentIndex(indices[i]);

        w.Press("pbSetOutput");

        QVERIFY(board.WaitForReceived(lines.size(), kLineWaitMs));
        QCOMPARE(board.ReceivedLines(), lines);
        const OutputModes modes = w.settings.GetOutputModes();
        QCOMPARE(QList<int>(modes.begin(), modes.end()), stored);
    }

    void getOutputShowsModel_data()
    {
        QTest::addColumn<QList<int>>("modes");
        QTest::addColumn<QStringList>("shown");

        QTest::newRow("mode 4 shows to ground during sleep, -1 the empty entry")
            << QList<int>{4, -1, 0, 1, 2, 3}
            << QStringList{
                   "to ground during sleep",   "", "automatic", "to ground", "high impedance",
                   "to ground during wake-up "};
    }

    void getOutputShowsModel()
    {
        QFETCH(QList<int>, modes);
        QFETCH(QStringList, shown);

        CSimulatedBoard board(BoardType::LumivorV1);
        Window w;
        OutputModes stored{};
        std::copy(modes.begin(), modes.end(), stored.begin());
        w.settings.SetOutputModes(stored); // the link is down: stored, not sent
        QVERIFY(w.Connect(&board, BoardType::LumivorV1));

        w.Press("pbGetOutput");

        for (int i = 0; i < kOutputCombos.size(); ++i) {
            QComboBox *combo = w.Find<QComboBox>(kOutputCombos[i]);
            QCOMPARE(combo->currentIndex(), modes[i] + 1);
            QCOMPARE(combo->currentText(), shown[i]);
        }
        QVERIFY(board.ReceivedLines().isEmpty()); // the board is not asked
    }

    void power_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("index1");
        QTest::addColumn<int>("index2");
        QTest::addColumn<QList<QByteArray>>("lines");

        QTest::newRow("empty entries are sent as -1")
            << int(BoardType::LumivorV1) << 0 << 0
            << QList<QByteArray>{"ADV#POWER=1,-1\r", "ADV#POWER=2,-1\r"};
        QTest::newRow("power on and automatic are sent as 2 and 0")
            << int(BoardType::LumivorV1) << 3 << 1
            << QList<QByteArray>{"ADV#POWER=1,2\r", "ADV#POWER=2,0\r"};
        QTest::newRow("KOTA sends rail 1 only and stores both")
            << int(BoardType::Kota) << 2 << 3 << QList<QByteArray>{"ADV#POWER=1,1\r"};
    }

    void power()
    {
        QFETCH(int, type);
        QFETCH(int, index1);
        QFETCH(int, index2);
        QFETCH(QList<QByteArray>, lines);

        CSimulatedBoard board(type);
        Window w;
        QVERIFY(w.Connect(&board, type));
        w.form.cbPower1->setCurrentIndex(index1);
        w.form.cbPower2->setCurrentIndex(index2);

        w.Press("pbSetPower");

        QVERIFY(board.WaitForReceived(lines.size(), kLineWaitMs));
        QCOMPARE(board.ReceivedLines(), lines);
        QCOMPARE(w.settings.GetPowerModes(), (PowerModes{index1 - 1, index2 - 1}));

        // Reading back shows what was stored, without asking the board.
        board.ClearReceived();
        w.form.cbPower1->setCurrentIndex(1);
        w.form.cbPower2->setCurrentIndex(2);
        w.Press("pbGetPower");
        QCOMPARE(w.form.cbPower1->currentIndex(), index1);
        QCOMPARE(w.form.cbPower2->currentIndex(), index2);
        QVERIFY(board.ReceivedLines().isEmpty());
    }

    void setBatterySendsThresholds_data()
    {
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("high");
        QTest::addColumn<QByteArray>("line");

        QTest::newRow("the pair goes as typed, low above high unchecked")
            << "3300"
            << "1000" << QByteArray("ADV#BATTERY=3300,1000\r");
        QTest::newRow("letters are sent as 0") << "3300"
                                               << "abc" << QByteArray("ADV#BATTERY=3300,0\r");
        QTest::newRow("empty fields are sent as 0") << ""
                                                    << "" << QByteArray("ADV#BATTERY=0,0\r");
    }

    void setBatterySendsThresholds()
    {
        QFETCH(QString, low);
        QFETCH(QString, high);
        QFETCH(QByteArray, line);

        CSimulatedBoard board(BoardType::LumivorV1);
        Window w;
        QVERIFY(w.Connect(&board, BoardType::LumivorV1));
        QTest::keyClicks(w.form.lelowbattery, low);
        QTest::keyClicks(w.form.lehighbattery, high);

        w.Press("pbSetBattery");

        QVERIFY(board.WaitForReceived(1, kLineWaitMs));
        QCOMPARE(board.ReceivedLines(), QList<QByteArray>{line});
    }

    void getBatteryShowsThresholds_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("high");

        // The board holds 3200 and 3500; the model holds 2900 and 3700 before the read.
        QTest::newRow("an answered read shows the board's pair") << false << "3200"
                                                                 << "3500";
        QTest::newRow("an unanswered read shows the stored pair") << true << "2900"
                                                                  << "3700";
    }

    void getBatteryShowsThresholds()
    {
        QFETCH(bool, silent);
        QFETCH(QString, low);
        QFETCH(QString, high);

        CSimulatedBoard board(BoardType::LumivorV1);
        CSimulatedBoard::Programme programme = board.GetProgramme();
        programme.battery = {3200, 3500};
        board.SetProgramme(programme);
        Window w;
        w.settings.SetBatteryThresholds({2900, 3700}); // the link is down: stored, not sent
        QVERIFY(w.Connect(&board, BoardType::LumivorV1));
        if (silent)
            board.SetFault(CSimulatedBoard::Fault::Silent, "ADV#BATTERY");

        w.Press("pbGetBattery");

        QCOMPARE(w.form.lelowbattery->text(), low);
        QCOMPARE(w.form.lehighbattery->text(), high);
        QVERIFY(!board.ReceivedLines().isEmpty());
        QCOMPARE(board.ReceivedLines().first(), QByteArray("ADV#BATTERY=?\r"));
    }
};

QTEST_MAIN(TestSuperUser)
#include "test_superuser.moc"
