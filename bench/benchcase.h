#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <vector>

// One library's way of drawing the benchmark chart. `fullRedraw(frame)` draws the chart with the
// data moved on by `frame` seconds, track cursor included; `overlayRefresh(frame)` only moves the
// cursor, where the library can do that on its own.
struct BenchCase
{
    QString name;
    std::function<QImage(int frame)> fullRedraw;
    std::function<QImage(int frame)> overlayRefresh;
};

BenchCase qtChartsCase();
BenchCase qCustomPlotCase();
