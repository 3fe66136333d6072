#include "pages/General.h"

#include "device/BoardSettings.h"
#include "device/BoardType.h"
#include "forms/MainWindowForm.h"
#include "pages/ActionFeedback.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimeEdit>

namespace {
// The board's clock travels as quoted texts; the quotes are part of the format.
const QString kTimeFormat = QStringLiteral("\"hh:mm:ss\"");
const QString kDateFormat = QStringLiteral("\"dd/MM/yyyy\"");
const QString kStatusMarkup = QStringLiteral("<font color=\"%1\">%2</font>");
const QString kConnectedColour = QStringLiteral("#00FF00");
const QString kDisconnectedColour = QStringLiteral("#FF0000");
constexpr int kStatusMessageMs = 8000;

QString Tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}
} // namespace

CGeneral::CGeneral(MainWindowForm *form, CBoardSettings *settings, CActionGate *gate,
                   const CBackupStore *backups, QObject *parent)
    : QObject(parent), m_form(form), m_settings(settings), m_gate(gate), m_backups(backups)
{
}

void CGeneral::ShowConnection(bool connected)
{
    m_form->pbfilegeneration->hide();
    if (connected) {
        m_form->label_2->setText(m_settings->GetPortName());
        m_form->label_Connected->setText(kStatusMarkup.arg(kConnectedColour, Tr("Connected")));
    } else {
        m_form->label_2->setText(QString());
        m_form->label_Connected->setText(
            kStatusMarkup.arg(kDisconnectedColour, Tr("Disconnected")));
    }
    // Connected once, after the session pages exist, so every click runs its slot once.
    if (m_wired)
        return;
    m_wired = true;
    connect(m_form->pbGetDateTime, SIGNAL(clicked()), this, SLOT(GetDateTime()));
    connect(m_form->pbSetDateTime, SIGNAL(clicked()), this, SLOT(SetDateTime()));
    // By index: Qt 6 has no QString overload, and a string connection to it fails at run time.
    connect(m_form->cbBoard, SIGNAL(currentIndexChanged(int)), this, SLOT(BoardChange()));
    connect(m_form->pbfilegeneration, SIGNAL(clicked()), this, SLOT(FileGeneration()));
    connect(m_form->pbSetConfiguration, SIGNAL(clicked()), this, SLOT(SetConfiguration()));
}

void CGeneral::Refresh()
{
    // A changed index runs BoardChange() through the combo box's own signal.
    m_form->cbBoard->setCurrentIndex(m_settings->GetBoardType());
    m_form->edit_version->setText(m_settings->GetVersion());
}

void CGeneral::GetDateTime()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const CActionFeedback busy(*action, m_form, m_settings, 0);
    // A failed query leaves the text unparsable, and an edit ignores an invalid value.
    QString text;
    m_settings->GetTime(&text);
    m_form->eTime->setDateTime(QDateTime::fromString(text, kTimeFormat));
    m_settings->GetDate(&text);
    m_form->eDate->setDateTime(QDateTime::fromString(text, kDateFormat));
}

void CGeneral::SetDateTime()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const int lines = m_settings->LinesOf({CAdvCmd::Setting::Time, CAdvCmd::Setting::Date});
    CActionFeedback busy(*action, m_form, m_settings, lines);
    busy.SetLines(lines);
    if (m_form->cDateTimeAutomatic->isChecked()) {
        // One reading of the clock for both, so time and date cannot straddle midnight.
        const QDateTime now = QDateTime::currentDateTime();
        m_form->eTime->setDateTime(now);
        m_form->eDate->setDateTime(now);
    }
    // The board reads ASCII digits, whatever the user's locale would write.
    m_settings->SetTime(QLocale::c().toString(m_form->eTime->dateTime(), kTimeFormat));
    m_settings->SetDate(QLocale::c().toString(m_form->eDate->dateTime(), kDateFormat));
}

void CGeneral::BoardChange()
{
    const auto action = m_gate->Start();
    if (!action) {
        const QSignalBlocker blocker(m_form->cbBoard);
        m_form->cbBoard->setCurrentIndex(m_settings->GetBoardType());
        return;
    }
    const int type = m_form->cbBoard->currentIndex();
    m_settings->SetBoardType(type);
    const bool fileMode = BoardType::IsFileMode(type);
    m_form->pbfilegeneration->setVisible(fileMode);
    m_form->pbGetDateTime->setVisible(!fileMode);
    for (int tab = MainWindowForm::kLastAdminTab; tab >= MainWindowForm::kFirstAdminTab; --tab)
        m_form->tabWidget->removeTab(tab);
    emit sInitAff(true);
}

void CGeneral::FileGeneration()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const QString file = BoardType::CommandFile(m_settings->GetBoardType());
    // Without a board nothing would be written: keep the user's previous file.
    if (!m_settings->IsConnected()) {
        if (!file.isEmpty())
            m_form->statusBar->showMessage(Tr("Not connected: %1 was left unchanged").arg(file),
                                           kStatusMessageMs);
        return;
    }
    const CActionFeedback busy(*action, m_form, m_settings, m_settings->SendAllLines());
    m_settings->SendAllAfresh();
}

void CGeneral::SetConfiguration()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const QString path = QFileDialog::getOpenFileName(
        nullptr, Tr("Open File"), QCoreApplication::applicationDirPath(), Tr("Ini (*.ini)"));
    if (path.isEmpty())
        return;
    // A file that is not a programme must not wipe the one on the board.
    const BoardProgramme before = m_settings->GetProgramme();
    if (!m_settings->LoadIni(path)) {
        m_form->statusBar->showMessage(Tr("Could not read the configuration file %1").arg(path),
                                       kStatusMessageMs);
        return;
    }
    {
        const int lines = m_settings->SendAllLines();
        CActionFeedback busy(*action, m_form, m_settings, m_settings->BackedUpWriteLines(lines));
        // Without a backup nothing is sent, and the model keeps what it held.
        if (!busy.KeepBackup(*m_backups, lines)) {
            m_settings->SetProgramme(before);
            return;
        }
        m_settings->SendAll();
    }
    m_form->leConf->setText(path);
    emit sInitAff(false);
}
