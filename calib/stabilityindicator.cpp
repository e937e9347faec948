#include "calib/stabilityindicator.h"

#include "device/stability.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QtMath>

namespace {

const char *const kSettlingStyle =
    "color: rgb(255, 255, 255); background-color: rgb(200, 130, 0); border-radius: 3px; padding: 0 4px;";
const char *const kStableStyle =
    "color: rgb(255, 255, 255); background-color: rgb(46, 139, 87); border-radius: 3px; padding: 0 4px;";
const char *const kNoneStyle = "color: rgb(128, 128, 128); padding: 0 4px;";

} // namespace

StabilityIndicator::StabilityIndicator(QWidget *parent)
    : QWidget(parent), m_state(new QLabel(this)), m_slope(new QLabel(this))
{
    setObjectName(QStringLiteral("stabilityIndicator"));
    // Stacked and as wide as the display above: a text that changes never moves the display.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    for (QLabel *label : {m_state, m_slope}) {
        label->setFont(small);
        label->setAlignment(Qt::AlignCenter);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        layout->addWidget(label);
    }
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    showNothing();
}

void StabilityIndicator::showTracker(const StabilityTracker &tracker, const QString &unit, int decimals)
{
    const Stability::Figures figures = tracker.figures();
    const Stability::Limits limits = tracker.limits();
    if (figures.count == 0) {
        showNothing();
        return;
    }
    setState(int(tracker.state()));
    // Two samples make a slope of their own; with one there is no trend to show yet.
    m_slope->setText(figures.count >= 2 ? slopeText(figures.slopePerMinute, unit, decimals) : QString());
    const auto number = [decimals](double value) { return QString::number(value, 'f', decimals); };
    setToolTip(tr("slope %1 (under %2 %3/min), SD %4 (under %5 %3), %6 samples, %7 s of the %8 s dwell")
                   .arg(slopeText(figures.slopePerMinute, unit, decimals), number(limits.maxSlope), unit,
                        number(figures.sd), number(limits.maxSd))
                   .arg(figures.count)
                   .arg(qRound(tracker.elapsed()))
                   .arg(limits.dwellS));
}

void StabilityIndicator::showNothing()
{
    setState(-1);
    m_slope->clear();
    setToolTip(QString());
}

void StabilityIndicator::setState(int state)
{
    if (state == m_shownState)
        return;
    m_shownState = state;
    const bool stable = state == int(Stability::State::Stable);
    m_state->setText(state < 0 ? QStringLiteral("—") : stable ? tr("stable") : tr("settling"));
    m_state->setStyleSheet(QLatin1String(state < 0 ? kNoneStyle : stable ? kStableStyle : kSettlingStyle));
}

QString StabilityIndicator::stateText() const
{
    return m_state->text();
}

QString StabilityIndicator::slopeText() const
{
    return m_slope->text();
}

QString StabilityIndicator::slopeText(double perMinute, const QString &unit, int decimals)
{
    // A slope that rounds to zero is shown unsigned rather than as "-0.00".
    const QString number = QString::number(qAbs(perMinute), 'f', decimals);
    const bool zero = number.toDouble() == 0;
    const QString sign = zero ? QString() : perMinute < 0 ? QStringLiteral("-") : QStringLiteral("+");
    return tr("%1%2 %3/min").arg(sign, number, unit);
}

int StabilityIndicator::decimalsFor(double resolution)
{
    if (!(resolution > 0))
        return 2;
    return qBound(0, int(qCeil(-std::log10(resolution) - 1e-9)) + 1, 6);
}
