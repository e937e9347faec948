#pragma once

// What a sensor in a gas stream sees: the true concentration set from outside, the first-order lag
// of the sensing element behind a change of it, a slow drift and noise. Values are in the unit of
// the model's primary channel (ppm, %, ug/m3); times in seconds on the device's clock.
class GasModel
{
public:
    struct Params
    {
        double gas = 0;     // true concentration from the start, already settled
        double settleS = 0; // time constant of the lag; 0 follows a change at once
        double noise = 0;   // each reading is off by up to this much either way
        double driftPerMinute = 0;
    };

    GasModel() = default;
    explicit GasModel(const Params &params) : m_params(params), m_from(params.gas) {}

    Params params() const { return m_params; }
    double gas() const { return m_params.gas; }
    // A new true concentration at time t; the reading moves toward it from where it is now.
    void setGas(double gas, double t);
    // The reading without noise: lag and drift. What a calibration command takes as the truth.
    double level(double t) const;
    // One reading: level(t) plus noise.
    double reading(double t) const;

private:
    Params m_params;
    double m_from = 0; // the level when the gas last changed
    double m_changedAt = 0;
};
