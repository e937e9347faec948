#include "device/stability.h"

#include "device/commandset.h"

#include <QtMath>

namespace Stability {

namespace {

double meanValue(const QVector<Sample> &samples)
{
    double sum = 0;
    for (const Sample &s : samples)
        sum += s.value;
    return sum / samples.size();
}

} // namespace

std::optional<double> slopePerMinute(const QVector<Sample> &samples)
{
    if (samples.size() < 2)
        return std::nullopt;
    // Centred on the mean time, so Unix-second time stamps lose no precision in the squares.
    double meanTime = 0;
    for (const Sample &s : samples)
        meanTime += s.time;
    meanTime /= samples.size();
    const double meanV = meanValue(samples);
    double sxy = 0;
    double sxx = 0;
    for (const Sample &s : samples) {
        const double dt = s.time - meanTime;
        sxx += dt * dt;
        sxy += dt * (s.value - meanV);
    }
    if (!(sxx > 0))
        return std::nullopt;
    return sxy / sxx * 60.0;
}

std::optional<double> standardDeviation(const QVector<Sample> &samples)
{
    if (samples.size() < 2)
        return std::nullopt;
    const double m = meanValue(samples);
    double squares = 0;
    for (const Sample &s : samples)
        squares += (s.value - m) * (s.value - m);
    return qSqrt(squares / (samples.size() - 1));
}

Figures figures(const QVector<Sample> &samples)
{
    Figures f;
    f.count = samples.size();
    if (samples.isEmpty())
        return f;
    f.mean = meanValue(samples);
    f.slopePerMinute = slopePerMinute(samples).value_or(0.0);
    f.sd = standardDeviation(samples).value_or(0.0);
    return f;
}

State judge(const Figures &figures, const Limits &limits, double elapsed)
{
    const bool settled = elapsed >= limits.dwellS && figures.count >= kMinSamples &&
                         qAbs(figures.slopePerMinute) < limits.maxSlope && figures.sd < limits.maxSd;
    return settled ? State::Stable : State::Settling;
}

double progress(const Figures &figures, const Limits &limits, double elapsed)
{
    if (judge(figures, limits, elapsed) == State::Stable)
        return 1.0;
    const auto under = [](double figure, double limit) {
        return figure < limit ? 1.0 : (figure > 0 ? limit / figure : 0.0);
    };
    double part = limits.dwellS > 0 ? elapsed / limits.dwellS : 1.0;
    part = qMin(part, double(figures.count) / kMinSamples);
    part = qMin(part, under(qAbs(figures.slopePerMinute), limits.maxSlope));
    part = qMin(part, under(figures.sd, limits.maxSd));
    // Not stable yet, so never the full bar.
    return qBound(0.0, part, 0.99);
}

} // namespace Stability

void StabilityTracker::add(double time, double value)
{
    if (!qIsFinite(time) || !qIsFinite(value) || (m_latest && time <= *m_latest))
        return;
    if (!m_start)
        m_start = time;
    m_latest = time;
    m_window.append({time, value});
    trim();
}

void StabilityTracker::add(double time, const std::optional<double> &value)
{
    if (value)
        add(time, *value);
}

void StabilityTracker::addText(double time, const QString &text)
{
    add(time, Cmd::number(text.trimmed()));
}

void StabilityTracker::restart()
{
    m_window.clear();
    m_start.reset();
    m_latest.reset();
}

void StabilityTracker::setLimits(const Stability::Limits &limits)
{
    m_limits = limits;
    trim();
}

Stability::State StabilityTracker::state() const
{
    return Stability::judge(figures(), m_limits, elapsed());
}

double StabilityTracker::elapsed() const
{
    return m_start && m_latest ? *m_latest - *m_start : 0.0;
}

void StabilityTracker::trim()
{
    if (!m_latest)
        return;
    // A window of no length (or no number) holds the latest sample only, so it never grows unbounded.
    const double from = *m_latest - (m_limits.windowS > 0 ? m_limits.windowS : 0.0);
    int drop = 0;
    while (drop < m_window.size() && m_window.at(drop).time < from)
        ++drop;
    m_window.remove(0, drop);
}
