#include "device/IniDuplicates.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace {

const QByteArray kByteOrderMark = "\xEF\xBB\xBF";
const QRegularExpression kLineEnds(QStringLiteral("[\r\n]"));
constexpr QChar kComment = QLatin1Char(';');
constexpr QChar kGroupStart = QLatin1Char('[');
constexpr QChar kGroupEnd = QLatin1Char(']');
constexpr QChar kAssign = QLatin1Char('=');
constexpr QChar kKeySeparator = QLatin1Char('/');

} // namespace

QString CIniDuplicates::First(const QByteArray &text)
{
    const QByteArray body =
        text.startsWith(kByteOrderMark) ? text.mid(kByteOrderMark.size()) : text;
    QSet<QString> groups;
    QSet<QString> keys;
    QString group;
    for (const QString &raw : QString::fromUtf8(body).split(kLineEnds)) {
        const QString line = raw.trimmed();
        if (line.startsWith(kGroupStart)) {
            const int end = line.indexOf(kGroupEnd);
            group = line.mid(1, end < 0 ? -1 : end - 1).trimmed();
            if (groups.contains(group))
                return kGroupStart + group + kGroupEnd;
            groups.insert(group);
            continue;
        }
        const int assign = line.indexOf(kAssign);
        const int comment = line.indexOf(kComment);
        if (assign < 0 || (comment >= 0 && comment < assign))
            continue;
        const QString key = group + kKeySeparator + line.left(assign).trimmed();
        if (keys.contains(key))
            return key;
        keys.insert(key);
    }
    return QString();
}
