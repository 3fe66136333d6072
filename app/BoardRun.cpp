#include "app/BoardRun.h"

#include "app/Interruption.h"
#include "device/BackupStore.h"
#include "device/BoardType.h"
#include "device/WriteReport.h"

#include <QCoreApplication>

namespace {

const char *const kContext = "MainWindow";
constexpr double kMsPerSecond = 1000.0;

using Outcome = CBoardResult::Outcome;

QString Tr(const char *text)
{
    return QCoreApplication::translate(kContext, text);
}

} // namespace

CBoardRun::CBoardRun(Job job, Report progress, Report warn)
    : m_job(std::move(job)), m_progress(std::move(progress)), m_warn(std::move(warn))
{
    CAdvCmd &link = m_settings.Link();
    link.SetStopCheck([] { return CInterruption::Caught() != 0; });
    link.SetLineObserver([this](const QByteArray &) {
        if (m_writing)
            m_progress(Tr("Writing line %1 of %2 to the board on %3")
                           .arg(++m_result.linesSent)
                           .arg(m_result.linesToSend)
                           .arg(m_result.port));
    });
}

void CBoardRun::UsePort(const QString &port)
{
    m_result.port = port;
    m_settings.Link().SetPortDiscovery([port] { return QStringList{port}; });
}

void CBoardRun::Trace(CTrafficLog::Sink sink)
{
    m_traffic = std::make_unique<CTrafficLog>(std::move(sink));
    m_settings.Link().SetTrafficObserver(
        [this](CAdvCmd::Direction direction, const QByteArray &bytes) {
            m_traffic->Add(direction, bytes);
        });
}

CBoardResult CBoardRun::Run()
{
    if (ReadOut() && FamilyMatches()) {
        if (m_job.command == CCommandOptions::Command::Write)
            Write();
        else
            Verdict(m_settings.GetProgramme(), Outcome::Holds);
    }
    return Finish();
}

bool CBoardRun::Read(CBoardResult *result)
{
    const bool read = ReadOut();
    *result = Finish();
    return read;
}

bool CBoardRun::ReadOut()
{
    m_clock.start();
    m_progress(m_result.port.isEmpty() ? Tr("Looking for a board")
                                       : Tr("Looking for a board on %1").arg(m_result.port));
    if (!m_settings.ConnectBoard()) {
        m_result.scan = m_settings.Link().LastScan();
        return Fail(Outcome::NoBoard);
    }
    const QString port = m_settings.GetPortName();
    m_result.port = port;
    int done = 0;
    m_progress(Tr("Reading the board on %1").arg(port));
    const bool read = m_settings.ReadAll([&] {
        m_progress(Tr("Reading the board on %1: %2 of %3")
                       .arg(port)
                       .arg(++done)
                       .arg(CBoardSettings::kReadOutSteps));
    });
    m_result.family = BoardType::Family(m_settings.GetBoardType());
    m_result.version = m_settings.GetVersion();
    if (!read)
        return Fail(Outcome::Lost);
    m_progress(Tr("%1 on %2").arg(m_result.family, port));
    return true;
}

// Keys the family does not use were left at 0 when the file was opened: the board's counts leave
// them out of what is sent and compared.
bool CBoardRun::FamilyMatches()
{
    const int type = m_settings.GetBoardType();
    const QString problem = CProgrammeFile::FamilyProblem(
        m_job.name, m_job.file, type, BoardType::Family(type), CProgrammeFile::Naming::AsGiven);
    if (problem.isEmpty())
        return true;
    m_warn(problem);
    return Fail(Outcome::OtherFamily);
}

void CBoardRun::Write()
{
    const BoardProgramme readOut = m_settings.GetProgramme();
    const BoardProgramme held = m_settings.Held().Programme();
    m_settings.SetProgramme(m_job.file.programme);
    m_result.linesToSend = m_settings.DifferingLines(held).size();
    if (m_result.linesToSend == 0) {
        Verdict(readOut, Outcome::Holds);
        return;
    }
    QString message;
    if (m_job.backups && !m_settings.KeepBackup(*m_job.backups, m_result.linesToSend, &message)) {
        m_warn(message);
        Fail(Outcome::NoBackup);
        return;
    }

    const CAdvCmd &link = m_settings.Link();
    const int unansweredBefore = link.UnansweredLines();
    m_writing = true;
    m_settings.SendDifferingLines(held);
    m_writing = false;
    m_result.unanswered = link.UnansweredLines() - unansweredBefore;
    if (link.IsStopped() || link.WasUnplugged()) {
        Fail(Outcome::Unplugged);
        return;
    }
    if (m_result.unanswered > 0)
        m_warn(CWriteReport::Unanswered(m_result.unanswered, m_result.linesSent));

    int checked = 0;
    const int requests = m_settings.ProgrammeRequests();
    m_progress(Tr("Verifying the board on %1").arg(m_result.port));
    if (!m_settings.ReadProgramme([&] {
            m_progress(Tr("Verifying the board on %1: %2 of %3")
                           .arg(m_result.port)
                           .arg(++checked)
                           .arg(requests));
        })) {
        Fail(Outcome::Lost);
        return;
    }
    Verdict(m_settings.GetProgramme(), Outcome::Written);
}

void CBoardRun::Verdict(const BoardProgramme &board, Outcome matching)
{
    m_result.differences = CProgrammeFile::Compare(m_job.file.family, board, m_job.file.programme);
    m_result.outcome = m_result.differences.isEmpty() ? matching : Outcome::Differs;
}

bool CBoardRun::Fail(Outcome outcome)
{
    const CAdvCmd &link = m_settings.Link();
    m_result.outcome = link.IsStopped()      ? Outcome::Interrupted
                       : link.WasUnplugged() ? Outcome::Unplugged
                                             : outcome;
    return false;
}

CBoardResult CBoardRun::Finish()
{
    m_result.seconds = double(m_clock.elapsed()) / kMsPerSecond;
    if (m_traffic)
        m_traffic->Flush();
    return m_result;
}
