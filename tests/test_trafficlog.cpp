#include "app/TrafficLog.h"

#include <QtTest>

// The lines of the traffic a technician reads and sends on: where they end, and how bytes that
// are no text show.

using Direction = CAdvCmd::Direction;
using Chunks = QVector<QPair<Direction, QByteArray>>;

Q_DECLARE_METATYPE(Chunks)

class TestTrafficLog : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<Chunks>("chunks");
        QTest::addColumn<QStringList>("lines");

        const Direction sent = Direction::Sent;
        const Direction received = Direction::Received;
        QTest::newRow("a request and its reply, CR LF ending one line each")
            << Chunks{{sent, "ADV#WAKE=?\r"}, {received, "+WAKE=0,1;\r\nOK\r\n"}}
            << QStringList{"> ADV#WAKE=?", "< +WAKE=0,1;", "< OK"};
        QTest::newRow("a reply line in pieces is one line")
            << Chunks{{received, "+VER"}, {received, "SION=1LV1"}, {received, "\r\nOK\n"}}
            << QStringList{"< +VERSION=1LV1", "< OK"};
        QTest::newRow("a reply without a line end ends where the next request begins")
            << Chunks{{received, "OK"}, {sent, "ADV#\r"}, {received, "late"}}
            << QStringList{"< OK", "> ADV#", "< late"};
        QTest::newRow("control bytes, bytes beyond ASCII and a backslash are escaped")
            << Chunks{{received, QByteArray("a\0\tb\x7f\xc3\xa9\\", 8)}}
            << QStringList{"< a\\x00\\x09b\\x7f\\xc3\\xa9\\\\"};
    }

    void lines()
    {
        QFETCH(Chunks, chunks);
        QFETCH(QStringList, lines);
        QStringList logged;
        CTrafficLog log([&logged](const QString &line) { logged << line; });
        for (const auto &chunk : chunks)
            log.Add(chunk.first, chunk.second);
        log.Flush();
        QCOMPARE(logged, lines);
    }
};

QTEST_APPLESS_MAIN(TestTrafficLog)
#include "test_trafficlog.moc"
