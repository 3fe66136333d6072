#include "device/PortWatch.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

// Lists so often that a test hardly waits for a listing.
constexpr int kIntervalMs = 20;
// Long enough for a probe that should not come to have come.
constexpr int kSettledMs = 1500;

// Ports A, B and C are files in a folder of the test's own: one is plugged in while its file
// exists. The discovery names `named`; each event the watch tells is kept with its time.
struct Ports
{
    Ports()
        : watch([this] {
              for (const QString &port : named) {
                  if (QFile::exists(port) && !firstListed.contains(QFileInfo(port).fileName()))
                      firstListed.insert(QFileInfo(port).fileName(), clock.elapsed());
              }
              ++listings;
              return named;
          })
    {
        named = QStringList{dir.filePath("A"), dir.filePath("B")};
        clock.start();
        watch.SetInterval(kIntervalMs);
        QObject::connect(&watch, &CPortWatch::ProbeDue, [this](const QString &port) {
            Note("probe ", port);
            if (busy)
                watch.Busy(port);
        });
        QObject::connect(&watch, &CPortWatch::Vanished,
                         [this](const QString &port) { Note("vanished ", port); });
    }

    void Plug(const QString &name) const { QFile(dir.filePath(name)).open(QIODevice::WriteOnly); }
    void Unplug(const QString &name) const { QFile::remove(dir.filePath(name)); }
    void Note(const char *what, const QString &port)
    {
        events << what + QFileInfo(port).fileName();
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

        QTest::newRow("ports there from the start are never due")
            << QStringList{"A", "B"} << Act([](Ports &) {}) << QStringList();
        QTest::newRow("a named port whose device file appears is due once")
            << QStringList() << Act([](Ports &p) { p.Plug("B"); }) << QStringList{"probe B"};
        QTest::newRow("a port the discovery starts to name is due once")
            << QStringList{"A", "C"} << Act([](Ports &p) { p.named << p.dir.filePath("C"); })
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
            << QString("probe B,").repeated(11).split(',', Qt::SkipEmptyParts);
        QTest::newRow("a port forgotten by its owner is new when listed again")
            << QStringList{"A"} << Act([](Ports &p) { p.watch.Forget(p.dir.filePath("A")); })
            << QStringList{"probe A"};
        QTest::newRow("nothing is listed during an exchange; a port that came is due after it")
            << QStringList() << Act([](Ports &p) {
                   p.watch.Pause();
                   p.watch.Pause();
                   const int listings = p.listings;
                   p.Plug("A");
                   p.watch.Resume();
                   QTest::qWait(kSettledMs);
                   QCOMPARE(p.listings, listings);
                   QCOMPARE(p.events, QStringList());
                   p.watch.Resume();
               })
            << QStringList{"probe A"};
    }

    // What the watch tells, and never a probe before the second after a port's first listing.
    void tells()
    {
        QFETCH(QStringList, atStart);
        QFETCH(Act, act);
        QFETCH(QStringList, events);

        Ports ports;
        for (const QString &name : atStart)
            ports.Plug(name);
        ports.watch.Start();
        act(ports);
        QTRY_COMPARE_WITH_TIMEOUT(ports.events, events, 20000);
        QTest::qWait(kSettledMs);
        QCOMPARE(ports.events, events);
        // The n-th probe of a port comes n seconds after its first listing at the earliest.
        for (int i = 0; i < events.size(); ++i) {
            if (events[i].startsWith("probe"))
                QVERIFY(ports.at[i] >= ports.firstListed[events[i].mid(6)] +
                                           1000 * (1 + events.mid(0, i).count(events[i])));
        }
    }
};

QTEST_MAIN(TestPortWatch)
#include "test_portwatch.moc"
