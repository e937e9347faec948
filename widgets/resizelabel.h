#pragma once

#include <QLabel>

// Label whose font grows and shrinks with the label so that the text fills it.
class ResizeLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ResizeLabel(QWidget *parent = nullptr);

protected:
    void resizeEvent(QResizeEvent *event) override;
};
