// Live values: displays, the two trend charts and polls without values.
#include "calib/calibrator.h"
#include "calib/sharedtext.h"

#include "calib/panelhost.h"
#include "chart/chartlib.h"
#include "chart/chartview.h"
#include "device/conversation.h"
#include "device/devicemodels.h"
#include "device/linechannel.h"
#include "device/modeltable.h"
#include "records/calibrationjournal.h"
#include "records/recordschema.h"
#include "widgets/callpacer.h"
#include "widgets/decimalinput.h"
#include "widgets/logmessagehandler.h"
#include "widgets/messageboxes.h"
#include "widgets/opaquefill.h"
#include "widgets/passworddlg.h"
#include "widgets/qledindicator.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QJsonDocument>
#include <QLCDNumber>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>
#include <QWizard>

#include <climits>
#include <utility>

namespace {

// A live field as a chart value: its number, or a gap.
double chartValue(const QString &field)
{
    return Cmd::number(field).value_or(Chart::NoValue);
}

} // namespace

// --- live values --------------------------------------------------------------------------

void Calibrator::setLiveLine(const QString &pollWord, int fieldCount, ShortLine shortLine)
{
    m_pollWord = pollWord;
    m_liveFieldCount = fieldCount;
    m_shortLine = shortLine;
    // The model's units until the panel learns the device's settings (setLiveUnit).
    const ModelTable::Model *table = ModelTable::find(m_tqModel);
    m_liveUnits.clear();
    for (int i = 0; i < fieldCount; ++i)
        m_liveUnits.append(table && i < table->live.size() ? QString::fromUtf8(table->live.at(i).unit)
                                                           : QString());
}

void Calibrator::setLiveDisplays(const QList<QLCDNumber *> &displays, int chartField1, int chartField2)
{
    m_liveDisplays = displays;
    for (QLCDNumber *lcd : displays)
        OpaqueFill::keep(lcd);
    m_chartField1 = chartField1;
    m_chartField2 = chartField2;
    addIndicators();
}

void Calibrator::handleLiveLine(const QString &line)
{
    QStringList fields = Cmd::liveFields(line, m_pollWord);
    if (fields.size() < m_liveFieldCount) {
        if (m_shortLine == ShortLine::Ignored)
            return;
        if (m_shortLine == ShortLine::AllNoValue)
            fields.clear();
        while (fields.size() < m_liveFieldCount)
            fields.append(QString());
    }
    m_pollsWithoutValues = 0;
    if (m_noValuesShown) {
        m_noValuesShown = false;
        showStatus(QString());
    }
    const QDateTime poll =
        m_unansweredPolls.isEmpty() ? QDateTime::currentDateTimeUtc() : m_unansweredPolls.first();
    feedTrackers(poll, fields);
    // Every line is recorded; the displays may show only the latest of a stream.
    m_livePacer->run([this, fields] { showLiveValues(fields); });
    emit liveValuesShown(poll, fields);
}

QStringList Calibrator::liveFieldNames() const
{
    const ModelTable::Model *table = ModelTable::find(m_tqModel);
    QStringList names;
    for (int i = 0; i < m_liveFieldCount; ++i) {
        const bool named = table && i < table->live.size();
        names.append(named ? QString::fromUtf8(table->live.at(i).name)
                           : QStringLiteral("field %1").arg(i + 1));
    }
    return names;
}

void Calibrator::setLiveUnit(int field, const QString &unit)
{
    if (field < 0 || field >= m_liveUnits.size())
        return;
    // Readings in another unit (°F after °C) are no trend of the earlier ones.
    if (m_liveUnits.at(field) != unit && field < m_trackers.size())
        m_trackers[field].restart();
    m_liveUnits[field] = unit;
}

void Calibrator::showLiveValues(const QStringList &fields)
{
    for (int i = 0; i < m_liveDisplays.size(); ++i)
        showField(m_liveDisplays.at(i), fields, i);
    addChartSample(fields.value(m_chartField1), fields.value(m_chartField2));
}

void Calibrator::showNoLiveValues()
{
    for (QLCDNumber *lcd : qAsConst(m_liveDisplays))
        showField(lcd, QString());
}

void Calibrator::showField(QLCDNumber *lcd, const QString &field)
{
    QString text;
    if (!Cmd::number(field)) {
        text = QString(qMin(4, lcd->digitCount()), QLatin1Char('-'));
    } else {
        // A decimal point shares its digit's cell only with the small-point style.
        int cells = field.size();
        if (lcd->smallDecimalPoint())
            cells -= field.count(QLatin1Char('.'));
        text = cells > lcd->digitCount() ? QString::fromLatin1(kOverflowMark) : field;
    }
    // Lines streamed back to back mostly repeat the value shown: that costs no repaint.
    const QVariant shown = lcd->property(kShownText);
    if (shown.isValid() && shown.toString() == text)
        return;
    lcd->setProperty(kShownText, text);
    lcd->display(text);
}

void Calibrator::addChartSample(const QString &field1, const QString &field2)
{
    if (!m_chart || m_unansweredPolls.isEmpty())
        return;
    const QDateTime poll = m_unansweredPolls.takeFirst();
    const double time = Chart::chartTime2(poll.toTime_t()) + poll.time().msec() / 1000.0;
    // The Rate menu may have changed the period since the last sample.
    if (m_mainWindow)
        m_chart->setPollPeriodMs(m_mainWindow->pollPeriodMs());
    m_chart->addSample(time, chartValue(field1), chartValue(field2));
}

// --- the device going and coming back -----------------------------------------------------

QString Calibrator::lastRead(const QString &word) const
{
    return m_journal->lastRead(word);
}

void Calibrator::deviceGone()
{
    m_journal->endWrite(RecordSchema::kOutcomePortLost);
    delete m_passwordDlg;
    // The host no longer shows this panel as current, so no delayed step reaches the device.
    m_reply = nullptr;
    m_mode = DEFAULT;
    m_seq = Cmd::NoCommand;
    m_waiting.clear();
    m_refreshQueued = false;
    m_apply = ApplyOptions{};
    m_applyFailText.clear();
    m_unansweredPolls.clear();
    m_livePacer->cancel();
    m_paused = false;
    setInputsEnabled(false);
}

void Calibrator::deviceBack()
{
    m_pollsWithoutValues = 0;
    startFirstRefresh();
}
