#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPointF>

// Round lamp drawn with gradients; the owner sets m_state (1 idle, 2 transmitting,
// 3 receiving) and asks for a repaint.
class QLedIndicator : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QColor onColor1 MEMBER onColor1)
    Q_PROPERTY(QColor onColor2 MEMBER onColor2)
    Q_PROPERTY(QColor offColor1 MEMBER offColor1)
    Q_PROPERTY(QColor offColor2 MEMBER offColor2)
    Q_PROPERTY(QColor onColor3 MEMBER onColor3)
    Q_PROPERTY(QColor onColor4 MEMBER onColor4)
    Q_PROPERTY(QColor offColor3 MEMBER offColor3)
    Q_PROPERTY(QColor offColor4 MEMBER offColor4)
    Q_PROPERTY(int m_state MEMBER m_state)

public:
    using status = int;

    // Colours and light source of the lamp face for one state.
    struct Look
    {
        QColor centre;
        QColor edge;
        QPointF focus;
    };

    explicit QLedIndicator(QWidget *parent = nullptr);

    Look lookFor(status state) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    QColor onColor1{0, 255, 0};
    QColor offColor1{0, 28, 0};
    QColor onColor2{0, 192, 0};
    QColor offColor2{142, 142, 142};
    QColor onColor3{255, 0, 0};
    QColor offColor3{28, 28, 28};
    QColor onColor4{192, 0, 0};
    QColor offColor4{128, 128, 128};
    status m_state = 0;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
};
