// Fuzzes the INI programme import with arbitrary file contents.

#include "device/IniImport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static int serial = 0;
    // A new name every time: the INI reader caches files by path.
    const QString path = dir.filePath(QStringLiteral("programme%1.ini").arg(++serial));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    IniProgramme programme;
    CIniImport::Read(path, &programme);
    QFile::remove(path);
    return 0;
}
