#pragma once

#include <QString>
#include <QVector>
#include <cmath>

namespace Chart {
// A data point holding this marker is not drawn and leaves a gap in its line.
constexpr double NoValue = 1.7E+308;

// Whether a data value can be drawn: neither the marker nor an infinity or NaN from bad input.
inline bool hasValue(double value)
{
    return value != NoValue && std::isfinite(value);
}
} // namespace Chart

// Pure arithmetic of the trend charts: axis scales and ticks, value/pixel mapping, lookups in
// the x data and label texts. Kept free of painting so it can be checked on its own.
namespace ChartMath {

// An axis range with its tick steps; ticks stand at whole multiples of a step (for a date
// axis, counted in local time).
struct Scale
{
    double low = 0;
    double high = 0;
    double majorStep = 0;
    double minorStep = 0;
};

// Step in seconds between labelled ticks of a date axis spanning `span` seconds over `pixels`
// so that labels stand at least `density` pixels apart; a whole number of seconds, minutes,
// hours or days.
double dateMajorStep(double span, double pixels, int density);

// The finest even division of `majorStep` whose ticks stand at least `density` pixels apart,
// or 0 when no minor tick fits.
double dateMinorStep(double majorStep, double span, double pixels, int density);

// Auto-scaled linear axis over [minValue, maxValue]: the range grown a little, anchored at zero
// when the data sit close to it, rounded out to a 1, 2 or 5 step with labels at least `density`
// pixels apart.
Scale autoScale(double minValue, double maxValue, double pixels, int density);

// Tick values in [low, high] where value + offset is a whole multiple of `step`.
QVector<double> tickValues(double low, double high, double step, double offset = 0);

// Linear mapping of `value` in [low, high] onto the pixel range [p0, p1].
double valueToPixel(double value, double low, double high, double p0, double p1);
double pixelToValue(double pixel, double low, double high, double p0, double p1);

// Index of the x value nearest to `target`, skipping the no-value marker; -1 when there is none.
int nearestIndex(const double *xs, int count, double target);

// Index of the first x value within `tolerance` of `value`; -1 when there is none.
int indexOf(const double *xs, int count, double value, double tolerance);

// "hh:nn:ss" label of a chart time, local time given as the offset from UTC in seconds.
QString formatTime(double chartTime, int utcOffset);

// Number of decimals that shows every multiple of `step` exactly (0 for whole steps).
int decimalsForStep(double step);

QString formatValue(double value, int decimals);

} // namespace ChartMath
