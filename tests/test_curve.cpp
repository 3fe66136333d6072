#include "device/BoardSettings.h"
#include "pages/Curve.h"

#include <QImage>
#include <QPainter>
#include <QtTest>
#include <climits>

namespace {
// One time-triggered (or not) session as the model would hold it.
struct Session
{
    int index;
    int mode;
    QString start;
    QString interval;
    int repeat;
    int power1;
    int power2;
};

// Minutes from..to (inclusive) hold value.
struct Marked
{
    int from;
    int to;
    int value;
};
} // namespace

Q_DECLARE_METATYPE(QVector<Session>)
Q_DECLARE_METATYPE(QVector<Marked>)

class TestCurve : public QObject
{
    Q_OBJECT

private:
    static QDateTime Time(const QString &text)
    {
        return text.isEmpty() ? QDateTime() : QDateTime::fromString(text, "hh:mm:ss");
    }

    static void Load(CBoardSettings *settings, const QVector<Session> &sessions)
    {
        settings->Reset();
        for (const Session &s : sessions) {
            settings->SetSession(s.index,
                                 WakeSession{s.mode, Time(s.start), Time(s.interval), s.repeat});
            settings->SetPowerTimes(s.index, s.power1, s.power2);
        }
    }

private slots:
    void timeline_data()
    {
        QTest::addColumn<QVector<Session>>("sessions");
        QTest::addColumn<QVector<Marked>>("marked");

        QTest::newRow("every session off leaves the day empty")
            << QVector<Session>{} << QVector<Marked>{};
        QTest::newRow("three hourly photos from 08:00 with two minutes of power")
            << QVector<Session>{{0, 1, "08:00:00", "01:00:00", 3, 120, 30}}
            << QVector<Marked>{{480, 482, 1}, {540, 542, 1}, {600, 602, 1}};
        QTest::newRow("the larger power time sets the span")
            << QVector<Session>{{2, 1, "10:00:00", "00:30:00", 2, 30, 180}}
            << QVector<Marked>{{600, 603, 3}, {630, 633, 3}};
        QTest::newRow("power under a minute marks the starting minute only")
            << QVector<Session>{{0, 1, "06:15:40", "00:20:00", 2, 59, 0}}
            << QVector<Marked>{{375, 375, 1}, {395, 395, 1}};
        QTest::newRow("an input-triggered session leaves no mark")
            << QVector<Session>{{0, 2, "08:00:00", "01:00:00", 3, 120, 30}} << QVector<Marked>{};
        QTest::newRow("a session without action leaves no mark")
            << QVector<Session>{{1, 0, "08:00:00", "01:00:00", 3, 120, 30}} << QVector<Marked>{};
        QTest::newRow("no photos leave no mark")
            << QVector<Session>{{0, 1, "08:00:00", "01:00:00", 0, 120, 30}} << QVector<Marked>{};
        QTest::newRow("a later session overwrites the minutes it shares")
            << QVector<Session>{{0, 1, "08:00:00", "00:00:00", 1, 600, 0},
                                {1, 1, "08:05:00", "00:00:00", 1, 600, 0}}
            << QVector<Marked>{{480, 484, 1}, {485, 495, 2}};
        QTest::newRow("a zero interval marks the same minutes again")
            << QVector<Session>{{3, 1, "12:00:00", "00:00:00", 50, 60, 0}}
            << QVector<Marked>{{720, 721, 4}};
        QTest::newRow("photos past midnight are dropped, not wrapped")
            << QVector<Session>{{0, 1, "23:58:00", "00:01:00", 5, 0, 0}}
            << QVector<Marked>{{1438, 1439, 1}};
        QTest::newRow("power past midnight is cut at the end of the day")
            << QVector<Session>{{0, 1, "23:50:00", "00:00:00", 1, 3600, 0}}
            << QVector<Marked>{{1430, 1439, 1}};
        QTest::newRow("a start that is not a time marks nothing")
            << QVector<Session>{{0, 1, "", "00:10:00", 5, 120, 0}} << QVector<Marked>{};
        QTest::newRow("an interval that is not a time marks nothing")
            << QVector<Session>{{0, 1, "08:00:00", "", 5, 120, 0}} << QVector<Marked>{};
        QTest::newRow("a negative power time marks nothing")
            << QVector<Session>{{0, 1, "08:00:00", "00:10:00", 5, -120, -60}} << QVector<Marked>{};
        QTest::newRow("huge counts stay within the day")
            << QVector<Session>{{0, 1, "00:00:00", "00:01:00", INT_MAX, INT_MAX, INT_MAX}}
            << QVector<Marked>{{0, 1439, 1}};
    }

    void timeline()
    {
        QFETCH(QVector<Session>, sessions);
        QFETCH(QVector<Marked>, marked);
        CBoardSettings settings;
        Load(&settings, sessions);
        CCurve curve(&settings, nullptr);
        curve.ComputeTimeline();

        QVector<int> expected(CCurve::kMinutesPerDay, 0);
        for (const Marked &m : marked)
            for (int minute = m.from; minute <= m.to; ++minute)
                expected[minute] = m.value;
        for (int minute = 0; minute < CCurve::kMinutesPerDay; ++minute)
            QVERIFY2(curve.SessionAt(minute) == expected[minute],
                     qPrintable(QString("minute %1 holds %2, expected %3")
                                    .arg(minute)
                                    .arg(curve.SessionAt(minute))
                                    .arg(expected[minute])));
    }

    void recomputingForgetsEarlierMarks()
    {
        CBoardSettings settings;
        Load(&settings, {{0, 1, "08:00:00", "01:00:00", 3, 120, 30}});
        CCurve curve(&settings, nullptr);
        curve.ComputeTimeline();
        QCOMPARE(curve.SessionAt(480), 1);
        settings.Reset();
        curve.ComputeTimeline();
        QCOMPARE(curve.SessionAt(480), 0);
    }

    // Busy minutes are red bars from y 10 to 39 at x = 55 + minute; idle minutes a blue point
    // at y 39; the black axis at y 40 with a tick at every hour.
    void paintsBarsAtTheirMinutes()
    {
        CBoardSettings settings;
        Load(&settings, {{0, 1, "08:00:00", "01:00:00", 3, 120, 30}});
        CCurve curve(&settings, nullptr);
        curve.resize(1600, 100);
        curve.ComputeTimeline();
        const QImage image = curve.grab().toImage();

        const QColor red(Qt::red), blue(Qt::blue), black(Qt::black);
        for (int x = 55; x <= 1494; ++x) {
            const int minute = x - 55;
            const bool busy = (minute >= 480 && minute <= 482) ||
                              (minute >= 540 && minute <= 542) || (minute >= 600 && minute <= 602);
            QCOMPARE(QColor(image.pixel(x, 39)), busy ? red : blue);
            QCOMPARE(QColor(image.pixel(x, 10)) == red, busy);
        }
        QCOMPARE(QColor(image.pixel(535, 25)), red);
        QVERIFY(QColor(image.pixel(534, 25)) != red);
        QVERIFY(QColor(image.pixel(538, 25)) != red);
        QCOMPARE(QColor(image.pixel(50, 40)), black);
        QCOMPARE(QColor(image.pixel(1500, 40)), black);
        for (int h = 0; h <= 24; ++h)
            QCOMPARE(QColor(image.pixel(55 + 60 * h, 43)), black);
        for (int x = 1501; x < 1600; ++x)
            QVERIFY(QColor(image.pixel(x, 40)) != black);
    }

    // Each hour label reads whole, in a 12-point font too: its pixels are those of the same text
    // drawn unclipped around the same centre.
    void hourLabelsReadWhole()
    {
        CBoardSettings settings;
        CCurve curve(&settings, nullptr);
        curve.resize(1600, 100);
        QFont font = curve.font();
        font.setPointSize(12);
        curve.setFont(font);
        const QImage image = curve.grab().toImage();
        const QRgb background = image.pixel(image.width() - 1, image.height() - 1);

        for (int h = 0; h <= 24; ++h) {
            QImage label(image.size(), image.format());
            label.fill(background);
            // The widget's resolution, so that the font has the same pixel size.
            label.setDotsPerMeterX(qRound(curve.logicalDpiX() / 0.0254));
            label.setDotsPerMeterY(qRound(curve.logicalDpiY() / 0.0254));
            QPainter painter(&label);
            painter.setFont(font);
            painter.setPen(QPen(Qt::black, 1));
            const QString text = QString::number(h);
            QRectF around(QPointF(), QSizeF(label.size()));
            around.moveCenter(QPointF(55 + 60 * h + 2.5, 54.5));
            painter.drawText(around, Qt::AlignCenter | Qt::TextDontClip, text);
            painter.end();

            QRect ink;
            for (int y = 0; y < label.height(); ++y) {
                for (int x = 0; x < label.width(); ++x) {
                    if (label.pixel(x, y) != background)
                        ink |= QRect(x, y, 1, 1);
                }
            }
            QVERIFY2(!ink.isEmpty(), qPrintable(text));
            for (int y = ink.top(); y <= ink.bottom(); ++y) {
                for (int x = ink.left(); x <= ink.right(); ++x)
                    QVERIFY2(
                        image.pixel(x, y) == label.pixel(x, y),
                        qPrintable(QStringLiteral("label %1 at (%2, %3)").arg(text).arg(x).arg(y)));
            }
        }
    }
};

QTEST_MAIN(TestCurve)
#include "test_curve.moc"
