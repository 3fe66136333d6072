#include "device/PortWatch.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

// Lists so often that a test hardly waits for a listing.
constexpr int kIntervalMs = 20;
// Long enough for a probe that should not come to have come.
constexpr int kSettledMs = 1500;

// Ports whose device files are files in a folder of the test's own: a port is plugged in while its
// file exists. The discovery names `named`; what the watch tells is kept with its time.
struct Ports
{
    Ports()
        : watch([this] {
              for (const QString &port : named) {
                  if (QFile::exists(port) && !firstListed.contains(port))
                      firstListed.insert(port, clock.elapsed());
              }
              ++listings;
              return named;
          })
    {
        clock.start();
        watch.SetInterval(kIntervalMs);
        QObject::connect(&watch, &CPortWatch::ProbeDue, [this](const QString &port) {
            Note(QStringLiteral("probe ") + Name(port));
            if (busy)
                watch.Busy(port);
        });
        QObject::connect(&watch, &CPortWatch::Vanished, [this](const QString &port) {
            Note(QStringLiteral("vanished ") + Name(port));
        });
    }

    QString Path(const QString &name) const { return dir.filePath(name); }
    QString Name(const QString &path) const { return QFileInfo(path).fileName(); }
    void Plug(const QString &name) const
    {
        QFile file(Path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    void Unplug(const QString &name) const { QVERIFY(QFile::remove(Path(name))); }
    void Note(const QString &event)
    {
        events << event;
        at << clock.elapsed();
    }

    QTemporaryDir dir;
    QElapsedTimer clock;
    QStringList named;
    QHash<QString, qint64> firstListed;
    int listings = 0;
    bool busy = false; // each probe finds the port in use
    QStringList events;
    QVector<qint64> at;
    CPortWatch watch;
};

using Act = std::function<void(Ports &)>;

QStringList Times(int count, const QString &event)
{
    QStringList events;
    while (count-- > 0)
        events << event;
    return events;
}

} // namespace

Q_DECLARE_METATYPE(Act)

class TestPortWatch : public QObject
{
    Q_OBJECT

private slots:
    void tells_data()
    {
        QTest::addColumn<QStringList>("atStart"); // plugged in before the first listing
        QTest::addColumn<Act>("act");
        QTest::addColumn<QStringList>("events");

        const Act nothing = [](Ports &) {};
        QTest::newRow("ports there from the start are never due")
            << QStringList{"A", "B"} << nothing << QStringList();
        QTest::newRow("a named port whose device file appears is due once")
            << QStringList() << Act([](Ports &p) { p.Plug("B"); }) << QStringList{"probe B"};
        QTest::newRow("a port the discovery starts to name is due once")
            << QStringList{"A"} << Act([](Ports &p) {
                   p.Plug("C");
                   p.named << p.Path("C");
               })
            << QStringList{"probe C"};
        QTest::newRow("a port that goes is told once; one that goes before its probe is not due")
            << QStringList{"A"} << Act([](Ports &p) {
                   p.Plug("B");
                   QTest::qWait(300);
                   p.Unplug("B");
                   p.Unplug("A");
               })
            << QStringList{"vanished A", "vanished B"};
        QTest::newRow("a port in use is due again each second, ten times at most")
            << QStringList() << Act([](Ports &p) {
                   p.busy = true;
                   p.Plug("B");
               })
            << Times(1 + CPortWatch::kBusyRetries, "probe B");
        QTest::newRow("a port forgotten by its owner is new when listed again")
            << QStringList{"A"} << Act([](Ports &p) { p.watch.Forget(p.Path("A")); })
            << QStringList{"probe A"};
    }

    // What the watch tells, and never a probe before the second after a port's first listing.
    void tells()
    {
        QFETCH(QStringList, atStart);
        QFETCH(Act, act);
        QFETCH(QStringList, events);

        Ports ports;
        QVERIFY(ports.dir.isValid());
        ports.named = QStringList{ports.Path("A"), ports.Path("B")};
        for (const QString &name : atStart)
            ports.Plug(name);
        ports.watch.Start();
        act(ports);
        QTRY_COMPARE_WITH_TIMEOUT(ports.events, events, 20000);
        QTest::qWait(kSettledMs);
        QCOMPARE(ports.events, events);
        QHash<QString, qint64> earliest; // a port's next probe
        for (int i = 0; i < ports.events.size(); ++i) {
            if (!ports.events[i].startsWith("probe"))
                continue;
            const QString port = ports.Path(ports.events[i].mid(6));
            const qint64 due =
                earliest.value(port, ports.firstListed.value(port) + CPortWatch::kProbeDelayMs);
            QVERIFY2(ports.at[i] >= due, qPrintable(ports.events[i]));
            earliest.insert(port, ports.at[i] + CPortWatch::kBusyRetryMs);
        }
    }

    // While an exchange runs nothing is listed; a port that came meanwhile is due after it.
    void pausedForAnExchange()
    {
        Ports ports;
        ports.named << ports.Path("A");
        ports.watch.Start();
        ports.watch.Pause();
        ports.watch.Pause();
        const int listings = ports.listings;
        ports.Plug("A");
        ports.watch.Resume();
        QTest::qWait(kSettledMs);
        QCOMPARE(ports.listings, listings);
        QCOMPARE(ports.events, QStringList());

        ports.watch.Resume();
        QTRY_COMPARE_WITH_TIMEOUT(ports.events, QStringList{"probe A"}, 5000);
        QVERIFY(ports.at[0] >= ports.firstListed.value(ports.Path("A")) + 1000);
        QCOMPARE(ports.watch.Ports(), QStringList{ports.Path("A")});
    }
};

QTEST_MAIN(TestPortWatch)
#include "test_portwatch.moc"
