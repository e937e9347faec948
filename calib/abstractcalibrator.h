#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// What the main window needs of any model panel. A panel derives from QWidget first and
// from this second; the main window owns it through this interface.
class AbstractCalibrator
{
public:
    virtual ~AbstractCalibrator() {}
    virtual void setInputsEnabled(bool enabled) = 0;
    virtual bool writePollCommand(const QByteArray &bytes) = 0;
    virtual void parsingLine(QString line) = 0;
};

#define AbstractCalibrator_iid "com.lumaweave.tq.AbstractCalibrator"
Q_DECLARE_INTERFACE(AbstractCalibrator, AbstractCalibrator_iid)
