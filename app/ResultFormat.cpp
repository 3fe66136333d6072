#include "app/ResultFormat.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <array>
#include <cmath>

namespace {

const char *const kContext = "MainWindow";
const QString kTab = QStringLiteral("\t");
const QString kLineEnd = QStringLiteral("\n");
constexpr double kMsPerSecond = 1000.0;

using Outcome = CBoardResult::Outcome;

QString Tr(const char *text)
{
    return QCoreApplication::translate(kContext, text);
}

// Each outcome's result text, its word for scripts, and the text for several boards in a summary
// where it differs.
struct Told
{
    const char *text;
    const char *word;
    const char *several;
};

const std::array<Told, CBoardResult::kOutcomes> kTold{{
    {QT_TRANSLATE_NOOP("MainWindow", "written and verified"), "ok", nullptr},
    {QT_TRANSLATE_NOOP("MainWindow", "holds the file"), "ok",
     QT_TRANSLATE_NOOP("MainWindow", "hold the file")},
    {QT_TRANSLATE_NOOP("MainWindow", "differs"), "differs",
     QT_TRANSLATE_NOOP("MainWindow", "differ")},
    {QT_TRANSLATE_NOOP("MainWindow", "other family"), "other-family", nullptr},
    {QT_TRANSLATE_NOOP("MainWindow", "no board"), "no-board", nullptr},
    {QT_TRANSLATE_NOOP("MainWindow", "stopped answering"), "lost", nullptr},
    {QT_TRANSLATE_NOOP("MainWindow", "unplugged"), "unplugged", nullptr},
    {QT_TRANSLATE_NOOP("MainWindow", "interrupted"), "interrupted", nullptr},
    {QT_TRANSLATE_NOOP("MainWindow", "no backup"), "no-backup", nullptr},
}};

const Told &Of(Outcome outcome)
{
    return kTold[size_t(outcome)];
}

} // namespace

QString CResultFormat::Text(const CBoardResult &result)
{
    const QString text = Tr(Of(result.outcome).text);
    switch (result.outcome) {
    case Outcome::Differs:
        return result.differences.size() == 1
                   ? Tr("%1: 1 value").arg(text)
                   : Tr("%1: %2 values").arg(text).arg(result.differences.size());
    case Outcome::Unplugged:
    case Outcome::Interrupted:
        return result.linesToSend > 0 ? Tr("%1: %2 of %3 lines sent")
                                            .arg(text)
                                            .arg(result.linesSent)
                                            .arg(result.linesToSend)
                                      : Tr("%1: no line sent").arg(text);
    default:
        return text;
    }
}

QString CResultFormat::Word(Outcome outcome)
{
    return QLatin1String(Of(outcome).word);
}

QString CResultFormat::Line(const CBoardResult &result)
{
    return TabLine({result.port, result.family, result.version, Text(result)}) +
           Differences(result.differences, kTab);
}

QString CResultFormat::Differences(const QVector<CProgrammeFile::Difference> &differences,
                                   const QString &indent)
{
    QString lines;
    for (const CProgrammeFile::Difference &difference : differences)
        lines += indent + difference.Text() + kLineEnd;
    return lines;
}

QString CResultFormat::Json(const CBoardResult &result)
{
    QJsonArray differences;
    for (const CProgrammeFile::Difference &difference : result.differences)
        differences.append(QJsonObject{{QStringLiteral("key"), difference.key},
                                       {QStringLiteral("board"), difference.board},
                                       {QStringLiteral("file"), difference.file}});
    return JsonLine(
        {{QStringLiteral("port"), result.port},
         {QStringLiteral("family"), result.family},
         {QStringLiteral("version"), result.version},
         {QStringLiteral("result"), Word(result.outcome)},
         {QStringLiteral("differences"), differences},
         {QStringLiteral("unanswered"), result.unanswered},
         {QStringLiteral("lines"), result.linesSent},
         {QStringLiteral("seconds"), std::round(result.seconds * kMsPerSecond) / kMsPerSecond}});
}

QString CResultFormat::Summary(const QVector<CBoardResult> &results)
{
    std::array<int, CBoardResult::kOutcomes> counts{};
    for (const CBoardResult &result : results)
        ++counts[size_t(result.outcome)];
    QStringList parts;
    for (size_t i = 0; i < counts.size(); ++i) {
        const Told &told = kTold[i];
        if (counts[i] > 0)
            parts << QStringLiteral("%1 %2").arg(counts[i]).arg(
                Tr(counts[i] > 1 && told.several ? told.several : told.text));
    }
    const int boards = results.size();
    const QString total = boards == 1 ? Tr("1 board") : Tr("%1 boards").arg(boards);
    return parts.isEmpty() ? total + QLatin1Char('.')
                           : Tr("%1: %2.").arg(total, parts.join(QStringLiteral(", ")));
}

QString CResultFormat::TabLine(const QStringList &fields)
{
    return fields.join(kTab) + kLineEnd;
}

QString CResultFormat::JsonLine(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + kLineEnd;
}
