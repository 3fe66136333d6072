#include "app/MainWindow.h"
#include "device/AdvCmd.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
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

const QStringList kStandardTitles{"General", "Photo Session 1", "Photo Session 2",
                                  "Photo Session 3", "Photo Session 4"};
const QStringList kStandardPages{"tab", "tab_2", "tab_3", "tab_4", "tab_5"};
const QStringList kAdminTitles =
    kStandardTitles + QStringList{"Input", "Output", "Power", "Battery Protected"};
const QStringList kAdminPages = kStandardPages + QStringList{"tab_6", "tab_7", "tab_8", "tab_9"};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // The window looks for a board when it starts: it must find none.
    void initTestCase()
    {
        CAdvCmd::SetPortDiscovery([] { return QStringList(); });
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
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
