#include "forms/MainWindowForm.h"

#include "forms/AdminPagesForm.h"
#include "forms/FormParts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFont>
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
#include <QStatusBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolBar>

// The icon resource is compiled into the form's static library, whose registration code the
// linker would otherwise drop; registering it here makes it available to every program that
// builds the form (repeated registrations are ignored). Must stand outside any namespace.
static void RegisterIconResource()
{
    Q_INIT_RESOURCE(icon);
}

using namespace FormParts;

namespace {

const char kIconPath[] = ":/new/icon/myappico.ico";

// The row layout of a strip above the tabs, which fills its container widget.
QHBoxLayout *StripLayout(QWidget *strip, const char *objectName)
{
    auto *box = Make<QHBoxLayout>(strip, objectName);
    box->setSpacing(kSpacing);
    box->setContentsMargins(0, 0, 0, 0);
    return box;
}

} // namespace

// Creates the form's member `member` on `parent`, with the member's name as its object name.
#define CREATE(member, parent) CREATE_MEMBER(*this, member, parent)

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
    m_sessionPages.Build(*this);
    CAdminPagesForm::Build(*this);

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
    CSessionPagesForm::ShowFirstOutputPages(*this);

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

    m_sessionPages.ApplyTexts(*this);
    CAdminPagesForm::ApplyTexts(*this);

    menuFile->setTitle(Text("&File"));
    menuAdmin->setTitle(Text("Mode"));
    menuHelp->setTitle(Text("Help"));
}
