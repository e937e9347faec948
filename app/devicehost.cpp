#include "app/devicehost.h"

#include "calib/calibrator.h"
#include "calib/paneldispatch.h"
#include "chart/chartview.h"
#include "device/conversation.h"
#include "device/stabilitydefaults.h"

#include <QDebug>
#include <QVBoxLayout>

DeviceHost::DeviceHost(CalibrationRecord *record, QWidget *parent)
    : QWidget(parent), m_session(new DeviceSession(this)), m_record(record)
{
    new QVBoxLayout(this);
    layout()->setContentsMargins(0, 0, 0, 0);
    connect(m_session, &DeviceSession::identified, this, &DeviceHost::onIdentified);
    connect(m_session, &DeviceSession::pollDue, this, [this] {
        if (Calibrator *calibrator = panel(); calibrator && m_current)
            calibrator->writePollCommand(m_session->pollCommand());
    });
    connect(m_session, &DeviceSession::notSupported, this, [this](const QString &versionText) {
        failIdentification(tr("error! This device is not supported.") + QLatin1Char(' ') + versionText);
    });
    // A port closed or unplugged before the answer says nothing about the device.
    connect(m_session, &DeviceSession::identificationFailed, this, [this](DeviceReply::Error error) {
        if (error == DeviceReply::NoAnswer)
            failIdentification(tr("error! the device did not answer %1.").arg(QStringLiteral("ATCVER")));
    });
    connect(m_session, &DeviceSession::lost, this, &DeviceHost::markGone);
    connect(m_session->conversation(), &Conversation::unclaimedLine, this, [this](const QString &line) {
        Calibrator *calibrator = panel();
        if (calibrator && m_current && !line.contains(QLatin1String("ATCVER")))
            calibrator->parsingLine(line);
    });
}

DeviceHost::~DeviceHost()
{
    m_session->close();
}

bool DeviceHost::open(const Dev_info &device)
{
    startOn(device);
    if (!m_session->open(device.port, device.serialNo)) {
        showStatusMessage(tr("Can't open %1: %2").arg(device.port, m_session->errorString()));
        setState(State::Error);
        return false;
    }
    m_session->identify();
    return true;
}

void DeviceHost::attach(QIODevice *device, const Dev_info &info)
{
    startOn(info);
    m_session->attach(device, info.port, info.serialNo);
    m_session->identify();
}

void DeviceHost::startOn(const Dev_info &device)
{
    m_device = device;
    m_current = false;
    m_status.clear();
    setState(State::Connecting);
}

bool DeviceHost::takesBack(const Dev_info &device) const
{
    return m_state == State::Gone && device.serialNo == m_device.serialNo;
}

void DeviceHost::markGone(const QString &why)
{
    if (m_state == State::Gone)
        return;
    m_session->close();
    m_current = false;
    if (Calibrator *calibrator = panel())
        calibrator->deviceGone();
    m_fields.clear();
    showStatusMessage(why);
    setState(State::Gone);
}

void DeviceHost::onIdentified(const DeviceIdentity &identity)
{
    if (m_panel) {
        // Another model behind the same serial is another device: it does not take this place.
        if (identity.model != m_identity.model) {
            m_session->close();
            showStatusMessage(
                tr("another model (%1) answered on %2").arg(identity.versionText, m_device.port));
            setState(State::Gone);
            return;
        }
        m_identity = identity;
        m_current = true;
        setState(State::Refreshing);
        if (Calibrator *calibrator = panel())
            calibrator->deviceBack();
        return;
    }
    m_identity = identity;
    const PanelKind *kind = PanelDispatch::find(identity.model);
    QWidget *widget = kind && kind->create
                          ? kind->create(identity.versionText, identity.firmware, m_device.serialNo, this)
                          : nullptr;
    if (!qobject_cast<Calibrator *>(widget)) {
        delete widget;
        m_session->close();
        showStatusMessage(tr("error! This device is not supported."));
        setState(State::Error);
        return;
    }
    m_panel = widget;
    m_current = true;
    layout()->addWidget(widget);
    connect(panel(), &Calibrator::liveValuesShown, this, &DeviceHost::onLiveValues);
    setOnScreen(m_onScreen);
    if (const StabilityDefaults::Channel *channel = StabilityDefaults::find(identity.model, 1))
        m_stabilityField = channel->field;
    setState(State::Refreshing);
}

// A device with a panel waiting for it stays gone, to be tried again at a later scan; any other is
// in error.
void DeviceHost::failIdentification(const QString &why)
{
    if (m_panel) {
        m_state = State::Connecting;
        markGone(why);
        return;
    }
    m_session->close();
    showStatusMessage(why);
    setState(State::Error);
}

Calibrator *DeviceHost::panel() const
{
    return qobject_cast<Calibrator *>(m_panel.data());
}

void DeviceHost::onLiveValues(const QDateTime &pollTime, const QStringList &fields)
{
    ++m_liveSamples;
    m_fields = fields;
    if (m_stabilityField >= 0 && m_stabilityField < fields.size()) {
        const std::optional<double> value = Cmd::number(fields.at(m_stabilityField));
        // The limits scale with the level the channel reads when first seen.
        if (value && m_stability.window().isEmpty() && m_stability.elapsed() == 0) {
            if (const auto limits = StabilityDefaults::limits(m_identity.model, 1, qAbs(*value)))
                m_stability.setLimits(*limits);
        }
        m_stability.addText(pollTime.toMSecsSinceEpoch() / 1000.0, fields.at(m_stabilityField));
    }
    emit changed();
}

QStringList DeviceHost::liveValues() const
{
    const Calibrator *calibrator = panel();
    const QStringList units = calibrator ? calibrator->liveUnits() : QStringList();
    QStringList shown;
    for (int i = 0; i < m_fields.size(); ++i)
        shown.append((m_fields.at(i) + QLatin1Char(' ') + units.value(i)).trimmed());
    return shown;
}

QString DeviceHost::stability() const
{
    if (m_stabilityField < 0 || m_stability.figures().count < Stability::kMinSamples)
        return QString();
    return m_stability.isStable() ? tr("stable") : tr("settling");
}

QDateTime DeviceHost::lastCalibration() const
{
    const Calibrator *calibrator = panel();
    const std::optional<qint64> seconds =
        calibrator ? Cmd::integer(calibrator->lastRead(Cmd::word(Cmd::ATCEXTM))) : std::nullopt;
    return seconds && *seconds > 0 ? QDateTime::fromSecsSinceEpoch(*seconds) : QDateTime();
}

void DeviceHost::setOnScreen(bool on)
{
    m_onScreen = on;
    if (Calibrator *calibrator = panel(); calibrator && calibrator->chart())
        calibrator->chart()->setHeld(!on);
}

void DeviceHost::setPollPeriodMs(int ms)
{
    m_session->setPollPeriod(ms);
}

bool DeviceHost::writeData(const QByteArray &bytes)
{
    return m_current && m_session->isOpen() && m_session->conversation()->writeUnawaited(bytes);
}

Conversation *DeviceHost::conversation() const
{
    return m_session->isOpen() ? m_session->conversation() : nullptr;
}

void DeviceHost::setPollTimerActive(bool on)
{
    m_session->setPolling(on && m_current);
    if (on && m_current && m_state == State::Refreshing)
        setState(State::Ready);
}

// The bench has no Rate menu of its own per device: only the panel's inputs follow.
void DeviceHost::setControlsEnabled(bool on)
{
    if (Calibrator *calibrator = panel(); calibrator && m_current)
        calibrator->setInputsEnabled(on);
}

void DeviceHost::showStatusMessage(const QString &text)
{
    m_status = text;
    emit changed();
}

QWidget *DeviceHost::panelWidget() const
{
    return m_current ? m_panel.data() : nullptr;
}

void DeviceHost::setState(State state)
{
    m_state = state;
    emit changed();
}

QString DeviceHost::stateText(State state)
{
    switch (state) {
    case State::Connecting:
        return tr("connecting");
    case State::Refreshing:
        return tr("refreshing");
    case State::Ready:
        return tr("ready");
    case State::Error:
        return tr("error");
    case State::Gone:
        return tr("gone");
    }
    return QString();
}
