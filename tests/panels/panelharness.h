#pragma once

// A model panel served end to end: the real main window, a real serial port and the simulator on a
// pseudo-terminal, with every message box answered and recorded.

#include "app/mainwindow.h"
#include "app/selectdevice.h"
#include "calib/calibrator.h"
#include "calib/paneldispatch.h"
#include "device/conversation.h"
#include "device/devicesession.h"
#include "panels/panelregistry.h"
#include "tools/tq-sim/simulateddevice.h"
#include "widgets/messageboxes.h"
#include "widgets/passworddlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

// The simulated device of each registered panel model.
inline SimulatedDevice::Model simulatedModel(int model)
{
    static const QMap<int, SimulatedDevice::Model> models = {
        {20, SimulatedDevice::Model::Tq20}, {21, SimulatedDevice::Model::Tq21},
        {22, SimulatedDevice::Model::Tq22}, {24, SimulatedDevice::Model::Tq24},
        {404, SimulatedDevice::Model::Pm},
    };
    return models.value(model);
}

// One data row per registered panel, in a column "model".
inline void addPanelModelRows()
{
    QTest::addColumn<int>("model");
    registerPanels();
    QVERIFY(!PanelDispatch::panelModels().isEmpty());
    for (int model : PanelDispatch::panelModels())
        QTest::newRow(qPrintable(QStringLiteral("model %1").arg(model))) << model;
}

// Whether a display draws dashes (no value): it looks the same once given "----" itself.
inline bool showsDashes(QLCDNumber *lcd)
{
    const QImage shown = lcd->grab().toImage();
    lcd->display(QString(qMin(4, lcd->digitCount()), QLatin1Char('-')));
    return lcd->grab().toImage() == shown;
}

// Answers a question Yes and any other box Ok.
inline QMessageBox::StandardButton sayYes(const MessageBoxes::Request &box)
{
    return box.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
}

// What a technician reads off a widget: "hidden", a text or title, on/off for a choice, and for an
// editor a trailing " *" when it shows the device's value, " ~" when it holds one still to apply.
inline QString shownText(const QWidget *widget, const QWidget *panel)
{
    if (!widget || !widget->isVisibleTo(panel))
        return widget ? QStringLiteral("hidden") : QStringLiteral("missing");
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *box = qobject_cast<const QGroupBox *>(widget))
        return box->title();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->isCheckable() ? (button->isChecked() ? "on" : "off")
                                     : (button->isEnabled() ? "enabled" : "disabled");
    QString text = widget->objectName();
    if (auto *stamp = qobject_cast<const QDateTimeEdit *>(widget))
        text = stamp->dateTime().toString(Qt::ISODate);
    else if (auto *spin = qobject_cast<const QAbstractSpinBox *>(widget))
        text = spin->text();
    else if (auto *combo = qobject_cast<const QComboBox *>(widget))
        text = combo->currentText();
    if (widget->styleSheet() == QLatin1String(Calibrator::kInSyncStyle))
        return text + QStringLiteral(" *");
    return widget->styleSheet() == QLatin1String(Calibrator::kPendingStyle) ? text + QStringLiteral(" ~")
                                                                            : text;
}

inline PasswordDlg *openPasswordDialog()
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<PasswordDlg *>(top); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

class PanelHarness
{
public:
    using Answer = std::function<QMessageBox::StandardButton(const MessageBoxes::Request &)>;
    // Twice the tool's default rate, so the tests wait less for the poll.
    static constexpr int kPollPeriodMs = 500;
    // A tenth of the tool's: the tests run many sequences, and each starts after this delay.
    static constexpr int kCommandDelayMs = 50;

    explicit PanelHarness(SimulatedDevice::Model model, const QString &serial = QStringLiteral("SIM-0001"))
        : sim(new SimulatedDevice(model)), serial(serial)
    {
        registerPanels();
        MessageBoxes::setResponder([this](const MessageBoxes::Request &request) {
            boxes.append(request);
            if (duringBox)
                duringBox(request);
            return answer ? answer(request) : QMessageBox::Ok;
        });
        if (!sim->open())
            qWarning("simulator: %s", qPrintable(sim->errorString()));
        devices = {{sim->portName(), serial}};
        window = new MainWindow;
        window->setDeviceScanner([this] { return devices; });
        window->setPollPeriodMs(kPollPeriodMs);
        window->setCommandDelayMs(kCommandDelayMs);
    }

    ~PanelHarness()
    {
        delete window;
        delete sim;
        MessageBoxes::setResponder({});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // This window's reply time-out; 0 restores the default.
    void setReplyTimeoutMs(int ms) const { window->session()->conversation()->setDefaultTimeoutMs(ms); }

    // Activates the device in the list; true once its panel exists.
    bool openPanel()
    {
        window->checkConnection();
        auto *list = window->findChild<QListWidget *>(QStringLiteral("listWidget"));
        if (!list || list->count() != 1)
            return false;
        emit list->itemActivated(list->item(0));
        return QTest::qWaitFor([this] { return window->panel() != nullptr; }, 3000);
    }

    template <typename Panel> Panel *panel() const { return qobject_cast<Panel *>(window->panelWidget()); }

    // Idle: no sequence running and the poll going.
    bool waitIdle(int timeoutMs = 5000) const
    {
        return QTest::qWaitFor(
            [this] {
                auto *calibrator = qobject_cast<Calibrator *>(window->panelWidget());
                return calibrator && calibrator->mode() == Calibrator::DEFAULT &&
                       calibrator->seq() == Cmd::NoCommand && window->pollTimer()->isActive();
            },
            timeoutMs);
    }

    // The commands received since the transcript was last cleared, without polls.
    QList<QByteArray> commands() const
    {
        QList<QByteArray> out;
        for (const QByteArray &command : sim->receivedCommands()) {
            if (command != "ATCH\r\n" && command != "ATCD\r\n")
                out.append(command);
        }
        return out;
    }

    // The commands of the transcript, in order; false when one was written while a reply was awaited.
    bool commandsInTurn(QList<QByteArray> *received) const
    {
        bool awaitingReply = false;
        for (const auto &entry : sim->transcript()) {
            const bool command = entry.direction == SimulatedDevice::TranscriptEntry::Received;
            if (command && awaitingReply)
                return false;
            if (command)
                received->append(entry.bytes);
            awaitingReply = command;
        }
        return true;
    }

    // The device gone from the scan, and the scan run; replug() lists it again.
    void unplug()
    {
        devices.clear();
        window->checkConnection();
    }
    void replug() { devices = {{sim->portName(), serial}}; }
    QString status() const { return window->statusBar()->currentMessage(); }
    // The status without the port name the main window appends.
    QString shortStatus() const { return status().section(QLatin1String(" - ["), 0, 0); }
    template <typename T = QAbstractButton> T *child(const char *name) const
    {
        return window->panelWidget() ? window->panelWidget()->findChild<T *>(QLatin1String(name)) : nullptr;
    }
    // Clicks a button that asks for the password and enters it; false when no dialog came up.
    bool enterPassword(QAbstractButton *button, const QString &password) const
    {
        button->click();
        PasswordDlg *dialog = openPasswordDialog();
        if (dialog) {
            dialog->findChild<QLineEdit *>()->setText(password);
            dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
        }
        return dialog != nullptr;
    }
    // Opens the panel and waits for its first refresh to end.
    bool openIdle() { return openPanel() && waitIdle(); }
    // No poll and no answers: the test writes the device's side itself.
    void quiet()
    {
        window->setPollTimerActive(false);
        sim->setResponding(false);
        sim->clearTranscript();
    }
    // The commands of the panel's refresh, in order.
    QList<QByteArray> refreshCommands() const
    {
        QList<QByteArray> out;
        for (int step : panel<Calibrator>()->refreshOrder())
            out.append(Cmd::word(step).toLatin1() + "\r\n");
        return out;
    }
    // Checks "object=text" entries (see shownText); "status" is the status bar.
    void checkShown(const QStringList &shown) const
    {
        for (const QString &entry : shown) {
            const QString name = entry.section(QLatin1Char('='), 0, 0);
            const QString text = name == QLatin1String("status")
                                     ? shortStatus()
                                     : shownText(child<QWidget>(qPrintable(name)), window->panelWidget());
            QCOMPARE(name + QLatin1Char('=') + text, entry);
        }
    }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const MessageBoxes::Request &box : boxes)
            texts.append(box.title + QLatin1Char('|') + box.text);
        return texts;
    }

    MainWindow *window = nullptr;
    SimulatedDevice *sim = nullptr;
    QString serial;
    QList<Dev_info> devices;
    QList<MessageBoxes::Request> boxes;
    Answer answer;
    std::function<void(const MessageBoxes::Request &)> duringBox;
};
