#include "device/BackupStore.h"

#include "device/PortScan.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QVector>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

const char *const kContext = "MainWindow";
const QString kFolderName = QStringLiteral("backups");
constexpr mode_t kFolderMode = 0700;
// File names: "<stamp>_<port>_<family>.ini", then "_2", "_3", ... before ".ini" for further
// backups of the same port and family in the same second.
const QString kStampFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");
const QString kSuffix = QStringLiteral(".ini");
const QString kNamePattern =
    QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)_(.+?)(?:_(\\d+))?") +
    QRegularExpression::escape(kSuffix) + QLatin1Char('$');

QString Tr(const char *text)
{
    return QCoreApplication::translate(kContext, text);
}

// What a backup's name tells.
struct Backup
{
    QString fileName;
    QString stamp;
    QString stem; // "<port>_<family>"
    int copy;     // 1 for the first in its second
};

// Oldest first. Stamps of the fixed format sort as the times they write.
bool Older(const Backup &a, const Backup &b)
{
    return std::tie(a.stamp, a.copy, a.fileName) < std::tie(b.stamp, b.copy, b.fileName);
}

// The folder's backups, oldest first; other files in it are none of the store's business. A
// family holds no "_", so a name's last "_<digits>" is its copy number.
QVector<Backup> Backups(const QString &folder)
{
    const QRegularExpression pattern(kNamePattern);
    QVector<Backup> backups;
    const QStringList names = QDir(folder).entryList(QDir::Files);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (match.hasMatch()) {
            const QString copy = match.captured(3);
            backups.append(
                {name, match.captured(1), match.captured(2), copy.isEmpty() ? 1 : copy.toInt()});
        }
    }
    std::sort(backups.begin(), backups.end(), Older);
    return backups;
}

// The port without a leading "/dev/" and with "-" for any other "/"; the family without spaces.
QString Stem(const QString &port, const QString &family)
{
    const QLatin1String folder(CPortScan::kDeviceFolder);
    QString name = port.startsWith(folder) ? port.mid(folder.size()) : port;
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return name + QLatin1Char('_') + QString(family).remove(QLatin1Char(' '));
}

QString FileName(const QString &stamp, const QString &stem, int copy)
{
    const QString number = copy > 1 ? QLatin1Char('_') + QString::number(copy) : QString();
    return stamp + QLatin1Char('_') + stem + number + kSuffix;
}

// Creates the folder and every missing parent, each for its owner alone. Returns why it
// could not, or nothing.
QString MakeFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return QString();
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder) {
        const QString reason = MakeFolder(parent);
        if (!reason.isEmpty())
            return reason;
    }
    if (::mkdir(QFile::encodeName(folder).constData(), kFolderMode) == 0)
        return QString();
    const int error = errno;
    if (error == EEXIST && QFileInfo(folder).isDir())
        return QString(); // made by another thread meanwhile
    return qt_error_string(error == EEXIST ? ENOTDIR : error);
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

enum class Creation
{
    Written,
    Taken, // a file of that name exists
    Failed,
};

// Creates the file only if no file of its name exists, and writes and syncs all of it, so that a
// backup is either complete or gone. Unbuffered: a full disk shows in the write itself.
Creation CreateFile(const QString &path, const QByteArray &bytes, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        const QFileInfo existing(path);
        if (existing.exists() || existing.isSymLink())
            return Creation::Taken;
        *reason = file.errorString();
        return Creation::Failed;
    }
    if (!CProgrammeFile::WriteAll(&file, bytes))
        *reason = file.errorString();
    else if (::fsync(file.handle()) != 0)
        *reason = qt_error_string(errno);
    else
        return Creation::Written;
    file.remove();
    return Creation::Failed;
}

void Prune(const QString &folder)
{
    const QVector<Backup> backups = Backups(folder);
    const QDir dir(folder);
    for (int i = 0; i < backups.size() - CBackupStore::kKept; ++i)
        QFile::remove(dir.filePath(backups[i].fileName));
}

} // namespace

CBackupStore::CBackupStore()
    : m_folder(QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                   .filePath(kFolderName))
{
}

void CBackupStore::SetClock(Clock clock)
{
    m_clock = std::move(clock);
}

bool CBackupStore::Keep(const QString &port, const CProgrammeFile::Contents &held, QString *message,
                        QString *path) const
{
    const QByteArray bytes = CProgrammeFile::Format(held);
    const QString stem = Stem(port, held.family);
    const QDir dir(m_folder);
    QString reason = MakeFolder(m_folder);
    if (reason.isEmpty()) {
        const QVector<Backup> backups = Backups(m_folder);
        const auto newest = std::find_if(backups.crbegin(), backups.crend(),
                                         [&stem](const Backup &b) { return b.stem == stem; });
        if (newest != backups.crend() && ReadBytes(dir.filePath(newest->fileName)) == bytes) {
            if (path)
                *path = dir.filePath(newest->fileName);
            return true;
        }
        // Digits of the C locale, whatever the user's.
        const QString stamp =
            QLocale::c().toString(m_clock ? m_clock() : QDateTime::currentDateTime(), kStampFormat);
        for (int copy = 1;; ++copy) {
            const QString file = dir.filePath(FileName(stamp, stem, copy));
            const Creation creation = CreateFile(file, bytes, &reason);
            if (creation == Creation::Taken)
                continue;
            if (creation == Creation::Failed)
                break;
            Prune(m_folder);
            if (path)
                *path = file;
            return true;
        }
    }
    *message = Tr("Could not keep a backup of the board's programme in %1: %2. Nothing was sent.")
                   .arg(QDir::toNativeSeparators(m_folder), reason);
    return false;
}
