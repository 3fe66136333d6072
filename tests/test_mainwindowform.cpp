#include "forms/MainWindowForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QGridLayout>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QTimeEdit>
#include <QToolBar>
#include <QtTest>
#include <memory>

namespace {

// A form built on a bare window, as the main window builds it.
struct BuiltForm
{
    BuiltForm() { form.Build(&window); }
    QMainWindow window;
    MainWindowForm form;
};

// The one object under root with this object name; fails the test when there is none or more.
template <class T> T *Find(QObject *root, const QString &name)
{
    const QList<QObject *> found = root->findChildren<QObject *>(name);
    if (found.size() != 1) {
        QTest::qFail(qPrintable(QStringLiteral("%1 objects named %2").arg(found.size()).arg(name)),
                     __FILE__, __LINE__);
        return nullptr;
    }
    return qobject_cast<T *>(found.first());
}

// The arrangement of a layout as text: widgets by object name (an unnamed caption by its text
// in quotes, an unnamed separator line as ---), the form's spacers as <> (horizontal, 40 x 20)
// and ^v (vertical, 20 x 40), nested rows and columns in (), grids in [] with each item
// prefixed by its row,column (and +span when it spans columns), sorted by position.
QString Describe(QLayoutItem *item);

QString Describe(QLayout *layout)
{
    QStringList parts;
    if (auto *grid = qobject_cast<QGridLayout *>(layout)) {
        for (int i = 0; i < grid->count(); ++i) {
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
            const QString span = columnSpan > 1 ? QStringLiteral("+%1").arg(columnSpan) : QString();
            parts << QStringLiteral("%1,%2%3:%4")
                         .arg(row)
                         .arg(column)
                         .arg(span)
                         .arg(Describe(grid->itemAt(i)));
        }
        parts.sort();
        return '[' + parts.join(' ') + ']';
    }
    for (int i = 0; i < layout->count(); ++i)
        parts << Describe(layout->itemAt(i));
    return '(' + parts.join(' ') + ')';
}

QString Describe(QLayoutItem *item)
{
    if (QWidget *widget = item->widget()) {
        if (!widget->objectName().isEmpty())
            return widget->objectName();
        if (auto *caption = qobject_cast<QLabel *>(widget))
            return '"' + caption->text() + '"';
        if (auto *line = qobject_cast<QFrame *>(widget)) {
            if (line->frameShape() == QFrame::HLine && line->frameShadow() == QFrame::Sunken)
                return QStringLiteral("---");
        }
        return QStringLiteral("?%1").arg(widget->metaObject()->className());
    }
    if (QSpacerItem *spacer = item->spacerItem()) {
        const QSizePolicy policy = spacer->sizePolicy();
        if (spacer->sizeHint() == QSize(40, 20) &&
            policy.horizontalPolicy() == QSizePolicy::Expanding &&
            policy.verticalPolicy() == QSizePolicy::Minimum)
            return QStringLiteral("<>");
        if (spacer->sizeHint() == QSize(20, 40) &&
            policy.horizontalPolicy() == QSizePolicy::Minimum &&
            policy.verticalPolicy() == QSizePolicy::Expanding)
            return QStringLiteral("^v");
        return QStringLiteral("?spacer");
    }
    return Describe(item->layout());
}

QStringList Items(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

QStringList TabTitles(const QTabWidget *tabs)
{
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    return titles;
}

// The unnamed caption of a photo-session page whose text starts with the given words.
QLabel *Caption(QWidget *page, const QString &start)
{
    for (QLabel *caption : page->findChildren<QLabel *>()) {
        if (caption->objectName().isEmpty() && caption->text().startsWith(start))
            return caption;
    }
    return nullptr;
}

QString Page(int session)
{
    return QStringLiteral("tab_%1").arg(session + 1);
}

} // namespace

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<BuiltForm> m_built; // shared by the tests that only look
    QMainWindow *Window() { return &m_built->window; }

private slots:
    void initTestCase() { m_built = std::make_unique<BuiltForm>(); }

    void windowFrame()
    {
        BuiltForm built;
        QCOMPARE(built.window.objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(built.window.windowTitle(), QStringLiteral("Lumivor"));
        QCOMPARE(built.window.size(), QSize(791, 651));
        built.window.resize(2000, 2000);
        QCOMPARE(built.window.size(), QSize(792, 700));
        built.window.resize(100, 100);
        QCOMPARE(built.window.size(), QSize(791, 536));
    }

    void windowKeepsAnObjectNameItAlreadyHas()
    {
        QMainWindow window;
        window.setObjectName(QStringLiteral("ownName"));
        MainWindowForm form;
        form.Build(&window);
        QCOMPARE(window.objectName(), QStringLiteral("ownName"));
    }

    void menusAndBars()
    {
        QMainWindow *window = Window();
        auto *menuBar = Find<QMenuBar>(window, QStringLiteral("menuBar"));
        QVERIFY(menuBar);
        QCOMPARE(window->menuBar(), menuBar);
        QStringList titles;
        for (QAction *entry : menuBar->actions())
            titles << entry->text();
        QCOMPARE(titles, QStringList({"&File", "Mode", "Help"}));

        auto *file = Find<QMenu>(menuBar, QStringLiteral("menuFile"));
        QVERIFY(file);
        QStringList entries;
        for (QAction *entry : file->actions())
            entries << (entry->isSeparator()
                            ? QStringLiteral("-")
                            : entry->objectName() + QLatin1Char(' ') + entry->text() +
                                  QLatin1Char(' ') + entry->shortcut().toString());
        QCOMPARE(entries,
                 QStringList({QString::fromUtf8("actionOpenProgramme Open Programme\u2026 Ctrl+O"),
                              QString::fromUtf8("actionOpenBackup Open Backup\u2026 Ctrl+Shift+O"),
                              QString::fromUtf8("actionSaveProgramme Save Programme\u2026 Ctrl+S"),
                              "-", "actionQuit Quit Ctrl+Q"}));

        auto *mode = Find<QMenu>(menuBar, QStringLiteral("menuAdmin"));
        QVERIFY(mode);
        QCOMPARE(mode->title(), QStringLiteral("Mode"));
        QCOMPARE(mode->actions().size(), 2);
        QCOMPARE(mode->actions()[0]->objectName(), QStringLiteral("actionStandard"));
        QCOMPARE(mode->actions()[0]->text(), QStringLiteral("NormalUser"));
        QCOMPARE(mode->actions()[1]->objectName(), QStringLiteral("actionAdmin"));
        QCOMPARE(mode->actions()[1]->text(), QStringLiteral("SuperUser"));

        auto *help = Find<QMenu>(menuBar, QStringLiteral("menuHelp"));
        QVERIFY(help);
        QCOMPARE(help->actions().size(), 1);
        QCOMPARE(help->actions()[0]->objectName(), QStringLiteral("actionVersion"));
        QCOMPARE(help->actions()[0]->text(), QStringLiteral("version 1.1.0.0"));

        auto *toolBar = Find<QToolBar>(window, QStringLiteral("mainToolBar"));
        QVERIFY(toolBar);
        QCOMPARE(window->toolBarArea(toolBar), Qt::TopToolBarArea);
        QCOMPARE(toolBar->actions().size(), 1);
        QVERIFY(toolBar->actions()[0]->isSeparator());

        auto *statusBar = Find<QStatusBar>(window, QStringLiteral("statusBar"));
        QVERIFY(statusBar);
        QCOMPARE(window->statusBar(), statusBar);
        QCOMPARE(window->centralWidget(), Find<QWidget>(window, QStringLiteral("centralWidget")));
    }

    void stripsStartAsBuilt()
    {
        QMainWindow *window = Window();
        auto *status = Find<QLabel>(window, QStringLiteral("label_Connected"));
        QVERIFY(status);
        QCOMPARE(status->text(), QStringLiteral("<font color=\"#FF0000\">Disconnected</font>"));
        QVERIFY(Qt::mightBeRichText(status->text()));
        QCOMPARE(status->font().pointSize(), 14);
        QVERIFY(!status->font().bold());
        QCOMPARE(Find<QLabel>(window, QStringLiteral("label_2"))->text(), QStringLiteral("None"));
        QCOMPARE(Find<QPushButton>(window, QStringLiteral("pbConnect"))->text(),
                 QStringLiteral("Connect"));
        auto *progress = Find<QProgressBar>(window, QStringLiteral("progressBar"));
        QCOMPARE(progress->value(), 0);
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 100);
        QVERIFY(Find<QLineEdit>(window, QStringLiteral("edit_version"))->text().isEmpty());
        QVERIFY(Find<QLineEdit>(window, QStringLiteral("leConf"))->text().isEmpty());
        auto *board = Find<QComboBox>(window, QStringLiteral("cbBoard"));
        QCOMPARE(board->currentIndex(), 0);
        QCOMPARE(board->currentText(), QStringLiteral("unknown"));
        QCOMPARE(Find<QPushButton>(window, QStringLiteral("pbfilegeneration"))->text(),
                 QStringLiteral("File Generation"));
    }

    void centralWidgetGeometry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("connection strip") << "layoutWidget" << QRect(10, 10, 721, 25);
        QTest::newRow("progress strip") << "layoutWidget1" << QRect(10, 40, 721, 23);
        QTest::newRow("version and board strip") << "layoutWidget2" << QRect(10, 70, 555, 25);
        QTest::newRow("configuration strip") << "layoutWidget3" << QRect(10, 110, 551, 22);
        QTest::newRow("tab widget") << "tabWidget" << QRect(10, 130, 762, 350);
    }

    void centralWidgetGeometry()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        auto *widget = Find<QWidget>(Window(), name);
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget()->objectName(), QStringLiteral("centralWidget"));
        QCOMPARE(widget->geometry(), geometry);
    }

    void tabWidgetCoversTheConfigurationStrip()
    {
        BuiltForm built;
        built.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&built.window));
        QWidget *central = built.form.centralWidget;
        QVERIFY(central->layout() == nullptr);
        // Row 131 belongs to both the configuration strip and the tab widget.
        QWidget *hit = central->childAt(300, 131);
        QVERIFY(hit);
        QVERIFY2(hit == built.form.tabWidget || built.form.tabWidget->isAncestorOf(hit),
                 qPrintable(hit->objectName()));
    }

    void arrangement_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("expected");
        QTest::newRow("connection strip") << "layoutWidget"
                                          << "(label_Connected <> label label_2 <> pbConnect)";
        QTest::newRow("progress strip") << "layoutWidget1"
                                        << "(progressBar)";
        QTest::newRow("version and board strip")
            << "layoutWidget2"
            << "(label_3 edit_version <> label_4 cbBoard <> pbfilegeneration <>)";
        QTest::newRow("configuration strip") << "layoutWidget3"
                                             << "(label_5 leConf)";
        QTest::newRow("general page")
            << "tab"
            << "[0,0:(label_27 eTime) 0,1:(label_28 eDate) 0,2:(pbSetDateTime pbGetDateTime) "
               "0,3:<> 1,2:cDateTimeAutomatic 2,0:^v 3,0+3:(<> pbSetConfiguration <> <>) 4,0:^v]";
        QTest::newRow("input page")
            << "tab_6"
            << "[0,0:(label_52 <> (label_53 edit_inputL1) (<> label_54 edit_inputL2) <> "
               "pbGetDigital) 0,1:<> 1,0:((label_24 (<> label_19 edit_vin) (<> label_23 "
               "edit_temperature) <> <> pbGetAnalog) ((<> <> label_20 edit_inputA1) (<> label_21 "
               "edit_inputA2) <>)) 2,0:^v]";
        QTest::newRow("output page")
            << "tab_7"
            << "[0,0:(label_46 cbOutput1 <>) 0,1:(label_49 cbOutput4 <>) 0,2:<> "
               "1,0:(label_47 cbOutput2 <>) 1,1:(label_50 cbOutput5 <>) "
               "2,0:(label_48 cbOutput3 <>) 2,1:(label_51 cbOutput6 <>) "
               "3,0+2:(<> pbSetOutput <> pbGetOutput <>) 4,0:^v]";
        QTest::newRow("power page")
            << "tab_8"
            << "[0,0:(<> label_44 cbPower1) 0,1:(<> label_45 cbPower2 <>) 0,2:<> "
               "1,0+2:(<> pbSetPower <> pbGetPower <>) 2,0:^v]";
        QTest::newRow("battery page")
            << "tab_9"
            << "[0,0:(label_55 lelowbattery) 0,1:(label_56 lehighbattery) 0,2:<> "
               "1,0+2:(<> pbSetBattery <> pbGetBattery <>) 2,0:^v]";
        const QString session =
            "[0,0:(noaction_%1 --- trigtime_%1 [0,1:(\"%2\" <> time_%1 \"HH:MM\") 1,0:<> "
            "1,1:(\"Interval between photos :\" <> interval_%1 \"HH:MM\") 2,1:(\"%3\" repeat_%1)] "
            "--- (trigin1_%1 (\"Detection :\" detect1_%1)) --- (trigin2_%1 (\"Detection :\" "
            "detect2_%1)) --- (pbGetSetting%1 <> pbSetSetting%1)) 0,1:<> "
            "0,2:((ltimepower1_%1 timepower1_%1) (ltimepower2_%1 timepower2_%1) tabWidget1_%1 ^v) "
            "0,3:<> 1,0:^v 1,2:^v]";
        const QString start = "Start time of the session : ";
        const QString photos = "Number of photos during this session :";
        QTest::newRow("photo session page 1") << "tab_2" << session.arg(1).arg(start, photos);
        QTest::newRow("photo session page 2") << "tab_3" << session.arg(2).arg(start, photos + ' ');
        QTest::newRow("photo session page 3") << "tab_4" << session.arg(3).arg(start, photos);
        QTest::newRow("photo session page 4")
            << "tab_5" << session.arg(4).arg(start.trimmed(), photos);
        const QString output = "[0,0:\"Number :\" 0,1:<> 0,2:outnumber%1_%2 1,0:\"Delay:\" 1,1:<> "
                               "1,2:outdelay%1_%2 2,0:\"Duration:\" 2,1:<> 2,2:outduration%1_%2 "
                               "3,0:\"Interval:\" 3,1:<> 3,2:outinterval%1_%2 4,0:^v]";
        QTest::newRow("output 1 of page 1") << "outnumber1_1" << output.arg(1).arg(1);
        QTest::newRow("output 4 of page 3") << "outnumber4_3" << output.arg(4).arg(3);
        QTest::newRow("output 6 of page 4") << "outnumber6_4" << output.arg(6).arg(4);
    }

    // The owner is a widget with its own layout, or a field whose parent holds the layout.
    void arrangement()
    {
        QFETCH(QString, owner);
        QFETCH(QString, expected);
        auto *widget = Find<QWidget>(Window(), owner);
        QVERIFY(widget);
        QLayout *layout = widget->layout() ? widget->layout() : widget->parentWidget()->layout();
        QVERIFY(layout);
        QCOMPARE(Describe(layout), expected);
    }

    void layoutSpacingAndMargins_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<int>("margin");
        for (const char *strip :
             {"layoutWidget", "layoutWidget1", "layoutWidget2", "layoutWidget3"})
            QTest::newRow(strip) << strip << 0;
        for (int page = 1; page <= 9; ++page) {
            const QString name =
                page == 1 ? QStringLiteral("tab") : QStringLiteral("tab_%1").arg(page);
            QTest::newRow(qPrintable(name)) << name << 11;
        }
        QTest::newRow("output sub-page 2 of page 2") << "outnumber2_2" << 11;
    }

    // The outer layout has spacing 6 and the given margins; every nested layout has spacing 6
    // and no margins of its own.
    void layoutSpacingAndMargins()
    {
        QFETCH(QString, owner);
        QFETCH(int, margin);
        auto *widget = Find<QWidget>(Window(), owner);
        QVERIFY(widget);
        QLayout *outer = widget->layout() ? widget->layout() : widget->parentWidget()->layout();
        QVERIFY(outer);
        QCOMPARE(outer->spacing(), 6);
        QCOMPARE(outer->contentsMargins(), QMargins(margin, margin, margin, margin));
        QList<QLayout *> pending{outer};
        while (!pending.isEmpty()) {
            QLayout *layout = pending.takeFirst();
            for (int i = 0; i < layout->count(); ++i) {
                if (QLayout *inner = layout->itemAt(i)->layout()) {
                    QCOMPARE(inner->spacing(), 6);
                    QCOMPARE(inner->contentsMargins(), QMargins());
                    pending << inner;
                }
            }
        }
    }

    void objectNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("container");
        const auto row = [](const QString &name, const char *className, const QString &container) {
            QTest::newRow(qPrintable(name)) << name << QString::fromLatin1(className) << container;
        };
        for (const char *action :
             {"actionVersion", "actionStandard", "actionAdmin", "actionOpenProgramme",
              "actionOpenBackup", "actionSaveProgramme", "actionQuit"})
            row(action, "QAction", "");
        row("centralWidget", "QWidget", "");
        row("menuBar", "QMenuBar", "");
        row("menuFile", "QMenu", "menuBar");
        row("menuAdmin", "QMenu", "menuBar");
        row("menuHelp", "QMenu", "menuBar");
        row("mainToolBar", "QToolBar", "");
        row("statusBar", "QStatusBar", "");
        row("tabWidget", "QTabWidget", "centralWidget");

        row("layoutWidget", "QWidget", "centralWidget");
        row("horizontalLayout", "QHBoxLayout", "layoutWidget");
        row("label_Connected", "QLabel", "layoutWidget");
        row("label", "QLabel", "layoutWidget");
        row("label_2", "QLabel", "layoutWidget");
        row("pbConnect", "QPushButton", "layoutWidget");
        row("layoutWidget1", "QWidget", "centralWidget");
        row("horizontalLayout_2", "QHBoxLayout", "layoutWidget1");
        row("progressBar", "QProgressBar", "layoutWidget1");
        row("layoutWidget2", "QWidget", "centralWidget");
        row("horizontalLayout_3", "QHBoxLayout", "layoutWidget2");
        row("label_3", "QLabel", "layoutWidget2");
        row("edit_version", "QLineEdit", "layoutWidget2");
        row("label_4", "QLabel", "layoutWidget2");
        row("cbBoard", "QComboBox", "layoutWidget2");
        row("pbfilegeneration", "QPushButton", "layoutWidget2");
        row("layoutWidget3", "QWidget", "centralWidget");
        row("horizontalLayout_62", "QHBoxLayout", "layoutWidget3");
        row("label_5", "QLabel", "layoutWidget3");
        row("leConf", "QLineEdit", "layoutWidget3");

        row("tab", "QWidget", "tabWidget");
        row("gridLayout", "QGridLayout", "tab");
        row("label_27", "QLabel", "tab");
        row("eTime", "QTimeEdit", "tab");
        row("label_28", "QLabel", "tab");
        row("eDate", "QDateEdit", "tab");
        row("pbSetDateTime", "QPushButton", "tab");
        row("pbGetDateTime", "QPushButton", "tab");
        row("cDateTimeAutomatic", "QCheckBox", "tab");
        row("pbSetConfiguration", "QPushButton", "tab");

        for (int s = 1; s <= 4; ++s) {
            const QString page = Page(s);
            const auto on = [&](const char *prefix, const char *className) {
                row(prefix + QString::number(s), className, page);
            };
            row(page, "QWidget", "tabWidget");
            on("noaction_", "QRadioButton");
            on("trigtime_", "QRadioButton");
            on("time_", "QTimeEdit");
            on("interval_", "QTimeEdit");
            on("repeat_", "QLineEdit");
            on("trigin1_", "QRadioButton");
            on("detect1_", "QComboBox");
            on("trigin2_", "QRadioButton");
            on("detect2_", "QComboBox");
            on("pbGetSetting", "QPushButton");
            on("pbSetSetting", "QPushButton");
            on("ltimepower1_", "QLabel");
            on("timepower1_", "QLineEdit");
            on("ltimepower2_", "QLabel");
            on("timepower2_", "QLineEdit");
            on("tabWidget1_", "QTabWidget");
            for (int k = 1; k <= 6; ++k) {
                for (const char *field : {"outnumber", "outdelay", "outduration", "outinterval"})
                    row(QStringLiteral("%1%2_%3").arg(field).arg(k).arg(s), "QLineEdit",
                        QStringLiteral("tabWidget1_%1").arg(s));
            }
        }

        const QString input = "tab_6";
        row(input, "QWidget", "tabWidget");
        for (const char *label : {"label_52", "label_53", "label_54", "label_24", "label_19",
                                  "label_23", "label_20", "label_21"})
            row(label, "QLabel", input);
        for (const char *field : {"edit_inputL1", "edit_inputL2", "edit_vin", "edit_temperature",
                                  "edit_inputA1", "edit_inputA2"})
            row(field, "QLineEdit", input);
        row("pbGetDigital", "QPushButton", input);
        row("pbGetAnalog", "QPushButton", input);

        const QString output = "tab_7";
        row(output, "QWidget", "tabWidget");
        for (int k = 1; k <= 6; ++k) {
            row(QStringLiteral("label_%1").arg(45 + k), "QLabel", output);
            row(QStringLiteral("cbOutput%1").arg(k), "QComboBox", output);
        }
        row("pbSetOutput", "QPushButton", output);
        row("pbGetOutput", "QPushButton", output);

        const QString power = "tab_8";
        row(power, "QWidget", "tabWidget");
        row("label_44", "QLabel", power);
        row("cbPower1", "QComboBox", power);
        row("label_45", "QLabel", power);
        row("cbPower2", "QComboBox", power);
        row("pbSetPower", "QPushButton", power);
        row("pbGetPower", "QPushButton", power);

        const QString battery = "tab_9";
        row(battery, "QWidget", "tabWidget");
        row("label_55", "QLabel", battery);
        row("lelowbattery", "QLineEdit", battery);
        row("label_56", "QLabel", battery);
        row("lehighbattery", "QLineEdit", battery);
        row("pbSetBattery", "QPushButton", battery);
        row("pbGetBattery", "QPushButton", battery);
    }

    // Found exactly once under the window, of its kind, inside its container.
    void objectNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, container);
        QObject *object = Find<QObject>(Window(), name);
        QVERIFY(object);
        QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);
        if (!container.isEmpty()) {
            QObject *ancestor = object->parent();
            while (ancestor && ancestor->objectName() != container)
                ancestor = ancestor->parent();
            QVERIFY2(ancestor, qPrintable(name + " is not inside " + container));
        }
    }

    void tabWidgetProperties()
    {
        auto *tabs = Find<QTabWidget>(Window(), QStringLiteral("tabWidget"));
        QVERIFY(tabs);
        QCOMPARE(TabTitles(tabs),
                 QStringList({"General", "Photo Session 1", "Photo Session 2", "Photo Session 3",
                              "Photo Session 4", "Input", "Output", "Power", "Battery protector"}));
        QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("tab_2"));
        QCOMPARE(tabs->minimumSize(), QSize(762, 280));
        QCOMPARE(tabs->maximumSize(), QSize(762, 350));
        const QPalette palette = tabs->palette();
        QCOMPARE(palette.color(QPalette::Active, QPalette::Base), QColor(0, 85, 255));
        QCOMPARE(palette.color(QPalette::Inactive, QPalette::Base), QColor(0, 85, 255));
        QCOMPARE(palette.color(QPalette::Disabled, QPalette::Base), QColor(240, 240, 240));
        QCOMPARE(palette.color(QPalette::Active, QPalette::Window),
                 QApplication::palette().color(QPalette::Active, QPalette::Window));
        QCOMPARE(tabs->styleSheet(), QStringLiteral("QTabWidget::pane {\nmargin: 0px,1px,1px,1px;\n"
                                                    "border: 1px solid #020202;\n"
                                                    "border-radius: 7px;\npadding: 1px;\n"
                                                    "background-color: #E6E6E3;\n}"));
        QCOMPARE(
            tabs->toolTip(),
            QStringLiteral("<html><head/><body><p>Page de <br>support en ligne</p></body></html>"));
    }

    void pagePalettes_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("ownPalette");
        QTest::newRow("General is white") << "tab" << true;
        QTest::newRow("Photo Session 1 is white") << "tab_2" << true;
        for (const char *page : {"tab_3", "tab_4", "tab_5", "tab_6", "tab_7", "tab_8", "tab_9"})
            QTest::newRow(qPrintable(QStringLiteral("%1 inherits").arg(page))) << page << false;
    }

    void pagePalettes()
    {
        QFETCH(QString, page);
        QFETCH(bool, ownPalette);
        auto *widget = Find<QWidget>(Window(), page);
        QVERIFY(widget);
        QCOMPARE(widget->testAttribute(Qt::WA_SetPalette), ownPalette);
        if (ownPalette) {
            QCOMPARE(widget->palette().color(QPalette::Active, QPalette::Base), QColor(Qt::white));
            QCOMPARE(widget->palette().color(QPalette::Inactive, QPalette::Base),
                     QColor(Qt::white));
            QCOMPARE(widget->palette().color(QPalette::Disabled, QPalette::Base),
                     QColor(240, 240, 240));
        }
    }

    void generalPage()
    {
        QMainWindow *window = Window();
        auto *time = Find<QTimeEdit>(window, QStringLiteral("eTime"));
        QCOMPARE(time->displayFormat(), QStringLiteral("HH:mm:ss"));
        QCOMPARE(time->time(), QTime(0, 0));
        QVERIFY(!Find<QDateEdit>(window, QStringLiteral("eDate"))->calendarPopup());
        auto *automatic = Find<QCheckBox>(window, QStringLiteral("cDateTimeAutomatic"));
        QVERIFY(automatic->isChecked());
        QCOMPARE(automatic->text(), QStringLiteral("synchronization from PC "));
        QCOMPARE(Find<QPushButton>(window, QStringLiteral("pbSetDateTime"))->text(),
                 QStringLiteral("Set_DateTime"));
        QCOMPARE(Find<QPushButton>(window, QStringLiteral("pbGetDateTime"))->text(),
                 QStringLiteral("Get_DateTime"));
        QCOMPARE(Find<QPushButton>(window, QStringLiteral("pbSetConfiguration"))->text(),
                 QStringLiteral("SetConfiguration"));
    }

    void sessionPageDifferences_data()
    {
        QTest::addColumn<int>("session");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("currentOutput");
        QTest::addColumn<QString>("startCaption");
        QTest::addColumn<QString>("photosCaption");
        QTest::addColumn<int>("intervalAlignment");
        const QString start = "Start time of the session : ";
        const QString photos = "Number of photos during this session :";
        const int left = Qt::AlignLeft | Qt::AlignVCenter;
        const int right = Qt::AlignRight | Qt::AlignVCenter;
        QTest::newRow("page 1") << 1 << "Photo Session 1"
                                << "out1" << start << photos << left;
        QTest::newRow("page 2: blank after the photos caption")
            << 2 << "Photo Session 2"
            << "out1" << start << photos + ' ' << left;
        QTest::newRow("page 3: interval caption aligned right")
            << 3 << "Photo Session 3"
            << "out1" << start << photos << right;
        QTest::newRow("page 4: shows out6, no blank after the start caption")
            << 4 << "Photo Session 4"
            << "out6"
            << "Start time of the session :" << photos << left;
    }

    void sessionPageDifferences()
    {
        QFETCH(int, session);
        QFETCH(QString, title);
        QFETCH(QString, currentOutput);
        QFETCH(QString, startCaption);
        QFETCH(QString, photosCaption);
        QFETCH(int, intervalAlignment);
        auto *tabs = Find<QTabWidget>(Window(), QStringLiteral("tabWidget"));
        auto *page = Find<QWidget>(Window(), Page(session));
        QVERIFY(page);
        QCOMPARE(tabs->indexOf(page), session);
        QCOMPARE(tabs->tabText(session), title);
        auto *outputs = Find<QTabWidget>(page, QStringLiteral("tabWidget1_%1").arg(session));
        QCOMPARE(outputs->tabText(outputs->currentIndex()), currentOutput);
        QLabel *start = Caption(page, QStringLiteral("Start time"));
        QVERIFY(start);
        QCOMPARE(start->text(), startCaption);
        QLabel *photos = Caption(page, QStringLiteral("Number of photos"));
        QVERIFY(photos);
        QCOMPARE(photos->text(), photosCaption);
        QLabel *interval = Caption(page, QStringLiteral("Interval between"));
        QVERIFY(interval);
        QCOMPARE(int(interval->alignment()), intervalAlignment);
        int units = 0;
        for (QLabel *caption : page->findChildren<QLabel *>()) {
            if (caption->text() == QStringLiteral("HH:MM")) {
                QCOMPARE(caption->alignment(), Qt::AlignRight | Qt::AlignVCenter);
                ++units;
            }
        }
        QCOMPARE(units, 2);
    }

    void sessionPageStartState_data()
    {
        QTest::addColumn<int>("session");
        for (int s = 1; s <= 4; ++s)
            QTest::newRow(qPrintable(QStringLiteral("page %1").arg(s))) << s;
    }

    void sessionPageStartState()
    {
        QFETCH(int, session);
        QWidget *page = Find<QWidget>(Window(), Page(session));
        QVERIFY(page);
        const auto named = [session](const char *prefix) {
            return prefix + QString::number(session);
        };
        QVERIFY(Find<QRadioButton>(page, named("noaction_"))->isChecked());
        for (const char *radio : {"trigtime_", "trigin1_", "trigin2_"})
            QVERIFY(!Find<QRadioButton>(page, named(radio))->isChecked());
        QCOMPARE(Find<QRadioButton>(page, named("noaction_"))->text(), QStringLiteral("no action"));
        QCOMPARE(Find<QRadioButton>(page, named("trigtime_"))->text(),
                 QStringLiteral("triggerred by time"));
        QCOMPARE(Find<QRadioButton>(page, named("trigin1_"))->text(),
                 QStringLiteral("triggerred by input 1"));
        QCOMPARE(Find<QRadioButton>(page, named("trigin2_"))->text(),
                 QStringLiteral("triggerred by input 2"));
        for (const char *time : {"time_", "interval_"}) {
            auto *edit = Find<QTimeEdit>(page, named(time));
            QCOMPARE(edit->time(), QTime(0, 0));
            QCOMPARE(edit->displayFormat(), QTimeEdit().displayFormat());
        }
        for (const char *detect : {"detect1_", "detect2_"})
            QCOMPARE(Find<QComboBox>(page, named(detect))->currentIndex(), 0);
        for (QLineEdit *field : page->findChildren<QLineEdit *>()) {
            if (field->objectName().startsWith(QLatin1String("qt_")))
                continue; // the editors inside the time edits
            QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));
            QVERIFY(!field->validator());
            QVERIFY(field->inputMask().isEmpty());
        }
        QCOMPARE(Find<QPushButton>(page, named("pbGetSetting"))->text(),
                 QStringLiteral("GetSettings"));
        QCOMPARE(Find<QPushButton>(page, named("pbSetSetting"))->text(),
                 QStringLiteral("SetSettings"));
        QCOMPARE(Find<QLabel>(page, named("ltimepower1_"))->text(),
                 QStringLiteral("Time Power 1:"));
        QCOMPARE(Find<QLabel>(page, named("ltimepower2_"))->text(),
                 QStringLiteral("Time Power 2:"));

        // Sub-page K of the output tab widget is "outK" and holds the four fields of output K.
        auto *outputs = Find<QTabWidget>(page, named("tabWidget1_"));
        QCOMPARE(TabTitles(outputs), QStringList({"out1", "out2", "out3", "out4", "out5", "out6"}));
        for (int k = 1; k <= 6; ++k) {
            for (const char *field : {"outnumber", "outdelay", "outduration", "outinterval"}) {
                auto *edit =
                    Find<QLineEdit>(page, QStringLiteral("%1%2_%3").arg(field).arg(k).arg(session));
                QVERIFY(edit);
                QCOMPARE(edit->parentWidget(), outputs->widget(k - 1));
            }
        }
    }

    void comboItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("items");
        const QStringList detection{"", "occur when the input is grounded",
                                    "occur when the input is not grounded"};
        const QStringList outputModes{"",
                                      "automatic",
                                      "to ground",
                                      "high impedance",
                                      "to ground during wake-up ",
                                      "to ground during sleep"};
        QTest::newRow("board types")
            << "cbBoard"
            << QStringList{"unknown",        "Lumivor V1",           "Lumivor V2",          "KOTA",
                           "KOTA file mode", "Lumivor V1 file mode", "Lumivor V2 file mode"};
        for (int s = 1; s <= 4; ++s) {
            for (int input = 1; input <= 2; ++input) {
                const QString name = QStringLiteral("detect%1_%2").arg(input).arg(s);
                QTest::newRow(qPrintable("detection " + name)) << name << detection;
            }
        }
        for (int k = 1; k <= 6; ++k) {
            const QString name = QStringLiteral("cbOutput%1").arg(k);
            QTest::newRow(qPrintable("output modes " + name)) << name << outputModes;
        }
        QTest::newRow("power 1 reads \"Power on\"")
            << "cbPower1" << QStringList{"", "Automatic", "Power off", "Power on"};
        QTest::newRow("power 2 reads \"power on\"")
            << "cbPower2" << QStringList{"", "Automatic", "Power off", "power on"};
    }

    void comboItems()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, items);
        auto *combo = Find<QComboBox>(Window(), name);
        QVERIFY(combo);
        QCOMPARE(Items(combo), items);
        QCOMPARE(combo->currentIndex(), 0);
    }

    void applyTextsResetsTextsAndLists()
    {
        BuiltForm built;
        MainWindowForm &form = built.form;
        form.cbBoard->setCurrentIndex(4);
        form.sessions[1].detect2->setCurrentIndex(2);
        form.cbPower2->setCurrentIndex(3);
        form.label_2->setText(QStringLiteral("/dev/pts/9"));
        // The battery page out of the tab widget and back under another title at another index.
        for (int index = 8; index >= 5; --index)
            form.tabWidget->removeTab(index);
        form.tabWidget->insertTab(5, form.tab_9, QStringLiteral("Battery Protected"));

        form.ApplyTexts(&built.window);

        QCOMPARE(form.cbBoard->count(), 7);
        QCOMPARE(form.cbBoard->currentText(), QStringLiteral("unknown"));
        QCOMPARE(form.sessions[1].detect2->count(), 3);
        QCOMPARE(form.sessions[1].detect2->currentIndex(), 0);
        QCOMPARE(form.cbPower2->count(), 4);
        QCOMPARE(form.cbPower2->currentIndex(), 0);
        QCOMPARE(form.label_2->text(), QStringLiteral("None"));
        QCOMPARE(TabTitles(form.tabWidget),
                 QStringList({"General", "Photo Session 1", "Photo Session 2", "Photo Session 3",
                              "Photo Session 4", "Battery protector"}));
    }

    void toolTips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("toolTip");
        for (int s = 1; s <= 4; ++s) {
            QTest::newRow(qPrintable(QStringLiteral("input 1 on page %1").arg(s)))
                << QStringLiteral("trigin1_%1").arg(s) << "coucou";
            QTest::newRow(qPrintable(QStringLiteral("none on input 2 of page %1").arg(s)))
                << QStringLiteral("trigin2_%1").arg(s) << "";
        }
        QTest::newRow("tab widget")
            << "tabWidget"
            << "<html><head/><body><p>Page de <br>support en ligne</p></body></html>";
    }

    void toolTips()
    {
        QFETCH(QString, name);
        QFETCH(QString, toolTip);
        auto *widget = Find<QWidget>(Window(), name);
        QVERIFY(widget);
        QCOMPARE(widget->toolTip(), toolTip);
        QVERIFY(widget->whatsThis().isEmpty());
        QVERIFY(widget->accessibleDescription().isEmpty());
    }

    void sizeLimits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("maximumWidth");
        QTest::addColumn<int>("maxLength"); // line edits only, else 0
        for (int s = 1; s <= 4; ++s) {
            const QString page = QString::number(s);
            QTest::newRow(qPrintable("repeat_" + page)) << "repeat_" + page << 70 << 3;
            QTest::newRow(qPrintable("detect1_" + page)) << "detect1_" + page << 250 << 0;
            QTest::newRow(qPrintable("detect2_" + page)) << "detect2_" + page << 250 << 0;
            QTest::newRow(qPrintable("timepower1_" + page))
                << "timepower1_" + page << QWIDGETSIZE_MAX << 32767;
            for (int k = 1; k <= 6; ++k) {
                for (const char *field : {"outnumber", "outdelay", "outduration", "outinterval"}) {
                    const QString name = QStringLiteral("%1%2_%3").arg(field).arg(k).arg(s);
                    QTest::newRow(qPrintable(name)) << name << 100 << 32767;
                }
            }
        }
        for (int k = 1; k <= 6; ++k) {
            const QString name = QStringLiteral("cbOutput%1").arg(k);
            QTest::newRow(qPrintable(name)) << name << 130 << 0;
        }
        QTest::newRow("cbPower1") << "cbPower1" << 130 << 0;
        QTest::newRow("cbPower2") << "cbPower2" << 130 << 0;
        QTest::newRow("lelowbattery") << "lelowbattery" << QWIDGETSIZE_MAX << 32767;
        QTest::newRow("lehighbattery") << "lehighbattery" << QWIDGETSIZE_MAX << 32767;
        QTest::newRow("leConf") << "leConf" << QWIDGETSIZE_MAX << 32767;
    }

    void sizeLimits()
    {
        QFETCH(QString, name);
        QFETCH(int, maximumWidth);
        QFETCH(int, maxLength);
        auto *widget = Find<QWidget>(Window(), name);
        QVERIFY(widget);
        QCOMPARE(widget->maximumWidth(), maximumWidth);
        QCOMPARE(widget->maximumHeight(), QWIDGETSIZE_MAX);
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            QCOMPARE(edit->maxLength(), maxLength);
    }

    void typing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        for (int s = 1; s <= 4; ++s)
            QTest::newRow(qPrintable(QStringLiteral("repeat_%1 refuses a fourth character").arg(s)))
                << QStringLiteral("repeat_%1").arg(s) << "1234"
                << "123";
        for (const char *field : {"edit_version", "edit_inputL1", "edit_inputL2", "edit_vin",
                                  "edit_temperature", "edit_inputA1", "edit_inputA2"})
            QTest::newRow(qPrintable(QStringLiteral("%1 is read-only").arg(field))) << field << "12"
                                                                                    << "";
        QTest::newRow("leConf accepts typing") << "leConf"
                                               << "my.ini"
                                               << "my.ini";
        QTest::newRow("lelowbattery takes anything") << "lelowbattery"
                                                     << "33x0"
                                                     << "33x0";
        QTest::newRow("lehighbattery takes anything") << "lehighbattery"
                                                      << "high"
                                                      << "high";
        QTest::newRow("timepower2_3 takes any length") << "timepower2_3"
                                                       << "123456"
                                                       << "123456";
    }

    // Typed into the field on its page, made current, in a shown window.
    void typing()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        BuiltForm built;
        built.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&built.window));
        auto *field = Find<QLineEdit>(&built.window, name);
        QVERIFY(field);
        for (QWidget *page = field; page; page = page->parentWidget()) {
            if (built.form.tabWidget->indexOf(page) >= 0)
                built.form.tabWidget->setCurrentWidget(page);
        }
        QVERIFY(field->isVisible());
        QTest::keyClicks(field, typed);
        QCOMPARE(field->text(), shown);
    }

    void radioButtonsExclusivePerPage_data()
    {
        QTest::addColumn<int>("session");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("checked");
        QTest::newRow("time on page 1") << 1 << QStringList{"trigtime_"} << "trigtime_";
        QTest::newRow("input 1 on page 2") << 2 << QStringList{"trigin1_"} << "trigin1_";
        QTest::newRow("input 2 after input 1 on page 3")
            << 3 << QStringList{"trigin1_", "trigin2_"} << "trigin2_";
        QTest::newRow("back to no action on page 4")
            << 4 << QStringList{"trigtime_", "noaction_"} << "noaction_";
    }

    void radioButtonsExclusivePerPage()
    {
        QFETCH(int, session);
        QFETCH(QStringList, clicks);
        QFETCH(QString, checked);
        BuiltForm built;
        built.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&built.window));
        built.form.tabWidget->setCurrentIndex(session);
        for (const QString &radio : clicks) {
            auto *button = Find<QRadioButton>(&built.window, radio + QString::number(session));
            QVERIFY(button);
            // On the indicator: the button may be wider than its indicator and text.
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
            QVERIFY(button->isChecked());
        }
        for (int s = 1; s <= 4; ++s) {
            for (const char *radio : {"noaction_", "trigtime_", "trigin1_", "trigin2_"}) {
                const bool expected = s == session ? checked == QLatin1String(radio)
                                                   : qstrcmp(radio, "noaction_") == 0;
                const QString name = radio + QString::number(s);
                QVERIFY2(Find<QRadioButton>(&built.window, name)->isChecked() == expected,
                         qPrintable(name));
            }
        }
    }

    void iconHasSixSizes()
    {
        QList<QSize> sizes = Window()->windowIcon().availableSizes();
        std::sort(sizes.begin(), sizes.end(),
                  [](const QSize &a, const QSize &b) { return a.width() < b.width(); });
        const QList<QSize> expected{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}};
        QCOMPARE(sizes, expected);

        QImageReader reader(QStringLiteral(":/new/icon/myappico.ico"));
        QCOMPARE(reader.format(), QByteArray("ico"));
        QCOMPARE(reader.imageCount(), 6);
        QList<QSize> stored;
        for (int i = 0; i < reader.imageCount(); ++i) {
            QVERIFY(reader.jumpToImage(i));
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
            QCOMPARE(image.depth(), 32);
            QVERIFY(image.hasAlphaChannel());
            stored << image.size();
        }
        QCOMPARE(stored, expected);
    }
};

QTEST_MAIN(TestMainWindowForm)
#include "test_mainwindowform.moc"
