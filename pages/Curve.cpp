#include "pages/Curve.h"

#include "device/BoardSettings.h"

#include <QPainter>
#include <algorithm>

namespace {
// Geometry of the strip, in pixels: hour h stands at x = kOriginX + 60 h.
constexpr int kOriginX = 55;
constexpr int kPixelsPerHour = 60;
constexpr int kAxisY = 40;
constexpr int kAxisLeft = 50;
constexpr int kAxisRight = 1500;
constexpr int kTickTop = 35;
constexpr int kTickBottom = 45;
// Hour labels are centred under their tick, on the middle of the pixels x - 2 to x + 7 and
// 50 to 59.
constexpr qreal kHourLabelCentreDX = 2.5;
constexpr qreal kHourLabelCentreY = 54.5;
constexpr int kBarTop = 10;
constexpr int kBarBottom = 39;
constexpr int kHours = 24;
constexpr int kSecondsPerMinute = 60;

// Minutes since midnight of a time of day, seconds ignored; -1 when it is not a valid time.
int MinuteOfDay(const QDateTime &time)
{
    const QTime t = time.time();
    return t.isValid() ? t.hour() * 60 + t.minute() : -1;
}
} // namespace

CCurve::CCurve(CBoardSettings *settings, QWidget *parent) : QWidget(parent), m_settings(settings) {}

void CCurve::ComputeTimeline()
{
    m_timeline.fill(0);
    for (int s = 0; s < kSessionCount; ++s) {
        const WakeSession session = m_settings->GetSession(s);
        const PowerTimes power = m_settings->GetPowerTimes(s);
        if (session.mode != kWakeByTime)
            continue;
        const int start = MinuteOfDay(session.start);
        const int step = MinuteOfDay(session.interval);
        if (start < 0 || step < 0 || session.repeat < 1)
            continue;
        const int span = std::max(power[0], power[1]) / kSecondsPerMinute;
        // Marks past midnight are dropped, so only the photos that start within the day count;
        // a zero interval marks the same minutes for every photo.
        const qint64 photos =
            step == 0
                ? 1
                : std::min<qint64>(session.repeat, (kMinutesPerDay - start + step - 1) / step);
        const int lastOffset = std::min(span, kMinutesPerDay - 1);
        for (qint64 k = 0; k < photos; ++k) {
            for (int m = 0; m <= lastOffset; ++m) {
                const qint64 minute = start + k * step + m;
                if (minute >= kMinutesPerDay)
                    break;
                m_timeline[size_t(minute)] = s + 1;
            }
        }
    }
}

void CCurve::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(kAxisLeft, kAxisY, kAxisRight, kAxisY);
    for (int h = 0; h <= kHours; ++h) {
        const int x = kOriginX + kPixelsPerHour * h;
        painter.drawLine(x, kTickTop, x, kTickBottom);
        // Each label in its own bounding rectangle, so that no digit is clipped. That rectangle
        // has fractional edges once centred, and clipping to them would still shave the
        // anti-aliased edge pixels of a glyph: the label is not clipped at all.
        const QString label = QString::number(h);
        QRectF box = painter.fontMetrics().boundingRect(label);
        box.moveCenter(QPointF(x + kHourLabelCentreDX, kHourLabelCentreY));
        painter.drawText(box, Qt::AlignCenter | Qt::TextDontClip, label);
    }
    for (int m = 0; m < kMinutesPerDay; ++m) {
        const int x = kOriginX + m;
        if (m_timeline[size_t(m)] != 0) {
            painter.setPen(QPen(Qt::red, 1));
            painter.drawLine(x, kBarTop, x, kBarBottom);
        } else {
            painter.setPen(QPen(Qt::blue, 1));
            painter.drawLine(x, kBarBottom, x, kBarBottom);
        }
    }
}
