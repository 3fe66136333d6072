#include "device/WriteReport.h"

#include <QCoreApplication>

namespace {
const char *const kContext = "MainWindow";
} // namespace

QString CWriteReport::IncompleteCommandFile(const QString &file, int failed, int lines)
{
    return QCoreApplication::translate(kContext,
                                       "%1 is incomplete: %2 of %3 lines could not be written.")
        .arg(file)
        .arg(failed)
        .arg(lines);
}

QString CWriteReport::Unanswered(int unanswered, int lines)
{
    return QCoreApplication::translate(
               kContext,
               "The board did not answer %1 of %2 lines: its programme may be incomplete.")
        .arg(unanswered)
        .arg(lines);
}

QString CWriteReport::Unplugged(const QString &port)
{
    return QCoreApplication::translate(kContext, "The board on %1 was unplugged.").arg(port);
}

QString CWriteReport::UnpluggedDuringWrite(const QString &port, int sent, int lines)
{
    return QCoreApplication::translate(kContext,
                                       "The board on %1 was unplugged: %2 of %3 lines were sent.")
        .arg(port)
        .arg(sent)
        .arg(lines);
}
