#include "device/SettingLines.h"
#include "tests/TestProgramme.h"

#include <QtTest>

// The setting lines in a user's locale whose digits are not ASCII.

class TestSettingLines : public QObject
{
    Q_OBJECT

private slots:
    void timesInAsciiDigits()
    {
        QVERIFY(QLocale::system().toString(7) != "7"); // the locale main() chose
        WakeSessions sessions;
        sessions[1] = {1, testprogramme::At(7, 30, 0), testprogramme::At(0, 10, 0), 12};
        QCOMPARE(CSettingLines({0, 0, 0}).Wake(sessions)[1].text,
                 QByteArray("ADV#WAKE=1,1,\"07:30:00\",\"00:10:00\",12\r"));
    }
};

int main(int argc, char **argv)
{
    // Before anything asks for the user's locale.
    qputenv("LC_ALL", "ar_EG.UTF-8");
    QCoreApplication app(argc, argv);
    TestSettingLines test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_settinglines.moc"
