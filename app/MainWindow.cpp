#include "app/MainWindow.h"

#include "app/ActionGate.h"
#include "app/ConnectionKeeper.h"
#include "app/ProgrammeActions.h"
#include "app/TerminationSignals.h"
#include "device/BackupStore.h"
#include "device/BoardSettings.h"
#include "pages/ActionFeedback.h"
#include "pages/Curve.h"
#include "pages/General.h"
#include "pages/SuperUser.h"
#include "pages/Wake.h"

#include <QAction>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>

namespace {

// Tab titles of the administrator pages when they are shown; the last one differs from the
// form's "Battery protector".
const std::array<const char *, MainWindowForm::kAdminTabCount> kAdminTabTitles{
    QT_TRANSLATE_NOOP("MainWindow", "Input"), QT_TRANSLATE_NOOP("MainWindow", "Output"),
    QT_TRANSLATE_NOOP("MainWindow", "Power"), QT_TRANSLATE_NOOP("MainWindow", "Battery Protected")};

// The timeline chart: a 1600-pixel day seen through a 750-pixel window under the tabs.
const QPoint kChartPosition(0, 500);
const QSize kChartSize(1600, 100);
const QPoint kChartAreaPosition(10, 500);
const QSize kChartAreaSize(750, 100);
const QString kChartStyleSheet = QStringLiteral(" #datawidget { background-color:#000; } ");

} // namespace

using Form = MainWindowForm;

MainWindow::MainWindow(const QString &programmeFile, QWidget *parent)
    : QMainWindow(parent), m_form(new MainWindowForm)
{
    // 1. The widget tree; "Photo Session 1" is the current tab.
    m_form->Build(this);

    // 2. The window starts in the standard page set; the administrator pages are kept aside.
    for (int i = 0; i < Form::kAdminTabCount; ++i)
        m_adminPages[size_t(i)] = m_form->tabWidget->widget(Form::kFirstAdminTab + i);
    RemoveAdminTabs();

    // 3. The mode menu and the "Connect" button.
    connect(m_form->actionAdmin, SIGNAL(triggered()), this, SLOT(Admin()));
    connect(m_form->actionStandard, SIGNAL(triggered()), this, SLOT(Standard()));
    connect(m_form->pbConnect, SIGNAL(clicked()), this, SLOT(Connect()));
    connect(m_form->actionQuit, &QAction::triggered, this, &QWidget::close);

    // 4. The board settings model with its link, the backups of what boards held, the gate the
    // actions start through, the close requests of SIGTERM and SIGHUP, then the chart under the
    // tabs.
    m_settings = std::make_unique<CBoardSettings>();
    m_backups = std::make_unique<CBackupStore>();
    m_gate = new CActionGate(this, &m_settings->Link());
    new CTerminationSignals(this);
    m_chartArea = new QScrollArea;
    auto *chart = new CCurve(m_settings.get(), nullptr);
    chart->setParent(m_form->centralWidget);
    chart->move(kChartPosition);
    chart->resize(kChartSize);
    chart->setStyleSheet(kChartStyleSheet);
    chart->show();
    m_chartArea->setWidget(chart);
    m_chartArea->setParent(m_form->centralWidget);
    m_chartArea->move(kChartAreaPosition);
    m_chartArea->resize(kChartAreaSize);
    m_chartArea->show();
    m_chartArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_chartArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // 5. The page controllers: General, the four photo sessions (each wired to General before
    // the next is made), then the administrator pages; the File menu's programme files.
    auto *general = new CGeneral(m_form, m_settings.get(), m_gate, m_backups.get(), this);
    for (int index = 0; index < kSessionCount; ++index) {
        CWake *wake =
            new CWake(index, m_form, m_settings.get(), chart, m_gate, m_backups.get(), this);
        wake->Init();
        connect(general, SIGNAL(sInitAff(bool)), wake, SLOT(InitAff(bool)));
        m_wakes[size_t(index)] = wake;
    }
    m_superUser = new CSuperUser(m_form, m_settings.get(), m_gate, m_backups.get(), this);
    m_superUser->Init();
    m_programmeActions =
        new CProgrammeActions(this, m_form, m_settings.get(), m_gate, m_backups.get(), m_wakes);
    m_keeper =
        new CConnectionKeeper(m_form, m_settings.get(), m_gate, general, m_wakes, chart, this);

    // 6. The window first, then the search for a board, under the wait cursor from the start;
    // then the window follows the cable.
    {
        const auto action = m_gate->Start();
        CActionFeedback busy(*action, m_form, m_settings.get(), CBoardSettings::kReadOutSteps,
                             CActionFeedback::StepBy::Call);
        show();
        m_keeper->Connect(&busy);
    }
    m_keeper->Follow();
    // 7. The programme file given, as an action of its own once the event loop runs.
    if (!programmeFile.isEmpty())
        QTimer::singleShot(0, m_programmeActions,
                           [this, programmeFile] { m_programmeActions->Open(programmeFile); });
}

MainWindow::~MainWindow()
{
    delete m_form;
}

CPortWatch &MainWindow::PortWatch()
{
    return m_keeper->Watch();
}

void MainWindow::Admin()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    for (int i = 0; i < Form::kAdminTabCount; ++i) {
        // A page already shown stays where it is, so choosing "SuperUser" twice adds nothing.
        QWidget *page = m_adminPages[size_t(i)];
        if (m_form->tabWidget->indexOf(page) < 0)
            m_form->tabWidget->insertTab(Form::kFirstAdminTab + i, page,
                                         tr(kAdminTabTitles[size_t(i)]));
    }
    for (CWake *wake : m_wakes)
        wake->GetAdmin();
}

void MainWindow::Standard()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    RemoveAdminTabs();
    for (CWake *wake : m_wakes)
        wake->GetStandard();
}

void MainWindow::Connect()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    CActionFeedback busy(*action, m_form, m_settings.get(), CBoardSettings::kReadOutSteps,
                         CActionFeedback::StepBy::Call);
    m_keeper->Connect(&busy);
}

void MainWindow::RemoveAdminTabs()
{
    // Highest index first; removing an index that does not exist does nothing.
    for (int index = Form::kLastAdminTab; index >= Form::kFirstAdminTab; --index)
        m_form->tabWidget->removeTab(index);
}
