#pragma once

#include "app/abstractcalibrator.h"
#include "calib/commandset.h"

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <functional>

class ChartView;
class MainWindow;
class PasswordDlg;
class QAbstractButton;
class QBoxLayout;
class QCheckBox;
class QChartViewerLabel;
class QComboBox;
class QDateTimeEdit;
class QDoubleSpinBox;
class QLabel;
class QLedIndicator;
class QSpinBox;

// What every model panel shares: the conversation with the device one command at a time (refresh
// and apply sequences), live values into displays and the trend chart, the TX/RX lamps and the
// editor colours. A model panel supplies its form, keyword lists, refresh order as a table of
// steps, apply handlers and live-value layout.
class Calibrator : public QWidget, public AbstractCalibrator
{
    Q_OBJECT
    Q_INTERFACES(AbstractCalibrator)

public:
    enum Mode : int {
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
    static constexpr int kCommandDelayMs = 500;
    static constexpr int kLampPulseMs = 300;

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
    ChartView *chart() const { return m_chart; }
    // The refresh commands this panel's firmware answers, in order.
    QList<int> refreshOrder() const;

public slots:
    void writeRefresh();

protected:
    // How a reply to the awaited command ends its step.
    enum class Outcome {
        Accepted,   // value taken: next step, or END_SEQ
        Rejected,   // value not acceptable: ERROR SEQ
        HandedOver, // a refresh takes over; no end handling
        Refused,    // the device refused an action (its box was shown): the apply ends as failed
    };
    struct Reply
    {
        QString line;  // the whole line
        QString value; // what follows the command word
        int toInt() const { return value.toInt(); }
        uint toUInt() const { return value.toUInt(); }
        double toDouble() const { return value.toDouble(); }
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

    Calibrator(int tqModel, const QString &versionText, int version, const QString &serialNumber,
               QWidget *parent);

    // Construction, in the panel's constructor: attachForm after setupUi, then the panel's own
    // widgets, then startFirstRefresh.
    void attachForm(const FormParts &parts);
    void startFirstRefresh();

    // The editing group boxes, in the order they are enabled and disabled.
    void setInputGroups(const QList<QWidget *> &groups) { m_inputGroups = groups; }
    void setReplyKeywords(const QStringList &keywords) { m_replyKeywords = keywords; }
    void setLiveKeyword(const QString &keyword, int fieldCount);
    void setRefreshOrder(const QVector<Step> &steps) { m_refreshSteps = steps; }
    // The reply handler of an apply; by default the one of the same command in the refresh order.
    void setApplyHandler(int id, const ReplyHandler &handler);

    // The panel's displays for one live line, split into fields (at least the panel's count).
    virtual void showLiveValues(const QStringList &fields) = 0;
    // Replies in the panel's own modes.
    virtual void parsingTemp(const QString &line);
    virtual void parsingSensorType(const QString &line);

    void pauseMainWindow();
    void resumeMainWindow();
    void showStatus(const QString &text);
    // Whether the main window still shows this panel: a closed panel may live on until a box
    // returns and must then leave the device and the main window alone.
    bool isCurrentPanel() const;
    // Runs `action` after the command delay, if this is still the current panel then.
    void afterDelay(std::function<void()> action);
    // One setting to write: its identifier and the whole command.
    struct Write
    {
        int id = Cmd::NoCommand;
        QString command;
    };
    // Pause, then after the delay write what `build` returns then with writeCommand(APPLY, ...);
    // an empty command only resumes. On a failed write the box shows `failText`.
    void applyLater(std::function<Write()> build, const QString &failText);
    void applyLater(int id, std::function<QString()> build, const QString &failText);
    // A setting's apply button: on click, applyLater of "WORD argument" with the argument read then.
    void applyOnClick(QAbstractButton *button, int id, std::function<QString()> argument, const QString &failText);
    // A Yes/No question; true only on Yes with this panel still shown when the box returns.
    bool askYes(const QString &title, const QString &text);
    // Shows the error box of a failed apply or refresh (title "ERROR").
    void showErrorBox(const QString &text);

    // One chart sample from two live fields, at the time of the poll that asked for them.
    void addChartSample(const QString &field1, const QString &field2);

    static void setInSync(QWidget *editor);
    static void setPending(QWidget *editor);
    void markPendingOnChange(QDoubleSpinBox *editor);
    void markPendingOnChange(QSpinBox *editor);
    // In-sync colour while the combo's item data equals *deviceValue, pending otherwise.
    void compareOnChange(QComboBox *combo, const int *deviceValue);
    static void fillCombo(QComboBox *combo, const QStringList &texts);

    // Reply handlers shared by the panels.
    static ReplyHandler offsetInto(QDoubleSpinBox *editor, std::function<bool()> shown = {});
    static ReplyHandler numberInto(QSpinBox *editor);
    static ReplyHandler hoursInto(QSpinBox *editor);
    static ReplyHandler timeInto(QDateTimeEdit *editor);
    // The device's index if it is 0..max, else the one last read; the combo shows it in-sync.
    static ReplyHandler indexInto(QComboBox *combo, int *deviceIndex, int max);
    static ReplyHandler flagInto(QCheckBox *box);
    // An action word: with "OK" `accepted` runs and a refresh takes over; without, the box tells.
    ReplyHandler actionReply(std::function<void()> accepted, const QString &failTitle,
                             const QString &failText);

    // "Last calibration time": question, password, then the current time is written.
    void askCalibrationTimeUpdate(const QString &failText);

    MainWindow *m_mainWindow = nullptr;
    ChartView *m_chart = nullptr;
    QDateTime m_pollTime;
    int m_tqModel = 0;
    int m_version = 0;
    QString m_serial;
    QString m_versionText;
    int m_mode = DEFAULT;
    int m_seq = Cmd::NoCommand;
    QLedIndicator *m_txLed = nullptr;
    QLedIndicator *m_rxLed = nullptr;

private:
    const Step *refreshStep(int id) const;
    const Step *nextRefreshStep(int id) const;
    bool stepAvailable(const Step &step) const { return m_version >= step.minVersion; }
    void endRefresh();
    void endApply(bool refused);
    void handleLiveLine(const QString &line);
    void pulse(QLedIndicator *lamp, int state);

    FormParts m_form;
    QString m_className;
    QStringList m_replyKeywords;
    QString m_liveKeyword;
    int m_liveFieldCount = 0;
    QVector<Step> m_refreshSteps;
    QVector<Step> m_applyHandlers;
    QList<QWidget *> m_inputGroups;
    QPointer<PasswordDlg> m_passwordDlg;
};
