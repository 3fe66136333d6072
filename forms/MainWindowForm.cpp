#include "forms/MainWindowForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolBar>
#include <QVBoxLayout>
#include <initializer_list>
#include <type_traits>

// The icon resource is compiled into the form's static library, whose registration code the
// linker would otherwise drop; registering it here makes it available to every program that
// builds the form (repeated registrations are ignored). Must stand outside any namespace.
static void RegisterIconResource()
{
    Q_INIT_RESOURCE(icon);
}

namespace {

const char kIconPath[] = ":/new/icon/myappico.ico";
constexpr int kSpacing = 6;
constexpr int kPageMargin = 11;

// The few ways in which the four photo-session pages differ.
struct SessionPageLook
{
    const char *title;
    bool ownPalette;
    int currentOutputPage;
    const char *startCaption;
    const char *repeatCaption;
    Qt::Alignment intervalAlignment;
};

const char kStartCaption[] = QT_TRANSLATE_NOOP("MainWindow", "Start time of the session : ");
const char kRepeatCaption[] =
    QT_TRANSLATE_NOOP("MainWindow", "Number of photos during this session :");

const std::array<SessionPageLook, MainWindowForm::kSessionCount> kSessionLooks{{
    {QT_TRANSLATE_NOOP("MainWindow", "Photo Session 1"), true, 0, kStartCaption, kRepeatCaption,
     Qt::AlignLeft},
    {QT_TRANSLATE_NOOP("MainWindow", "Photo Session 2"), false, 0, kStartCaption,
     QT_TRANSLATE_NOOP("MainWindow", "Number of photos during this session : "), Qt::AlignLeft},
    {QT_TRANSLATE_NOOP("MainWindow", "Photo Session 3"), false, 0, kStartCaption, kRepeatCaption,
     Qt::AlignRight},
    {QT_TRANSLATE_NOOP("MainWindow", "Photo Session 4"), false, 5,
     QT_TRANSLATE_NOOP("MainWindow", "Start time of the session :"), kRepeatCaption, Qt::AlignLeft},
}};

// Object-name prefixes and captions of the four fields of an output sub-page, top to bottom.
const std::array<const char *, 4> kOutputFieldPrefixes{"outnumber", "outdelay", "outduration",
                                                       "outinterval"};
const std::array<const char *, 4> kOutputFieldCaptions{
    QT_TRANSLATE_NOOP("MainWindow", "Number :"), QT_TRANSLATE_NOOP("MainWindow", "Delay:"),
    QT_TRANSLATE_NOOP("MainWindow", "Duration:"), QT_TRANSLATE_NOOP("MainWindow", "Interval:")};

const std::array<const char *, MainWindowForm::kOutputCount> kOutputPageTitles{
    QT_TRANSLATE_NOOP("MainWindow", "out1"), QT_TRANSLATE_NOOP("MainWindow", "out2"),
    QT_TRANSLATE_NOOP("MainWindow", "out3"), QT_TRANSLATE_NOOP("MainWindow", "out4"),
    QT_TRANSLATE_NOOP("MainWindow", "out5"), QT_TRANSLATE_NOOP("MainWindow", "out6")};

QString Text(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

template <class W, class Parent> W *Make(Parent parent, const QString &objectName)
{
    auto *object = new W(parent);
    object->setObjectName(objectName);
    return object;
}

QSpacerItem *HSpacer()
{
    return new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
}

QSpacerItem *VSpacer()
{
    return new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
}

QFrame *Separator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// A palette that sets only the Base role: the given colour when enabled, light grey disabled.
QPalette BasePalette(const QColor &base)
{
    QPalette palette;
    palette.setBrush(QPalette::Active, QPalette::Base, base);
    palette.setBrush(QPalette::Inactive, QPalette::Base, base);
    palette.setBrush(QPalette::Disabled, QPalette::Base, QColor(240, 240, 240));
    return palette;
}

QGridLayout *PageGrid(QWidget *page)
{
    auto *grid = new QGridLayout(page);
    grid->setSpacing(kSpacing);
    grid->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    return grid;
}

// One entry of a row or column: a widget, a nested layout or a spacer.
struct Item
{
    Item(QWidget *w) : widget(w) {}
    Item(QLayout *l) : layout(l) {}
    Item(QSpacerItem *s) : spacer(s) {}
    QWidget *widget = nullptr;
    QLayout *layout = nullptr;
    QSpacerItem *spacer = nullptr;
};

void Fill(QBoxLayout *box, std::initializer_list<Item> items)
{
    for (const Item &item : items) {
        if (item.widget)
            box->addWidget(item.widget);
        else if (item.layout)
            box->addLayout(item.layout);
        else
            box->addItem(item.spacer);
    }
}

template <class Box> Box *Nested(std::initializer_list<Item> items)
{
    auto *box = new Box;
    box->setSpacing(kSpacing);
    box->setContentsMargins(0, 0, 0, 0);
    Fill(box, items);
    return box;
}

QHBoxLayout *Row(std::initializer_list<Item> items)
{
    return Nested<QHBoxLayout>(items);
}

QVBoxLayout *Column(std::initializer_list<Item> items)
{
    return Nested<QVBoxLayout>(items);
}

// The row layout of a strip above the tabs, which fills its container widget.
QHBoxLayout *StripLayout(QWidget *strip, const char *objectName)
{
    auto *box = Make<QHBoxLayout>(strip, objectName);
    box->setSpacing(kSpacing);
    box->setContentsMargins(0, 0, 0, 0);
    return box;
}

void SetItems(QComboBox *combo, std::initializer_list<const char *> items)
{
    QStringList texts;
    for (const char *item : items)
        texts << Text(item);
    combo->clear();
    combo->insertItems(0, texts);
}

void SetDetectionItems(QComboBox *combo)
{
    SetItems(combo,
             {"", "occur when the input is grounded", "occur when the input is not grounded"});
}

QLabel *UnitCaption(QWidget *parent)
{
    auto *caption = new QLabel(parent);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return caption;
}

} // namespace

// Creates the object held by `member` on `parent`, with the member's name as its object name.
#define CREATE(member, parent)                                                                     \
    member = Make<std::remove_pointer_t<decltype(member)>>(parent, QStringLiteral(#member))

void MainWindowForm::Build(QMainWindow *window)
{
    RegisterIconResource();
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(791, 651);
    window->setMinimumSize(791, 536);
    window->setMaximumSize(792, 700);
    QIcon icon;
    icon.addFile(QString::fromLatin1(kIconPath), QSize(), QIcon::Normal, QIcon::Off);
    window->setWindowIcon(icon);

    CREATE(actionVersion, window);
    CREATE(actionStandard, window);
    CREATE(actionAdmin, window);
    CREATE(actionOpenProgramme, window);
    actionOpenProgramme->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    CREATE(actionOpenBackup, window);
    actionOpenBackup->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    CREATE(actionSaveProgramme, window);
    actionSaveProgramme->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    CREATE(actionQuit, window);
    actionQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    CREATE(centralWidget, window);

    CREATE(tabWidget, centralWidget);
    tabWidget->setGeometry(10, 130, 762, 350);
    tabWidget->setMinimumSize(762, 280);
    tabWidget->setMaximumSize(762, 350);
    tabWidget->setPalette(BasePalette(QColor(0, 85, 255)));
    tabWidget->setStyleSheet(QStringLiteral("QTabWidget::pane {\n"
                                            "margin: 0px,1px,1px,1px;\n"
                                            "border: 1px solid #020202;\n"
                                            "border-radius: 7px;\n"
                                            "padding: 1px;\n"
                                            "background-color: #E6E6E3;\n"
                                            "}"));
    BuildGeneralPage();
    tab_2 = BuildSessionPage(0);
    tab_3 = BuildSessionPage(1);
    tab_4 = BuildSessionPage(2);
    tab_5 = BuildSessionPage(3);
    BuildInputPage();
    BuildOutputPage();
    BuildPowerPage();
    BuildBatteryPage();

    BuildStrips();
    window->setCentralWidget(centralWidget);
    // Above the strips, so the tab widget covers the configuration strip where they overlap.
    tabWidget->raise();

    CREATE(menuBar, window);
    menuBar->setGeometry(0, 0, 791, 21);
    CREATE(menuFile, menuBar);
    CREATE(menuAdmin, menuBar);
    CREATE(menuHelp, menuBar);
    window->setMenuBar(menuBar);
    CREATE(mainToolBar, window);
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);
    CREATE(statusBar, window);
    window->setStatusBar(statusBar);

    menuBar->addAction(menuFile->menuAction());
    menuBar->addAction(menuAdmin->menuAction());
    menuBar->addAction(menuHelp->menuAction());
    menuFile->addAction(actionOpenProgramme);
    menuFile->addAction(actionOpenBackup);
    menuFile->addAction(actionSaveProgramme);
    menuFile->addSeparator();
    menuFile->addAction(actionQuit);
    menuAdmin->addAction(actionStandard);
    menuAdmin->addAction(actionAdmin);
    menuHelp->addAction(actionVersion);
    mainToolBar->addSeparator();

    ApplyTexts(window);

    tabWidget->setCurrentIndex(1);
    for (int index = 0; index < kSessionCount; ++index)
        sessions[index].tabWidget1->setCurrentIndex(kSessionLooks[index].currentOutputPage);

    QMetaObject::connectSlotsByName(window);
}

void MainWindowForm::BuildGeneralPage()
{
    CREATE(tab, nullptr);
    tab->setPalette(BasePalette(Qt::white));
    gridLayout = PageGrid(tab);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));

    CREATE(label_27, tab);
    CREATE(eTime, tab);
    eTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    CREATE(label_28, tab);
    CREATE(eDate, tab);
    CREATE(pbSetDateTime, tab);
    CREATE(pbGetDateTime, tab);
    CREATE(cDateTimeAutomatic, tab);
    cDateTimeAutomatic->setChecked(true);
    CREATE(pbSetConfiguration, tab);

    gridLayout->addLayout(Row({label_27, eTime}), 0, 0);
    gridLayout->addLayout(Row({label_28, eDate}), 0, 1);
    gridLayout->addLayout(Row({pbSetDateTime, pbGetDateTime}), 0, 2);
    gridLayout->addItem(HSpacer(), 0, 3);
    gridLayout->addWidget(cDateTimeAutomatic, 1, 2);
    gridLayout->addItem(VSpacer(), 2, 0);
    gridLayout->addLayout(Row({HSpacer(), pbSetConfiguration, HSpacer(), HSpacer()}), 3, 0, 1, 3);
    gridLayout->addItem(VSpacer(), 4, 0);

    tabWidget->addTab(tab, QString());
}

QWidget *MainWindowForm::BuildSessionPage(int index)
{
    const SessionPageLook &look = kSessionLooks[index];
    const QString number = QString::number(index + 1);
    const auto name = [&number](const char *prefix) { return QLatin1String(prefix) + number; };
    SessionPage &p = sessions[index];
    SessionCaptions &c = m_sessionCaptions[index];

    auto *page = Make<QWidget>(nullptr, QStringLiteral("tab_%1").arg(index + 2));
    if (look.ownPalette)
        page->setPalette(BasePalette(Qt::white));
    QGridLayout *grid = PageGrid(page);

    // Trigger column. The four radio buttons are direct children of the page, which makes
    // them one exclusive group per page.
    p.noaction = Make<QRadioButton>(page, name("noaction_"));
    p.noaction->setChecked(true);
    QFrame *lineTime = Separator(page);
    p.trigtime = Make<QRadioButton>(page, name("trigtime_"));
    c.start = new QLabel(page);
    p.time = Make<QTimeEdit>(page, name("time_"));
    c.startUnit = UnitCaption(page);
    c.interval = new QLabel(page);
    c.interval->setAlignment(look.intervalAlignment | Qt::AlignVCenter);
    p.interval = Make<QTimeEdit>(page, name("interval_"));
    c.intervalUnit = UnitCaption(page);
    c.repeat = new QLabel(page);
    p.repeat = Make<QLineEdit>(page, name("repeat_"));
    p.repeat->setMaximumWidth(70);
    p.repeat->setMaxLength(kRepeatMaxLength);
    QFrame *lineInput1 = Separator(page);
    p.trigin1 = Make<QRadioButton>(page, name("trigin1_"));
    c.detect1 = new QLabel(page);
    p.detect1 = Make<QComboBox>(page, name("detect1_"));
    p.detect1->setMaximumWidth(250);
    QFrame *lineInput2 = Separator(page);
    p.trigin2 = Make<QRadioButton>(page, name("trigin2_"));
    c.detect2 = new QLabel(page);
    p.detect2 = Make<QComboBox>(page, name("detect2_"));
    p.detect2->setMaximumWidth(250);
    QFrame *lineButtons = Separator(page);
    p.pbGetSetting = Make<QPushButton>(page, name("pbGetSetting"));
    p.pbSetSetting = Make<QPushButton>(page, name("pbSetSetting"));

    auto *timeBlock = new QGridLayout;
    timeBlock->setSpacing(kSpacing);
    timeBlock->setContentsMargins(0, 0, 0, 0);
    timeBlock->addItem(HSpacer(), 1, 0);
    timeBlock->addLayout(Row({c.start, HSpacer(), p.time, c.startUnit}), 0, 1);
    timeBlock->addLayout(Row({c.interval, HSpacer(), p.interval, c.intervalUnit}), 1, 1);
    timeBlock->addLayout(Row({c.repeat, p.repeat}), 2, 1);

    grid->addLayout(Column({p.noaction, lineTime, p.trigtime, timeBlock, lineInput1,
                            Row({p.trigin1, Row({c.detect1, p.detect1})}), lineInput2,
                            Row({p.trigin2, Row({c.detect2, p.detect2})}), lineButtons,
                            Row({p.pbGetSetting, HSpacer(), p.pbSetSetting})}),
                    0, 0);
    grid->addItem(HSpacer(), 0, 1);

    // Power-and-output column.
    p.ltimepower1 = Make<QLabel>(page, name("ltimepower1_"));
    p.timepower1 = Make<QLineEdit>(page, name("timepower1_"));
    p.ltimepower2 = Make<QLabel>(page, name("ltimepower2_"));
    p.timepower2 = Make<QLineEdit>(page, name("timepower2_"));
    p.tabWidget1 = Make<QTabWidget>(page, name("tabWidget1_"));
    for (int k = 0; k < kOutputCount; ++k) {
        auto *outputPage = new QWidget;
        QGridLayout *outputGrid = PageGrid(outputPage);
        const std::array<QLineEdit **, 4> fields{&p.outnumber[k], &p.outdelay[k], &p.outduration[k],
                                                 &p.outinterval[k]};
        for (int row = 0; row < 4; ++row) {
            QLabel *caption = c.output[k][row] = new QLabel(outputPage);
            QLineEdit *field = *fields[row] =
                Make<QLineEdit>(outputPage, QStringLiteral("%1%2_%3")
                                                .arg(QLatin1String(kOutputFieldPrefixes[row]))
                                                .arg(k + 1)
                                                .arg(number));
            field->setMaximumWidth(100);
            outputGrid->addWidget(caption, row, 0);
            outputGrid->addItem(HSpacer(), row, 1);
            outputGrid->addWidget(field, row, 2);
        }
        outputGrid->addItem(VSpacer(), 4, 0);
        p.tabWidget1->addTab(outputPage, QString());
        p.outputPages[k] = outputPage;
    }
    grid->addLayout(Column({Row({p.ltimepower1, p.timepower1}), Row({p.ltimepower2, p.timepower2}),
                            p.tabWidget1, VSpacer()}),
                    0, 2);
    grid->addItem(HSpacer(), 0, 3);
    grid->addItem(VSpacer(), 1, 0);
    grid->addItem(VSpacer(), 1, 2);

    tabWidget->addTab(page, QString());
    return page;
}

void MainWindowForm::BuildInputPage()
{
    CREATE(tab_6, nullptr);
    QGridLayout *grid = PageGrid(tab_6);
    CREATE(label_52, tab_6);
    CREATE(label_53, tab_6);
    CREATE(edit_inputL1, tab_6);
    CREATE(label_54, tab_6);
    CREATE(edit_inputL2, tab_6);
    CREATE(pbGetDigital, tab_6);
    CREATE(label_24, tab_6);
    CREATE(label_19, tab_6);
    CREATE(edit_vin, tab_6);
    CREATE(label_23, tab_6);
    CREATE(edit_temperature, tab_6);
    CREATE(pbGetAnalog, tab_6);
    CREATE(label_20, tab_6);
    CREATE(edit_inputA1, tab_6);
    CREATE(label_21, tab_6);
    CREATE(edit_inputA2, tab_6);
    for (QLineEdit *reading :
         {edit_inputL1, edit_inputL2, edit_vin, edit_temperature, edit_inputA1, edit_inputA2})
        reading->setReadOnly(true);

    grid->addLayout(Row({label_52, HSpacer(), Row({label_53, edit_inputL1}),
                         Row({HSpacer(), label_54, edit_inputL2}), HSpacer(), pbGetDigital}),
                    0, 0);
    grid->addItem(HSpacer(), 0, 1);
    grid->addLayout(Column({Row({label_24, Row({HSpacer(), label_19, edit_vin}),
                                 Row({HSpacer(), label_23, edit_temperature}), HSpacer(), HSpacer(),
                                 pbGetAnalog}),
                            Row({Row({HSpacer(), HSpacer(), label_20, edit_inputA1}),
                                 Row({HSpacer(), label_21, edit_inputA2}), HSpacer()})}),
                    1, 0);
    grid->addItem(VSpacer(), 2, 0);

    tabWidget->addTab(tab_6, QString());
}

void MainWindowForm::BuildOutputPage()
{
    CREATE(tab_7, nullptr);
    QGridLayout *grid = PageGrid(tab_7);
    const std::array<QLabel **, kOutputCount> captions{&label_46, &label_47, &label_48,
                                                       &label_49, &label_50, &label_51};
    const std::array<QComboBox **, kOutputCount> combos{&cbOutput1, &cbOutput2, &cbOutput3,
                                                        &cbOutput4, &cbOutput5, &cbOutput6};
    for (int k = 0; k < kOutputCount; ++k) {
        *captions[k] = Make<QLabel>(tab_7, QStringLiteral("label_%1").arg(46 + k));
        *combos[k] = Make<QComboBox>(tab_7, QStringLiteral("cbOutput%1").arg(k + 1));
        (*combos[k])->setMaximumWidth(130);
        // Outputs 1 to 3 down the left column, 4 to 6 down the right one.
        grid->addLayout(Row({*captions[k], *combos[k], HSpacer()}), k % 3, k / 3);
    }
    grid->addItem(HSpacer(), 0, 2);
    CREATE(pbSetOutput, tab_7);
    CREATE(pbGetOutput, tab_7);
    grid->addLayout(Row({HSpacer(), pbSetOutput, HSpacer(), pbGetOutput, HSpacer()}), 3, 0, 1, 2);
    grid->addItem(VSpacer(), 4, 0);

    tabWidget->addTab(tab_7, QString());
}

void MainWindowForm::BuildPowerPage()
{
    CREATE(tab_8, nullptr);
    QGridLayout *grid = PageGrid(tab_8);
    CREATE(label_44, tab_8);
    CREATE(cbPower1, tab_8);
    CREATE(label_45, tab_8);
    CREATE(cbPower2, tab_8);
    CREATE(pbSetPower, tab_8);
    CREATE(pbGetPower, tab_8);
    cbPower1->setMaximumWidth(130);
    cbPower2->setMaximumWidth(130);

    grid->addLayout(Row({HSpacer(), label_44, cbPower1}), 0, 0);
    grid->addLayout(Row({HSpacer(), label_45, cbPower2, HSpacer()}), 0, 1);
    grid->addItem(HSpacer(), 0, 2);
    grid->addLayout(Row({HSpacer(), pbSetPower, HSpacer(), pbGetPower, HSpacer()}), 1, 0, 1, 2);
    grid->addItem(VSpacer(), 2, 0);

    tabWidget->addTab(tab_8, QString());
}

void MainWindowForm::BuildBatteryPage()
{
    CREATE(tab_9, nullptr);
    QGridLayout *grid = PageGrid(tab_9);
    CREATE(label_55, tab_9);
    CREATE(lelowbattery, tab_9);
    CREATE(label_56, tab_9);
    CREATE(lehighbattery, tab_9);
    CREATE(pbSetBattery, tab_9);
    CREATE(pbGetBattery, tab_9);

    grid->addLayout(Row({label_55, lelowbattery}), 0, 0);
    grid->addLayout(Row({label_56, lehighbattery}), 0, 1);
    grid->addItem(HSpacer(), 0, 2);
    grid->addLayout(Row({HSpacer(), pbSetBattery, HSpacer(), pbGetBattery, HSpacer()}), 1, 0, 1, 2);
    grid->addItem(VSpacer(), 2, 0);

    tabWidget->addTab(tab_9, QString());
}

void MainWindowForm::BuildStrips()
{
    CREATE(layoutWidget, centralWidget);
    layoutWidget->setGeometry(10, 10, 721, 25);
    horizontalLayout = StripLayout(layoutWidget, "horizontalLayout");
    CREATE(label_Connected, layoutWidget);
    QFont statusFont;
    statusFont.setPointSize(14);
    label_Connected->setFont(statusFont);
    CREATE(label, layoutWidget);
    CREATE(label_2, layoutWidget);
    CREATE(pbConnect, layoutWidget);
    Fill(horizontalLayout, {label_Connected, HSpacer(), label, label_2, HSpacer(), pbConnect});

    CREATE(layoutWidget1, centralWidget);
    layoutWidget1->setGeometry(10, 40, 721, 23);
    horizontalLayout_2 = StripLayout(layoutWidget1, "horizontalLayout_2");
    CREATE(progressBar, layoutWidget1);
    progressBar->setValue(0);
    horizontalLayout_2->addWidget(progressBar);

    CREATE(layoutWidget2, centralWidget);
    layoutWidget2->setGeometry(10, 70, 555, 25);
    horizontalLayout_3 = StripLayout(layoutWidget2, "horizontalLayout_3");
    CREATE(label_3, layoutWidget2);
    CREATE(edit_version, layoutWidget2);
    edit_version->setReadOnly(true);
    CREATE(label_4, layoutWidget2);
    CREATE(cbBoard, layoutWidget2);
    CREATE(pbfilegeneration, layoutWidget2);
    Fill(horizontalLayout_3, {label_3, edit_version, HSpacer(), label_4, cbBoard, HSpacer(),
                              pbfilegeneration, HSpacer()});

    CREATE(layoutWidget3, centralWidget);
    layoutWidget3->setGeometry(10, 110, 551, 22);
    horizontalLayout_62 = StripLayout(layoutWidget3, "horizontalLayout_62");
    CREATE(label_5, layoutWidget3);
    CREATE(leConf, layoutWidget3);
    Fill(horizontalLayout_62, {label_5, leConf});
}

#undef CREATE

void MainWindowForm::ApplyTexts(QMainWindow *window)
{
    window->setWindowTitle(Text("Lumivor"));
    actionVersion->setText(Text("version 1.1.0.0"));
    actionStandard->setText(Text("NormalUser"));
    actionAdmin->setText(Text("SuperUser"));
    actionOpenProgramme->setText(Text("Open Programme\u2026"));
    actionOpenBackup->setText(Text("Open Backup\u2026"));
    actionSaveProgramme->setText(Text("Save Programme\u2026"));
    actionQuit->setText(Text("Quit"));

    label_Connected->setText(Text("<font color=\"#FF0000\">Disconnected</font>"));
    label->setText(Text("Serial Port : "));
    label_2->setText(Text("None"));
    pbConnect->setText(Text("Connect"));
    label_3->setText(Text("Version : "));
    label_4->setText(Text("Board : "));
    SetItems(cbBoard, {"unknown", "Lumivor V1", "Lumivor V2", "KOTA", "KOTA file mode",
                       "Lumivor V1 file mode", "Lumivor V2 file mode"});
    pbfilegeneration->setText(Text("File Generation"));
    label_5->setText(Text("Configuration : "));

    tabWidget->setToolTip(
        Text("<html><head/><body><p>Page de <br>support en ligne</p></body></html>"));
    // By page rather than by index: the administrator pages may be out of the tab widget.
    tabWidget->setTabText(tabWidget->indexOf(tab), Text("General"));
    label_27->setText(Text("Time : "));
    label_28->setText(Text("Date :"));
    pbSetDateTime->setText(Text("Set_DateTime"));
    pbGetDateTime->setText(Text("Get_DateTime"));
    cDateTimeAutomatic->setText(Text("synchronization from PC "));
    pbSetConfiguration->setText(Text("SetConfiguration"));

    const std::array<QWidget *, kSessionCount> sessionTabs{tab_2, tab_3, tab_4, tab_5};
    for (int index = 0; index < kSessionCount; ++index) {
        const SessionPageLook &look = kSessionLooks[index];
        SessionPage &p = sessions[index];
        SessionCaptions &c = m_sessionCaptions[index];
        tabWidget->setTabText(tabWidget->indexOf(sessionTabs[index]), Text(look.title));
        p.noaction->setText(Text("no action"));
        p.trigtime->setText(Text("triggerred by time"));
        c.start->setText(Text(look.startCaption));
        c.startUnit->setText(Text("HH:MM"));
        c.interval->setText(Text("Interval between photos :"));
        c.intervalUnit->setText(Text("HH:MM"));
        c.repeat->setText(Text(look.repeatCaption));
        p.trigin1->setToolTip(Text("coucou"));
        p.trigin1->setWhatsThis(QString());
        p.trigin1->setAccessibleDescription(QString());
        p.trigin1->setText(Text("triggerred by input 1"));
        c.detect1->setText(Text("Detection :"));
        SetDetectionItems(p.detect1);
        p.trigin2->setText(Text("triggerred by input 2"));
        c.detect2->setText(Text("Detection :"));
        SetDetectionItems(p.detect2);
        p.pbGetSetting->setText(Text("GetSettings"));
        p.pbSetSetting->setText(Text("SetSettings"));
        p.ltimepower1->setText(Text("Time Power 1:"));
        p.ltimepower2->setText(Text("Time Power 2:"));
        for (int k = 0; k < kOutputCount; ++k) {
            p.tabWidget1->setTabText(p.tabWidget1->indexOf(p.outputPages[k]),
                                     Text(kOutputPageTitles[k]));
            for (int row = 0; row < 4; ++row)
                c.output[k][row]->setText(Text(kOutputFieldCaptions[row]));
        }
    }

    tabWidget->setTabText(tabWidget->indexOf(tab_6), Text("Input"));
    label_52->setText(Text("Digital:"));
    label_53->setText(Text("Input 1 :"));
    label_54->setText(Text("input 2 : "));
    pbGetDigital->setText(Text("GetDigital"));
    label_24->setText(Text("Analog: "));
    label_19->setText(Text("Vin : "));
    label_23->setText(Text("Temperature : "));
    pbGetAnalog->setText(Text("GetAnalog"));
    label_20->setText(Text("input 1 : "));
    label_21->setText(Text("Input 2 : "));

    tabWidget->setTabText(tabWidget->indexOf(tab_7), Text("Output"));
    label_46->setText(Text("Output 1 :"));
    label_47->setText(Text("Output 2 :"));
    label_48->setText(Text("Output 3 :"));
    label_49->setText(Text("Output 4 :"));
    label_50->setText(Text("Output 5 :"));
    label_51->setText(Text("Output 6 :"));
    for (QComboBox *combo : {cbOutput1, cbOutput2, cbOutput3, cbOutput4, cbOutput5, cbOutput6})
        SetItems(combo, {"", "automatic", "to ground", "high impedance",
                         "to ground during wake-up ", "to ground during sleep"});
    pbSetOutput->setText(Text("Set_output"));
    pbGetOutput->setText(Text("Get_Output"));

    tabWidget->setTabText(tabWidget->indexOf(tab_8), Text("Power"));
    label_44->setText(Text("Power 1: "));
    SetItems(cbPower1, {"", "Automatic", "Power off", "Power on"});
    label_45->setText(Text("Power 2 :"));
    SetItems(cbPower2, {"", "Automatic", "Power off", "power on"});
    pbSetPower->setText(Text("Set_Power"));
    pbGetPower->setText(Text("Get_Power"));

    tabWidget->setTabText(tabWidget->indexOf(tab_9), Text("Battery protector"));
    label_55->setText(Text("low voltage (mV): "));
    label_56->setText(Text("high voltage (mV) :"));
    pbSetBattery->setText(Text("Set_Battery"));
    pbGetBattery->setText(Text("Get_Battery"));

    menuFile->setTitle(Text("&File"));
    menuAdmin->setTitle(Text("Mode"));
    menuHelp->setTitle(Text("Help"));
}
