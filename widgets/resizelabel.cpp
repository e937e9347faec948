#include "widgets/resizelabel.h"

#include <QFontMetrics>
#include <QtMath>

namespace {
// The text keeps this margin to the label's edges.
const int marginX = 10;
const int marginY = 8;
// Smallest size the label shrinks to: a valid font that can still be measured.
const qreal minPointSize = 1.0;
} // namespace

ResizeLabel::ResizeLabel(QWidget *parent) : QLabel(parent) {}

void ResizeLabel::resizeEvent(QResizeEvent *)
{
    fitText();
}

void ResizeLabel::fitText()
{
    if (text().isEmpty())
        return;
    QFont scaled = font();
    if (scaled.pointSizeF() <= 0)
        return;
    const QSize textSize = QFontMetrics(scaled).size(0, text());
    if (textSize.width() == 0 || textSize.height() == 0)
        return;
    const float fx = qAbs(float(width() - marginX) / textSize.width());
    const float fy = qAbs(float(height() - marginY) / textSize.height());
    const qreal size = scaled.pointSizeF() * qMin(fx, fy);
    if (!qIsFinite(size))
        return;
    scaled.setPointSizeF(qMax(size, minPointSize));
    setFont(scaled);
}
