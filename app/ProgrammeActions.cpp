#include "app/ProgrammeActions.h"

#include "app/DifferencesDialog.h"
#include "device/BackupStore.h"
#include "device/BoardSettings.h"
#include "device/BoardType.h"
#include "forms/MainWindowForm.h"
#include "pages/ActionFeedback.h"
#include "pages/Wake.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QStatusBar>

namespace {

// The file dialogs of programme files.
const char *const kProgrammeFilter =
    QT_TRANSLATE_NOOP("MainWindow", "Programme files (*.ini);;All files (*)");
const QString kProgrammeSuffix = QStringLiteral("ini");

QString Tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

CProgrammeActions::CProgrammeActions(QWidget *window, MainWindowForm *form,
                                     CBoardSettings *settings, CActionGate *gate,
                                     const CBackupStore *backups, const SessionPages &pages)
    : QObject(window), m_window(window), m_form(form), m_settings(settings), m_gate(gate),
      m_backups(backups), m_pages(pages)
{
    connect(m_form->actionOpenProgramme, &QAction::triggered, this,
            &CProgrammeActions::OpenProgramme);
    connect(m_form->actionOpenBackup, &QAction::triggered, this, &CProgrammeActions::OpenBackup);
    connect(m_form->actionSaveProgramme, &QAction::triggered, this,
            &CProgrammeActions::SaveProgramme);
}

void CProgrammeActions::OpenProgramme()
{
    OpenChosen(Tr("Open Programme"), QString());
}

void CProgrammeActions::OpenBackup()
{
    OpenChosen(Tr("Open Backup"), m_backups->Folder());
}

void CProgrammeActions::Open(const QString &path)
{
    const auto action = m_gate->Start();
    if (action)
        OpenFile(*action, path);
}

void CProgrammeActions::OpenChosen(const QString &caption, const QString &folder)
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    const QString path =
        QFileDialog::getOpenFileName(m_window, caption, folder, Tr(kProgrammeFilter));
    if (!path.isEmpty())
        OpenFile(*action, path);
}

void CProgrammeActions::OpenFile(const CActionGate::Action &action, const QString &path)
{
    // A file that is not a programme of this family changes nothing and sends nothing.
    CProgrammeFile::Contents file;
    QString message;
    if (CProgrammeFile::Open(path, m_settings->GetProgramme(), &file, &message))
        message = CProgrammeFile::FamilyProblem(path, file, m_settings->GetBoardType(),
                                                m_form->cbBoard->currentText());
    if (!message.isEmpty()) {
        m_form->statusBar->showMessage(message);
        return;
    }
    if (!m_settings->IsLive()) {
        LoadAside(action, path, file);
        return;
    }
    {
        // What the board holds, for the differences and the backup.
        CActionFeedback busy(action, m_form, m_settings, m_settings->HeldRequests());
        if (!m_settings->ReadHeld()) {
            busy.SetOutcome(CBoardSettings::HeldUnreadMessage());
            return;
        }
    }
    const BoardProgramme held = m_settings->Held().Programme();
    const QVector<CProgrammeFile::Difference> differences =
        CProgrammeFile::Compare(file.family, held, file.programme);
    if (!differences.isEmpty()) {
        CDifferencesDialog dialog(QFileInfo(path).fileName(), m_settings->GetPortName(),
                                  differences, m_window);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    Write(action, path, file, held);
}

void CProgrammeActions::LoadAside(const CActionGate::Action &action, const QString &path,
                                  const CProgrammeFile::Contents &file)
{
    CActionFeedback busy(action, m_form, m_settings, m_settings->SendAllLines());
    m_settings->SetProgramme(file.programme);
    Show(path);
    const QString name = QFileInfo(path).fileName();
    if (!m_settings->IsConnected()) {
        busy.SetOutcome(Tr("%1 loaded; no board is connected, nothing was sent.").arg(name));
        return;
    }
    m_settings->SendAllAfresh();
    busy.SetOutcome(
        Tr("%1 written to %2.").arg(name, BoardType::CommandFile(m_settings->GetBoardType())));
}

void CProgrammeActions::Write(const CActionGate::Action &action, const QString &path,
                              const CProgrammeFile::Contents &file, const BoardProgramme &held)
{
    const BoardProgramme before = m_settings->GetProgramme();
    m_settings->SetProgramme(file.programme);
    const int lines = m_settings->DifferingLines(held).size();
    CActionFeedback busy(action, m_form, m_settings, lines + m_settings->ProgrammeRequests());
    if (!busy.KeepBackup(*m_backups, lines)) {
        m_settings->SetProgramme(before);
        return;
    }
    Show(path);
    m_settings->SendDifferingLines(held);
    // The pages show what the board reports, whether or not it holds the file; a read-back that
    // stops part-way leaves them on the file.
    BoardProgramme reported = file.programme;
    const QString name = QFileInfo(path).fileName();
    if (!m_settings->ReadProgrammeInto(&reported)) {
        busy.SetOutcome(
            lines > 0
                ? CProgrammeFile::NoReadBackMessage(path)
                : Tr("Sent nothing of %1, but the board did not answer the read-back.").arg(name));
        return;
    }
    m_settings->SetProgramme(reported);
    ReloadSessionPages();
    const QVector<CProgrammeFile::Difference> differences =
        CProgrammeFile::Compare(file.family, reported, file.programme);
    busy.SetOutcome(lines == 0 && differences.isEmpty()
                        ? Tr("The board already holds %1.").arg(name)
                        : CProgrammeFile::CompareMessage(path, differences));
}

void CProgrammeActions::SaveProgramme()
{
    const auto action = m_gate->Start();
    if (!action)
        return;
    // An instance rather than the static function, which cannot add the default suffix.
    QFileDialog dialog(m_window, Tr("Save Programme"), QString(), Tr(kProgrammeFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(kProgrammeSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();

    CActionFeedback busy(*action, m_form, m_settings, 0);
    const CProgrammeFile::Contents contents{BoardType::Family(m_settings->GetBoardType()),
                                            m_settings->GetVersion(), m_settings->GetProgramme()};
    QString message;
    if (CProgrammeFile::Save(path, contents, &message)) {
        message =
            (QStringList(CProgrammeFile::SavedMessage(path)) + CProgrammeFile::Warnings(contents))
                .join(QLatin1Char(' '));
        for (size_t page = 0; page < m_pages.size(); ++page) {
            if (m_pages[page]->HasUnsentEdits())
                message += Tr(" Unsent edits on Photo Session %1 are not in it.").arg(page + 1);
        }
    }
    busy.SetOutcome(message);
}

void CProgrammeActions::Show(const QString &path)
{
    m_form->leConf->setText(path);
    ReloadSessionPages();
}

void CProgrammeActions::ReloadSessionPages()
{
    for (CWake *page : m_pages)
        page->InitAff(false);
}
