#pragma once

#include "calib/abstractcalibrator.h"
#include "calib/calibrationpoint.h"
#include "calib/panelhost.h"
#include "device/commandset.h"
#include "device/conversation.h"
#include "device/stability.h"
#include "device/stabilitysettings.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <climits>
#include <functional>
#include <memory>

class CalibrationDialog;
class CalibrationJournal;
class CallPacer;
class ChartView;
class PasswordDlg;
class QAbstractButton;
class QAbstractSpinBox;
class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QChartViewerLabel;
class QComboBox;
class QDateTimeEdit;
class QDoubleSpinBox;
class QLCDNumber;
class QLabel;
class QLedIndicator;
class QSpinBox;
class QTimer;
class StabilityIndicator;

// The identified device a panel shows: its reply to "ATCVER", firmware number and serial.
struct PanelDevice
{
    QString versionText;
    int version = 0;
    QString serial;
};

// What every model panel shares: the conversation with the device one command at a time (refresh,
// apply, temperature unit and sensor type sequences, with their ends, time-out and queue), live
// values into displays and the trend chart, the TX/RX lamps and the editor colours. A model panel
// supplies its form, keywords, refresh order as a table of steps, applies and live layout.
class Calibrator : public QWidget, public AbstractCalibrator
{
    Q_OBJECT
    Q_INTERFACES(AbstractCalibrator)

public:
    enum Mode : int
    {
        DEFAULT = 0,
        REFRESH = 1,
        TEMPMODE = 2,
        SENSORTYPE = 3,
        APPLY = 4,
    };

    // Editor looks: in step with the device, or changed by the user and not yet written.
    static const char *const kInSyncStyle;
    static const char *const kPendingStyle;
    // Start and apply delays: the device gets a moment after the poll stops.
    static constexpr int kCommandDelayMs = PanelHost::kDefaultCommandDelayMs;
    static constexpr int kLampPulseMs = 300;
    // Polls in a row without a usable live line before the displays stop showing old values.
    static constexpr int kPollsWithoutValues = 3;
    // What an LCD shows for a value too long for it.
    static const char *const kOverflowMark;

    // Status and box texts of a sequence end (source texts, shown in the panel's translation).
    struct EndTexts
    {
        const char *success;
        const char *failure;
        const char *failureBox;
    };

    ~Calibrator() override;

    void setInputsEnabled(bool enabled) override;
    bool writePollCommand(const QByteArray &bytes) override;
    void parsingLine(QString line) override;

    // Writes one command (with its own "\r\n") and awaits the reply to `seq` in `mode`.
    bool writeCommand(int mode, int seq, const QString &command);
    void parsingSequence(QString line);
    void parsingApply(QString line);
    void startRefreshSequence();
    // Clears every shown value and returns to idle. Panels extend it.
    virtual void resetPanel();

    int mode() const { return m_mode; }
    int seq() const { return m_seq; }
    int tqModel() const { return m_tqModel; }
    int version() const { return m_version; }
    QString serialNumber() const { return m_serial; }
    QString versionText() const { return m_versionText; }
    // Each live field's name, from the model's table, and its unit as the device now sends it.
    QStringList liveFieldNames() const;
    QStringList liveUnits() const { return m_liveUnits; }
    ChartView *chart() const { return m_chart; }
    // A sequence runs, or a command waits for its delay; what is asked for meanwhile waits its turn.
    bool isBusy() const { return m_delayPending || m_mode != DEFAULT; }
    bool isCelsius() const { return m_isCelsius; }
    // The refresh commands this panel's firmware answers, in order.
    QList<int> refreshOrder() const;
    // What the last refresh read for a command word ("ATCEXTM"), as the device sent it.
    QString lastRead(const QString &word) const;
    // The device went away while the panel stays open: what it was doing ends as the port lost,
    // and the chart and the values read stay for when it comes back. Dialogs that would write to
    // the device close; a panel with dialogs of its own closes them too.
    virtual void deviceGone();
    // The same device is attached again: its settings are read afresh and the poll goes on.
    void deviceBack();

    // The stability limits of this device's channels, as the settings file holds them.
    StabilitySettings::Table stabilityTable() const { return m_stability; }
    // How settled a live field is, from every live line; nullptr for a field the panel lacks.
    const StabilityTracker *liveTracker(int field) const;
    // The indicator beside a live display, or nullptr.
    StabilityIndicator *indicator(QLCDNumber *display) const { return m_indicators.value(display); }
    // "Calibrate…": the guided calibration of a point, one dialog per panel.
    CalibrationDialog *openCalibration();
    // While a procedure runs the panel writes nothing of its own: its inputs stay locked.
    void setProcedureRunning(bool running);
    // What a guided calibration needs of this device: its model, units, table and record.
    CalibrationDevice calibrationDevice() const;
    bool isProcedureRunning() const { return m_procedureRunning; }

signals:
    // A live line shown, split into its fields (missing ones empty), at the poll it answers.
    void liveValuesShown(const QDateTime &pollTime, const QStringList &fields);

public slots:
    void writeRefresh();
    void delayWriteCelsius();
    void delayWriteFahrenheit();

protected:
    // How a reply to the awaited command ends its step.
    enum class Outcome
    {
        Accepted,   // value taken: next step, or END_SEQ
        Rejected,   // value not acceptable: ERROR SEQ
        HandedOver, // the apply ended quietly and a refresh takes over (handOverToRefresh)
        Refused,    // the device refused an action (its box was shown): the apply ends as failed
    };
    struct Reply
    {
        QString line;  // the whole line
        QString value; // what follows the command word
        std::optional<double> number() const { return Cmd::number(value); }
        std::optional<qint64> integer() const { return Cmd::integer(value); }
        QStringList fields() const { return value.split(QLatin1Char(','), Qt::KeepEmptyParts); }
    };
    using ReplyHandler = std::function<Outcome(const Reply &)>;
    struct Step
    {
        int id = Cmd::NoCommand;
        ReplyHandler onReply;
        int minVersion = 0; // firmware below this does not have the command: the refresh skips it
    };
    // The form's widgets the shared part drives.
    struct FormParts
    {
        QLabel *model = nullptr;
        QLabel *serial = nullptr;
        QChartViewerLabel *chart1 = nullptr;
        QChartViewerLabel *chart2 = nullptr;
        QBoxLayout *ledLayout = nullptr;
    };
    // One setting to write: its identifier and the whole command.
    struct Write
    {
        int id = Cmd::NoCommand;
        QString command;
    };
    // What an apply needs beyond its command.
    struct ApplyOptions
    {
        int mode = APPLY;                // APPLY, or SENSORTYPE for a sensor type / filter write
        const EndTexts *texts = nullptr; // own end texts; the apply texts by default
        bool onlyWhenIdle = false;       // a mode selector: dropped (and `failed` run) while busy
        std::function<void()> failed;    // after a failed, rejected, refused or unanswered write (not
                                         // after a reply with another value: the reply shows it)
        std::function<void()> ended;     // after the end, good or bad
        QString setting;                 // its name in the calibration record; by default the
                                         // titles around the widget that asked for the apply
    };
    enum class Trigger
    {
        Clicked,
        Pressed
    };
    enum class AfterOk
    {
        Refresh,
        End
    };

    Calibrator(int tqModel, const QString &versionText, int version, const QString &serialNumber,
               QWidget *parent);

    Calibrator(int tqModel, const PanelDevice &device, QWidget *parent)
        : Calibrator(tqModel, device.versionText, device.version, device.serial, parent)
    {
    }

    // Construction, in the panel's constructor: attachForm after setupUi, then the panel's own
    // widgets, then startFirstRefresh.
    void attachForm(const FormParts &parts);
    // The same with the parts every model's form names alike: label_model, label_serial,
    // label_chart_ch1, label_chart_ch2 and horizontalLayout_led.
    void attachForm();
    void startFirstRefresh();

    // The editing group boxes, in the order they are enabled and disabled.
    void setInputGroups(const QList<QWidget *> &groups) { m_inputGroups = groups; }
    // Words whose lines are replies, in REFRESH and in APPLY (the refresh list when none given);
    // a model in ModelTable has its lists there already.
    void setReplyKeywords(const QStringList &refresh, const QStringList &apply = {});
    // The handlers of the refresh steps. A model with a table in ModelTable reads in the table's
    // order, with its firmware gates; `minVersion` serves models without one.
    void setRefreshOrder(const QVector<Step> &steps);
    // The reply handler of an apply; by default the one of the same command in the refresh order.
    void setApplyHandler(int id, const ReplyHandler &handler);

    // What a live line with fewer fields than the panel needs does.
    enum class ShortLine
    {
        Ignored,        // changes nothing
        MissingNoValue, // the fields it has are shown, the missing ones are no value
        AllNoValue,     // every field is no value
    };
    // Live lines: the poll word and the fields the panel needs.
    void setLiveLine(const QString &pollWord, int fieldCount, ShortLine shortLine = ShortLine::Ignored);
    // The displays of the live fields in order, and the fields the two charts follow; what the
    // default showLiveValues and showNoLiveValues use.
    void setLiveDisplays(const QList<QLCDNumber *> &displays, int chartField1, int chartField2);
    // The unit a live field is in now, as the panel learns it from the device's settings.
    void setLiveUnit(int field, const QString &unit);
    // The panel's displays for one live line, split into fields (at least the panel's count).
    virtual void showLiveValues(const QStringList &fields);
    // Every live display without a value (the device sends none).
    virtual void showNoLiveValues();
    // A live field on an LCD: dashes when it holds no value, the overflow mark when too long.
    void showField(QLCDNumber *lcd, const QString &field);
    // Field `field` of a live line on an LCD, with its stability beside it.
    void showField(QLCDNumber *lcd, const QStringList &fields, int field);
    // One chart sample from two live fields, at the time of the poll they answer; a field that is
    // no number leaves a gap. A line that answers no poll is shown but not charted.
    void addChartSample(const QString &field1, const QString &field2);

    // Temperature unit written in TEMPMODE: the panel's two radio buttons, the chart (0 or 1) that
    // follows the temperature and starts afresh in a new unit, and what the panel shows anew when
    // the unit changes.
    void setTemperatureUnitButtons(QAbstractButton *celsius, QAbstractButton *fahrenheit,
                                   int temperatureChart, std::function<void()> unitChanged);
    // The degree sign and "C" or "F".
    static QString degreeUnit(bool celsius);

    void pauseMainWindow();
    void resumeMainWindow();
    void showStatus(const QString &text);
    // Whether the main window still shows this panel: a closed panel may live on until a box
    // returns and must then leave the device and the main window alone.
    bool isCurrentPanel() const;
    // A text shown on the panel's behalf: its own (in its context) or a shared one.
    QString panelText(const char *source) const;

    // Pause, then after the delay write what `build` returns then; an empty command only resumes.
    // Waits for a running sequence to end first. On a failed write the box shows `failText`.
    void applyLater(std::function<Write()> build, const QString &failText, const ApplyOptions &options);
    void applyLater(std::function<Write()> build, const QString &failText);
    void applyLater(int id, std::function<QString()> build, const QString &failText,
                    const ApplyOptions &options);
    void applyLater(int id, std::function<QString()> build, const QString &failText);
    // A setting's apply button: "WORD argument" with the argument read when the delay ends.
    void applyOnClick(QAbstractButton *button, int id, std::function<QString()> argument,
                      const QString &failText, Trigger trigger = Trigger::Clicked);
    // A channel offset: pending colour on change, written with two decimals when `button` goes down.
    void applyOffsetOnPress(QAbstractButton *button, QDoubleSpinBox *editor, int id, const QString &failText);
    // A choice among the device's modes or units, as a button group makes it: "WORD value" written
    // when idle and dropped while a sequence runs. `shown` puts the buttons back to the choice in
    // force; with `readBack`, a failed write asks the device which it now holds.
    struct Choice
    {
        int id = Cmd::NoCommand;
        int value = 0;
        QString status;   // shown when the write goes out
        QString failText; // its error box
        const EndTexts *texts = nullptr;
        int mode = APPLY;
        bool readBack = false;
        std::function<void()> shown;
    };
    void applyChoice(const Choice &choice);
    // Ends the running apply without its end texts and starts a refresh (an action the device took).
    void handOverToRefresh();
    // A Yes/No question; true only on Yes with this panel still shown when the box returns.
    bool askYes(const QString &title, const QString &text);
    // Shows the error box of a failed apply or refresh (title "ERROR").
    void showErrorBox(const QString &text);

    // Editor colours. In-sync editors that a failed refresh did not reach lose the colour again.
    void setInSync(QWidget *editor);
    void setPending(QWidget *editor);
    void markPendingOnChange(QDoubleSpinBox *editor);
    void markPendingOnChange(QSpinBox *editor);
    // In-sync colour while the combo's item data equals *deviceValue, pending otherwise.
    void compareOnChange(QComboBox *combo, const int *deviceValue);
    static void fillCombo(QComboBox *combo, const QStringList &texts);
    // Channels with nothing read: blank displays and unit labels, offsets 0 without a unit.
    static void clearChannels(const QList<QLCDNumber *> &displays, const QList<QLabel *> &units,
                              const QList<QDoubleSpinBox *> &offsets);
    // No button of an exclusive group checked: the panel does not know the device's choice.
    static void clearChoice(QButtonGroup *group);
    // Puts a device value into an editor, in-sync when it fits the editor's range; otherwise the
    // editor keeps the default look and the sequence's end warns. False for such a value.
    bool showDeviceValue(QAbstractSpinBox *editor, double value, bool inSync = true);
    // Remembers a warning for the status text that ends the sequence.
    void warnOutOfRange(QWidget *editor, const QString &deviceValue);

    // Reply handlers shared by the panels: a reply without a readable value is rejected.
    ReplyHandler offsetInto(QDoubleSpinBox *editor, std::function<bool()> shown = {});
    ReplyHandler numberInto(QSpinBox *editor);
    ReplyHandler hoursInto(QSpinBox *editor);
    ReplyHandler timeInto(QDateTimeEdit *editor);
    // The device's index if it is 0..max; otherwise the combo stays and the end warns.
    ReplyHandler indexInto(QComboBox *combo, int *deviceIndex, int max);
    ReplyHandler flagInto(QCheckBox *box);
    // The mode a reply names, when the model's table allows it at this firmware.
    std::optional<int> tableChoice(const Reply &reply, const char *word) const;
    // The lowest value the model's table allows for a setting at this firmware (a first unit code).
    int tableMinimum(const char *word) const;
    // A unit the device names by a code: `firstCode` for the first of `unitCount` units, the next
    // code for the next unit. *unit becomes 0..unitCount-1, or -1 for a code outside (the end warns,
    // naming `shownIn`); then `show` runs.
    ReplyHandler unitCodeInto(int *unit, int firstCode, int unitCount, QWidget *shownIn,
                              std::function<void()> show);
    // An action word: with "OK" `accepted` runs (after a refresh was started, or before END_SEQ);
    // without, the panel's box tells and the apply ends as refused.
    ReplyHandler actionReply(std::function<void()> accepted, const QString &failTitle,
                             const QString &failText, AfterOk afterOk = AfterOk::Refresh);

    // An action answered with "OK" that ends with a box saying so under `title`, then a refresh.
    ReplyHandler actionWithBox(const QString &title, const QString &doneText, const QString &failText);
    // Radio buttons as one exclusive group, each with its id.
    QButtonGroup *groupButtons(std::initializer_list<std::pair<QAbstractButton *, int>> buttons);

    // "Last calibration time": the button asks, then the password, then the current time is
    // written and shown in `editor`, and a refresh follows.
    void setCalibrationTimeControls(QAbstractButton *button, QDateTimeEdit *editor, const QString &failText);

    // A box only some firmware has: shown from `minVersion` on and below `belowVersion`.
    // A box shown only on the firmware whose table row has its setting or action.
    struct FirmwareBox
    {
        QWidget *box = nullptr;
        const char *word = nullptr;
    };
    void setFirmwareBoxes(const QList<FirmwareBox> &boxes) { m_firmwareBoxes = boxes; }
    // Shows the boxes this firmware has and hides the others; with `deviceRead` false hides them all.
    void showFirmwareBoxes(bool deviceRead = true);

    PanelHost *m_mainWindow = nullptr;
    ChartView *m_chart = nullptr;
    QDateTime m_pollTime;
    int m_tqModel = 0;
    int m_version = 0;
    QString m_serial;
    QString m_versionText;
    int m_mode = DEFAULT;
    int m_seq = Cmd::NoCommand;
    bool m_isCelsius = true;
    QLedIndicator *m_txLed = nullptr;
    QLedIndicator *m_rxLed = nullptr;

private:
    static const EndTexts kApplyTexts;
    // The text showField last gave a number, kept on the number itself.
    static const char *const kShownText;
    static void log(const QString &text);
    // The setting an editor stands for, as the panel names it: the title of its group box.
    static QString settingName(const QWidget *editor);
    // What the record calls the setting behind the widget that asked for a write.
    static QString recordedName(const QObject *source);

    void setReplyKeywordsFromTable();
    const Step *refreshStep(int id) const;
    const Step *nextRefreshStep(int id) const;
    bool stepAvailable(const Step &step) const;
    bool findApplyHandler(int id, ReplyHandler *handler) const;
    void runWaiting();
    // Runs `start` now, or once the running sequence has ended.
    void whenIdle(std::function<void()> start, bool isRefresh = false);
    void afterDelay(std::function<void()> action);
    void finish(bool ok, const QString &status, const QString &box);
    void endRefresh();
    // `notKept`: the warning that the device kept another value, said instead of the success.
    void endApply(Outcome outcome, const QString &notKept);
    void replyTimedOut();
    DeviceRequest request(int mode, int seq, const QByteArray &command) const;
    void onReply(DeviceReply *reply);
    void requestTemperatureUnit(bool celsius);
    void writeTemperatureUnit(bool celsius);
    void parsingTemp(const QString &line);
    void showTemperatureUnit();
    void handleLiveLine(const QString &line);
    void pulse(QLedIndicator *lamp, int state);
    void forgetUnreachedEditors();
    void addCalibrateButton();
    void addIndicators();
    void resetStability();
    void feedTrackers(const QDateTime &poll, const QStringList &fields);

    FormParts m_form;
    QString m_className;
    QStringList m_refreshKeywords;
    QStringList m_applyKeywords;
    QString m_pollWord;
    int m_liveFieldCount = 0;
    ShortLine m_shortLine = ShortLine::Ignored;
    QList<QLCDNumber *> m_liveDisplays;
    QStringList m_liveUnits;
    CallPacer *m_livePacer = nullptr; // a stream of live lines is shown about 30 times a second
    int m_chartField1 = 0;
    int m_chartField2 = 1;
    int m_pollsWithoutValues = 0;
    bool m_noValuesShown = false;
    QList<QDateTime> m_unansweredPolls; // oldest first: each live line is charted at its own poll
    QVector<Step> m_refreshSteps;
    QVector<Step> m_applyHandlers;
    QList<QWidget *> m_inputGroups;
    QList<FirmwareBox> m_firmwareBoxes;
    QPointer<PasswordDlg> m_passwordDlg;

    QPointer<DeviceReply> m_reply; // the request the running sequence awaits
    bool m_paused = false;
    bool m_delayPending = false;
    bool m_refreshQueued = false;
    QList<std::function<void()>> m_waiting;
    ApplyOptions m_apply;
    QString m_applyFailText;
    bool m_askedCelsius = true;
    QAbstractButton *m_celsiusButton = nullptr;
    QAbstractButton *m_fahrenheitButton = nullptr;
    std::function<void()> m_unitChanged;
    int m_temperatureChart = 1;
    QStringList m_warnings;
    QSet<QWidget *> m_inSyncEditors;
    QSet<QWidget *> m_refreshedEditors;

    std::unique_ptr<CalibrationJournal> m_journal; // what the record keeps of this device

    StabilitySettings::Table m_stability;
    QVector<StabilityTracker> m_trackers; // one per live field
    QHash<QLCDNumber *, StabilityIndicator *> m_indicators;
    QPointer<CalibrationDialog> m_calibrationDialog;
    bool m_procedureRunning = false;
};
