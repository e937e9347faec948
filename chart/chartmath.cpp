#include "chart/chartmath.h"

#include <algorithm>
#include <cfloat>

namespace ChartMath {

namespace {

const double kDateSteps[] = {1,     2,     5,      10,     15,      20,      30,      60,       120,
                             300,   600,   900,    1200,   1800,    3600,    7200,    10800,    21600,
                             43200, 86400, 172800, 604800, 1209600, 2592000, 7776000, 15552000, 31536000};

const int kMaxTicks = 1000;

double niceStepAtLeast(double rough)
{
    if (!(rough > 0) || !std::isfinite(rough))
        return 0;
    double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * magnitude >= rough * (1 - 1e-12))
            return factor * magnitude;
    }
    return 10 * magnitude;
}

} // namespace

double dateMajorStep(double span, double pixels, int density)
{
    if (span <= 0 || pixels <= 0)
        return kDateSteps[0];
    for (double step : kDateSteps) {
        if (step * pixels / span >= density)
            return step;
    }
    return std::end(kDateSteps)[-1];
}

double dateMinorStep(double majorStep, double span, double pixels, int density)
{
    if (span <= 0 || pixels <= 0)
        return 0;
    for (double step : kDateSteps) {
        if (step >= majorStep)
            break;
        if (std::fmod(majorStep, step) == 0 && step * pixels / span >= density)
            return step;
    }
    return 0;
}

Scale autoScale(double minValue, double maxValue, double pixels, int density)
{
    double lo = minValue;
    double hi = maxValue;
    double range = hi - lo;
    if (range == 0) {
        double pad = lo == 0 ? 1 : std::fabs(lo) * 0.1;
        lo -= pad;
        hi += pad;
    } else {
        lo -= range * 0.1;
        hi += range * 0.1;
    }
    if (minValue >= 0 && maxValue > 0 && (minValue <= 0.8 * maxValue || lo < 0))
        lo = 0;
    if (maxValue <= 0 && minValue < 0 && (maxValue >= 0.8 * minValue || hi > 0))
        hi = 0;
    if (!std::isfinite(hi - lo)) {
        lo = -DBL_MAX / 4;
        hi = DBL_MAX / 4;
    }

    int intervals = std::max(1, int(pixels / std::max(1, density)));
    double step = niceStepAtLeast((hi - lo) / intervals);
    Scale scale{lo, hi, step, 0};
    for (int guard = 0; step > 0 && guard < 8; ++guard) {
        double low = std::floor(lo / step + 1e-9) * step;
        double high = std::ceil(hi / step - 1e-9) * step;
        scale = Scale{low, high, step, 0};
        if ((high - low) / step <= intervals + 1e-9)
            break;
        step = niceStepAtLeast(step * 1.5);
    }
    return scale;
}

QVector<double> tickValues(double low, double high, double step, double offset)
{
    QVector<double> ticks;
    if (!(step > 0) || !(high >= low) || (high - low) / step > kMaxTicks)
        return ticks;
    double first = std::ceil((low + offset) / step - 1e-9) * step - offset;
    for (int i = 0;; ++i) {
        double value = first + i * step;
        if (value > high + step * 1e-9)
            break;
        ticks.append(value);
    }
    return ticks;
}

double valueToPixel(double value, double low, double high, double p0, double p1)
{
    if (high == low)
        return p0;
    return p0 + (value - low) / (high - low) * (p1 - p0);
}

double pixelToValue(double pixel, double low, double high, double p0, double p1)
{
    if (p1 == p0)
        return low;
    return low + (pixel - p0) / (p1 - p0) * (high - low);
}

int nearestIndex(const double *xs, int count, double target)
{
    int best = -1;
    double bestDistance = 0;
    for (int i = 0; i < count; ++i) {
        if (!Chart::hasValue(xs[i]))
            continue;
        double distance = std::fabs(xs[i] - target);
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

int indexOf(const double *xs, int count, double value, double tolerance)
{
    for (int i = 0; i < count; ++i) {
        if (Chart::hasValue(xs[i]) && std::fabs(xs[i] - value) <= tolerance)
            return i;
    }
    return -1;
}

QString formatTime(double chartTime, int utcOffset)
{
    long long seconds = (long long)std::floor(chartTime) + utcOffset;
    long long ofDay = ((seconds % 86400) + 86400) % 86400;
    int h = int(ofDay / 3600);
    int m = int(ofDay / 60 % 60);
    int s = int(ofDay % 60);
    const QChar zero('0');
    return QStringLiteral("%1:%2:%3").arg(h, 2, 10, zero).arg(m, 2, 10, zero).arg(s, 2, 10, zero);
}

int decimalsForStep(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    int decimals = 0;
    while (decimals < 10 && std::fabs(step - std::round(step)) > 1e-9 * std::max(1.0, std::fabs(step))) {
        step *= 10;
        ++decimals;
    }
    return decimals;
}

QString formatValue(double value, int decimals)
{
    if (!Chart::hasValue(value))
        return QString();
    if (decimals == 0 && std::fabs(value) < 1e15)
        return QString::number((long long)std::llround(value));
    return QString::number(value, 'f', decimals);
}

} // namespace ChartMath
