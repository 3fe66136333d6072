#include "device/CommandFile.h"

#include <QFile>

namespace {
// Command files hold the command (with its CR) and a CR LF line end on every platform,
// as the files boards are already loaded with.
constexpr char kLineEnd[] = "\r\n";
} // namespace

void CCommandFile::Append(const QString &name, const QByteArray &line)
{
    ++m_lines;
    const QByteArray bytes = line + kLineEnd;
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size() ||
        !file.flush())
        ++m_failures;
}
