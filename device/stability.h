#pragma once

#include <QString>
#include <QVector>

#include <optional>

// Whether a live channel has settled: the trend (least-squares slope) and the scatter (standard
// deviation) over a sliding window, judged against limits once a minimum dwell has passed. Pure
// functions of the samples, so the same figures come out in a panel, the command line and tests.
namespace Stability {

struct Sample
{
    double time;  // seconds, on any clock that does not run backwards
    double value; // in the channel's units
};

struct Limits
{
    double maxSlope = 0; // units per minute, magnitude
    double maxSd = 0;    // units
    double dwellS = 60;  // no verdict before this much time since the start
    double windowS = 60; // the figures cover the samples this far back from the latest
};

struct Figures
{
    int count = 0;             // samples in the window
    double slopePerMinute = 0; // 0 with fewer than two samples
    double sd = 0;             // sample standard deviation; 0 with fewer than two samples
    double mean = 0;
};

enum class State
{
    Settling,
    Stable,
};

// Fewer samples than this give no verdict: two points always lie on a line.
constexpr int kMinSamples = 3;

// Least-squares slope in units per minute; empty with fewer than two distinct times.
std::optional<double> slopePerMinute(const QVector<Sample> &samples);
// Sample standard deviation (n − 1); empty with fewer than two samples.
std::optional<double> standardDeviation(const QVector<Sample> &samples);
Figures figures(const QVector<Sample> &samples);
// The verdict on the figures of a window, `elapsed` seconds after the start.
State judge(const Figures &figures, const Limits &limits, double elapsed);
// How far toward stable, 0..1: the least advanced of the dwell, the samples, and each limit (a
// figure over its limit counts as limit / figure). 1 only when stable.
double progress(const Figures &figures, const Limits &limits, double elapsed);

} // namespace Stability

// One channel's stability as samples arrive. A sample that is no number, not finite or not later
// than the last one is a gap: it neither enters the window nor restarts the dwell.
class StabilityTracker
{
public:
    explicit StabilityTracker(const Stability::Limits &limits = {}) : m_limits(limits) {}

    void add(double time, double value);
    void add(double time, const std::optional<double> &value);
    // A field as the device sent it ("391.2", "----").
    void addText(double time, const QString &text);
    // Starts the dwell again from the next sample, as after a gas change or an adjustment.
    void restart();

    Stability::Limits limits() const { return m_limits; }
    void setLimits(const Stability::Limits &limits);

    Stability::State state() const;
    bool isStable() const { return state() == Stability::State::Stable; }
    Stability::Figures figures() const { return Stability::figures(m_window); }
    // Seconds from the first sample since the start to the latest; 0 before any.
    double elapsed() const;
    QVector<Stability::Sample> window() const { return m_window; }

private:
    void trim();

    Stability::Limits m_limits;
    QVector<Stability::Sample> m_window;
    std::optional<double> m_start;
    std::optional<double> m_latest;
};
