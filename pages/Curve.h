#pragma once

#include <QWidget>
#include <array>

class CBoardSettings;

// A strip of one day, one pixel per minute, that marks in red every minute in which a
// time-triggered photo session keeps the board powered. Shows the saved model, not page edits.
class CCurve : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMinutesPerDay = 1440;

    CCurve(CBoardSettings *settings, QWidget *parent);

    // Rebuilds the timeline from the model; callers repaint afterwards.
    void ComputeTimeline();

    // 0 when no time-triggered session is powered in the minute, else the number (1 to 4) of
    // the last session found powered in it.
    int SessionAt(int minute) const { return m_timeline[size_t(minute)]; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    CBoardSettings *m_settings;
    std::array<int, kMinutesPerDay> m_timeline{};
};
