#pragma once

#include "calib/modelpanel.h"
#include "ui_pmcalibrator.h"

class QGroupBox;

// Panel of the particulate-matter model: six live channels shown as previews, one chosen pair of
// them on the large displays, chart and offset editors; output mode, Modbus settings, factory reset.
class PmCalibrator : public ModelPanel<Ui::PmCalibrator, 404>
{
    Q_OBJECT

public:
    PmCalibrator(const PanelDevice &device, QWidget *parent);

    void resetPanel() override;
    int selectedChannel() const { return m_selectedChannel; }

protected:
    void showLiveValues(const QStringList &fields) override;

private:
    // One selectable pair of channels and what it puts on the large displays.
    struct Pair
    {
        QGroupBox *box;
        QString title1;
        QString title2;
        int field1; // live fields, 0-based
        int field2;
        int offset1; // offset command of each channel, NoCommand when the channel has none
        int offset2;
    };

    void setOutputMode();
    void setSelectedChannel();
    ReplyHandler outputModeReply(bool applied);
    void selectPair(int pair);
    void applyOffset(int channel);
    void applyOutputMode(int buttonId);
    void askFactoryReset();
    std::function<bool()> pairIs(int pair) const;

    QButtonGroup *m_outputGroup = nullptr;
    QVector<Pair> m_pairs;
    int m_outputType = 0; // ATCMODE: 0 mass, 1 number concentration
    int m_selectedChannel = 0;
    int m_deviceBaudIndex = 0;
    int m_deviceTimeoutIndex = 0;
};
