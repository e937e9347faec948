#pragma once

#include <QDateTime>
#include <cmath>
#include <vector>

// The trend used by the benchmark and the sample picture: 240 one-second samples of a CO2-like
// reading ending at a fixed moment, with a run of missing values in the middle.
namespace SampleData {

const int kCount = 240;
const int kGapFirst = 120;
const int kGapLast = 131;

inline double endTime()
{
    return double(QDateTime(QDate(2026, 3, 2), QTime(14, 30, 0)).toSecsSinceEpoch());
}

// Values for `frame` seconds after the first picture: the wave moves on one sample per frame.
// The waveform is worked out once, so filling costs the same few copies for every library.
inline void fill(double *times, double *values, double noValue, double end = endTime(), int frame = 0)
{
    static const std::vector<double> wave = [] {
        std::vector<double> w(kCount + 4096);
        for (size_t i = 0; i < w.size(); ++i)
            w[i] = 415 + 12 * std::sin(i / 17.0) + 4 * std::sin(i / 3.1);
        return w;
    }();
    const size_t start = size_t(frame) % (wave.size() - kCount);
    for (int i = 0; i < kCount; ++i) {
        times[i] = end - (kCount - 1 - i);
        values[i] = i >= kGapFirst && i <= kGapLast ? noValue : wave[start + size_t(i)];
    }
}

} // namespace SampleData
