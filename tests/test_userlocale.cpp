#include "device/ProgrammeFile.h"
#include "device/SettingLines.h"
#include "tests/TestProgramme.h"
#include "tests/WindowRig.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QTimeEdit>
#include <QtTest>

#include <functional>

// What the tool writes for a board or a programme file, in a user's locale whose digits are not
// ASCII: the board and the file reader take ASCII digits only.

namespace {

using Written = std::function<QByteArray()>;

QByteArray WakeLine()
{
    WakeSessions sessions;
    sessions[1] = {1, testprogramme::At(7, 30, 0), testprogramme::At(0, 10, 0), 12};
    return CSettingLines({0, 0, 0}).Wake(sessions)[1].text;
}

QByteArray ProgrammeFileTime()
{
    BoardProgramme programme;
    programme.sessions[0].start = testprogramme::At(7, 30, 0);
    const QByteArray file = CProgrammeFile::Format({"KOTA", "KOTA-1.07", programme});
    const int start = file.indexOf("start=");
    return file.mid(start, file.indexOf('\n', start) - start);
}

// "Set_DateTime" with the edits' own time and date, sent to a simulated board.
QByteArray ClockLines()
{
    windowrig::Rig rig(BoardType::Kota);
    rig.Find<QCheckBox>("cDateTimeAutomatic")->setChecked(false);
    rig.Find<QTimeEdit>("eTime")->setTime(QTime(9, 5, 7));
    rig.Find<QDateEdit>("eDate")->setDate(QDate(2014, 3, 3));
    rig.board.ClearReceived();
    rig.Click("pbSetDateTime");
    return rig.board.ReceivedLines().join();
}

} // namespace

Q_DECLARE_METATYPE(Written)

class TestUserLocale : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

private slots:
    void initTestCase()
    {
        QVERIFY(QLocale::system().toString(7) != "7"); // the locale main() chose
        QVERIFY(windowrig::SetUp(m_folder));
    }

    void writtenInAsciiDigits_data()
    {
        QTest::addColumn<Written>("written");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("a WAKE line's times")
            << Written(WakeLine) << QByteArray("ADV#WAKE=1,1,\"07:30:00\",\"00:10:00\",12\r");
        QTest::newRow("a programme file's time")
            << Written(ProgrammeFileTime) << QByteArray("start=07:30:00");
        QTest::newRow("the clock's time and date lines")
            << Written(ClockLines)
            << QByteArray("ADV#TIME=\"09:05:07\"\rADV#DATE=\"03/03/2014\"\r");
    }

    void writtenInAsciiDigits()
    {
        QFETCH(Written, written);
        QFETCH(QByteArray, expected);
        QCOMPARE(written(), expected);
    }
};

int main(int argc, char **argv)
{
    // Before anything asks for the user's locale.
    qputenv("LC_ALL", "ar_EG.UTF-8");
    QApplication app(argc, argv);
    TestUserLocale test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_userlocale.moc"
