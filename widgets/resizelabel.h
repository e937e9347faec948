#pragma once

#include <QLabel>

// Label whose font grows and shrinks with the label so that the text fills it.
class ResizeLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ResizeLabel(QWidget *parent = nullptr);

    // Scales the font to the current text and size; call after setText.
    void fitText();

protected:
    void resizeEvent(QResizeEvent *event) override;
};
