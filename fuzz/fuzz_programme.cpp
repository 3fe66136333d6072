// Fuzzes the opening of programme files with arbitrary file contents: a file that opens must
// format to one that opens again with the same family and the same values of every key the
// family uses.

#include "device/ProgrammeFile.h"

#include <QFile>
#include <QTemporaryDir>

namespace {
bool WriteFile(const QString &path, const char *data, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data, size) == size;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("programme.ini"));
    const QString again = dir.filePath(QStringLiteral("again.ini"));
    if (!WriteFile(path, reinterpret_cast<const char *>(data), qint64(size)))
        return 0;
    CProgrammeFile::Contents opened;
    QString message;
    if (!CProgrammeFile::Open(path, BoardProgramme{}, &opened, &message))
        return 0;
    const QByteArray formatted = CProgrammeFile::Format(opened);
    CProgrammeFile::Contents reopened;
    if (!WriteFile(again, formatted.constData(), formatted.size()) ||
        !CProgrammeFile::Open(again, BoardProgramme{}, &reopened, &message) ||
        reopened.family != opened.family ||
        !CProgrammeFile::Compare(opened.family, opened.programme, reopened.programme).isEmpty())
        __builtin_trap();
    return 0;
}
