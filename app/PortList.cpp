#include "app/PortList.h"

#include "app/BoardResult.h"
#include "app/ResultFormat.h"
#include "device/BoardSettings.h"
#include "device/BoardType.h"
#include "device/ScanReport.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

CPortList::Entry ProbeOne(const QString &port)
{
    CBoardSettings settings;
    settings.Link().SetPortDiscovery([port] { return QStringList{port}; });
    CPortList::Entry entry{port, QString(), QString(), QString()};
    if (!settings.ConnectBoard()) {
        const QVector<CAdvCmd::PortOutcome> scan = settings.Link().LastScan();
        entry.reason = CScanReport::Reason(scan.isEmpty() ? CAdvCmd::PortFailure::NotOpened
                                                          : scan.first().failure);
        return entry;
    }
    settings.ReadVersion(); // a board that does not tell it is of the unknown type
    entry.family = BoardType::Family(settings.GetBoardType());
    entry.version = settings.GetVersion();
    return entry;
}

} // namespace

QVector<CPortList::Entry> CPortList::Probe(const QStringList &ports)
{
    QVector<Entry> entries(ports.size());
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < ports.size(); ++i) {
        threads.emplace_back(
            QThread::create([&entries, &ports, i] { entries[i] = ProbeOne(ports[i]); }));
        threads.back()->start();
    }
    for (const auto &thread : threads)
        thread->wait();
    return entries;
}

int CPortList::Run(const QStringList &ports, bool json, CConsole *console)
{
    if (ports.isEmpty()) {
        console->Warn(CScanReport::Message({}));
        return CBoardResult::kNoBoard;
    }
    console->Progress(QCoreApplication::translate("MainWindow", "Looking for boards"));
    const QVector<Entry> entries = Probe(ports);
    for (const Entry &entry : entries) {
        const bool answered = entry.reason.isEmpty();
        if (json)
            console->Out(CResultFormat::JsonLine(
                answered ? QJsonObject{{QStringLiteral("port"), entry.port},
                                       {QStringLiteral("family"), entry.family},
                                       {QStringLiteral("version"), entry.version}}
                         : QJsonObject{{QStringLiteral("port"), entry.port},
                                       {QStringLiteral("reason"), entry.reason}}));
        else
            console->Out(CResultFormat::TabLine(
                answered ? QStringList{entry.port, entry.family, entry.version}
                         : QStringList{entry.port, entry.reason}));
    }
    const bool any = std::any_of(entries.cbegin(), entries.cend(),
                                 [](const Entry &entry) { return entry.reason.isEmpty(); });
    return any ? CBoardResult::kDone : CBoardResult::kNoBoard;
}
