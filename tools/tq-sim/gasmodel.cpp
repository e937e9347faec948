#include "gasmodel.h"

#include <QRandomGenerator>
#include <QtMath>

void GasModel::setGas(double gas, double t)
{
    // The drift goes on; only the settled part restarts from where the sensor is now.
    m_from = level(t) - m_params.driftPerMinute * t / 60.0;
    m_changedAt = t;
    m_params.gas = gas;
}

double GasModel::level(double t) const
{
    double settled = m_params.gas;
    const double since = t - m_changedAt;
    if (m_params.settleS > 0 && since >= 0)
        settled += (m_from - m_params.gas) * qExp(-since / m_params.settleS);
    return settled + m_params.driftPerMinute * t / 60.0;
}

double GasModel::reading(double t) const
{
    const double jitter = (QRandomGenerator::global()->generateDouble() * 2.0 - 1.0) * m_params.noise;
    return level(t) + jitter;
}
