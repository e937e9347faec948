#pragma once

#include <QWidget>

class QLabel;
class StabilityTracker;

// A live display's stability at a glance: "settling" or "stable" on a coloured mark, and the
// slope per minute with the unit; the figures and limits in its tool tip. It is told on each live
// line and never polls or times anything itself.
class StabilityIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit StabilityIndicator(QWidget *parent = nullptr);

    // `decimals` for the slope: one more than the channel's resolution shows.
    void showTracker(const StabilityTracker &tracker, const QString &unit, int decimals);
    // No value to judge: the display shows dashes, or its field has no stability row.
    void showNothing();

    QString stateText() const;
    QString slopeText() const;

    // A slope per minute with its sign and unit: "+0.12 ppm/min".
    static QString slopeText(double perMinute, const QString &unit, int decimals);
    // The decimals a slope is shown with for a channel of this resolution.
    static int decimalsFor(double resolution);

private:
    void setState(int state); // -1 none, else Stability::State

    QLabel *m_state;
    QLabel *m_slope;
    int m_shownState = -2;
};
