#include "device/ScanReport.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

const char *const kContext = "MainWindow";
const QString kEntrySeparator = QStringLiteral("; ");
const QString kRootGroup = QStringLiteral("root");

QString Tr(const char *text)
{
    return QCoreApplication::translate(kContext, text);
}

// Joining the group that owns the device helps only when that group may read and write it and
// is not root's own.
QString Hint(const CAdvCmd::PortOutcome &outcome)
{
    if (!outcome.group.isEmpty() && outcome.group != kRootGroup && outcome.groupMayUse)
        return Tr(" Add your user to the group \"%1\" and log in again.").arg(outcome.group);
    return Tr(" Ask for read and write access to %1.").arg(outcome.path);
}

} // namespace

QString CScanReport::Reason(CAdvCmd::PortFailure failure)
{
    switch (failure) {
    case CAdvCmd::PortFailure::NoAnswer:
        return Tr("no answer");
    case CAdvCmd::PortFailure::PermissionDenied:
        return Tr("permission denied");
    case CAdvCmd::PortFailure::InUse:
        return Tr("in use by another program");
    case CAdvCmd::PortFailure::NotSetUp:
        return Tr("could not be set up");
    case CAdvCmd::PortFailure::NotOpenedInTime:
        return Tr("did not open within 1 s");
    case CAdvCmd::PortFailure::NotOpened:
        break;
    }
    return Tr("could not be opened");
}

QString CScanReport::Message(const QVector<CAdvCmd::PortOutcome> &outcomes)
{
    if (outcomes.isEmpty())
        return Tr("No serial port found.");
    QStringList entries;
    QStringList hints;
    for (const CAdvCmd::PortOutcome &outcome : outcomes) {
        entries << QStringLiteral("%1 (%2)").arg(outcome.name, Reason(outcome.failure));
        if (outcome.failure != CAdvCmd::PortFailure::PermissionDenied)
            continue;
        const QString hint = Hint(outcome);
        if (!hints.contains(hint))
            hints << hint;
    }
    return Tr("No board found: ") + entries.join(kEntrySeparator) + QLatin1Char('.') +
           hints.join(QString());
}

bool CScanReport::InUse(const QVector<CAdvCmd::PortOutcome> &outcomes)
{
    return !outcomes.isEmpty() && outcomes.first().failure == CAdvCmd::PortFailure::InUse;
}
