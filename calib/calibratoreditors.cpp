// Editors: values from the device into the form, their colours, and the reply handlers that fill them.
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

// The setting an editor stands for, as the panel names it: the title of its group box.
QString Calibrator::settingName(const QWidget *editor)
{
    for (const QWidget *w = editor; w; w = w->parentWidget()) {
        if (const auto *box = qobject_cast<const QGroupBox *>(w); box && !box->title().isEmpty())
            return box->title();
    }
    return editor->objectName();
}

// What the record calls the setting behind the widget that asked for a write: the titles of the
// group boxes around it (outer first), else its own text or title.
QString Calibrator::recordedName(const QObject *source)
{
    if (const auto *group = qobject_cast<const QButtonGroup *>(source))
        source = group->checkedButton() ? group->checkedButton() : group->buttons().value(0);
    if (const auto *wizard = qobject_cast<const QWizard *>(source); wizard && wizard->currentPage())
        return wizard->currentPage()->title();
    QStringList titles;
    for (auto *w = qobject_cast<const QWidget *>(source); w && !w->isWindow(); w = w->parentWidget()) {
        if (const auto *box = qobject_cast<const QGroupBox *>(w); box && !box->title().isEmpty())
            titles.prepend(box->title());
    }
    if (!titles.isEmpty())
        return titles.join(QLatin1String(" / "));
    if (const auto *button = qobject_cast<const QAbstractButton *>(source);
        button && !button->text().isEmpty())
        return button->text();
    if (const auto *w = qobject_cast<const QWidget *>(source))
        return w->windowTitle();
    return QString();
}

// --- editors ------------------------------------------------------------------------------

void Calibrator::setInSync(QWidget *editor)
{
    // Filled from a reply that refused the value written: the device's, yet not what was applied.
    if (m_journal->replyNotKept()) {
        editor->setStyleSheet(QString());
        m_inSyncEditors.remove(editor);
        return;
    }
    editor->setStyleSheet(QLatin1String(kInSyncStyle));
    m_inSyncEditors.insert(editor);
    if (m_mode == REFRESH)
        m_refreshedEditors.insert(editor);
}

void Calibrator::setPending(QWidget *editor)
{
    editor->setStyleSheet(QLatin1String(kPendingStyle));
    m_inSyncEditors.remove(editor);
}

// After a refresh that failed midway, what it did not read again may no longer be the device's.
void Calibrator::forgetUnreachedEditors()
{
    const QSet<QWidget *> stale = m_inSyncEditors - m_refreshedEditors;
    for (QWidget *editor : stale) {
        editor->setStyleSheet(QString());
        m_inSyncEditors.remove(editor);
    }
}

void Calibrator::markPendingOnChange(QDoubleSpinBox *editor)
{
    connect(editor, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            [this, editor] { setPending(editor); });
}

void Calibrator::markPendingOnChange(QSpinBox *editor)
{
    connect(editor, QOverload<int>::of(&QSpinBox::valueChanged), this,
            [this, editor] { setPending(editor); });
}

void Calibrator::compareOnChange(QComboBox *combo, const int *deviceValue)
{
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, combo, deviceValue] {
        if (combo->currentData().toInt() == *deviceValue)
            setInSync(combo);
        else
            setPending(combo);
    });
}

void Calibrator::fillCombo(QComboBox *combo, const QStringList &texts)
{
    combo->clear();
    for (int i = 0; i < texts.size(); ++i)
        combo->addItem(texts.at(i), i);
    combo->setCurrentIndex(0);
}

void Calibrator::clearChannels(const QList<QLCDNumber *> &displays, const QList<QLabel *> &units,
                               const QList<QDoubleSpinBox *> &offsets)
{
    for (QLCDNumber *lcd : displays) {
        lcd->setProperty(kShownText, QVariant());
        lcd->display(QString());
    }
    for (QLabel *unit : units)
        unit->clear();
    for (QDoubleSpinBox *offset : offsets) {
        offset->setValue(0.0);
        offset->setSuffix(QString());
    }
}

void Calibrator::clearChoice(QButtonGroup *group)
{
    group->setExclusive(false);
    for (QAbstractButton *button : group->buttons())
        button->setChecked(false);
    group->setExclusive(true);
}

bool Calibrator::showDeviceValue(QAbstractSpinBox *editor, double value, bool inSync)
{
    double min = 0;
    double max = 0;
    if (auto *real = qobject_cast<QDoubleSpinBox *>(editor)) {
        min = real->minimum();
        max = real->maximum();
        real->setValue(value);
    } else if (auto *whole = qobject_cast<QSpinBox *>(editor)) {
        min = whole->minimum();
        max = whole->maximum();
        whole->setValue(int(qBound(min, value, max)));
    }
    if (value >= min && value <= max) {
        if (inSync)
            setInSync(editor);
        return true;
    }
    editor->setStyleSheet(QString());
    m_inSyncEditors.remove(editor);
    warnOutOfRange(editor, QString::number(value, 'g', 15));
    return false;
}

void Calibrator::warnOutOfRange(QWidget *editor, const QString &deviceValue)
{
    const QString warning =
        panelText(SHARED_TEXT("warning! the device's %1 is %2, which this panel cannot show."))
            .arg(settingName(editor), deviceValue);
    log(warning);
    m_warnings.append(warning);
}

Calibrator::ReplyHandler Calibrator::offsetInto(QDoubleSpinBox *editor, std::function<bool()> shown)
{
    return [this, editor, shown](const Reply &reply) {
        const std::optional<double> value = reply.number();
        if (!value)
            return Outcome::Rejected;
        if (!shown || shown())
            showDeviceValue(editor, *value);
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::numberInto(QSpinBox *editor)
{
    return [this, editor](const Reply &reply) {
        const std::optional<qint64> value = reply.integer();
        if (!value)
            return Outcome::Rejected;
        showDeviceValue(editor, double(*value));
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::hoursInto(QSpinBox *editor)
{
    return [this, editor](const Reply &reply) {
        const std::optional<qint64> value = reply.integer();
        if (!value || *value < 0)
            return Outcome::Rejected;
        showDeviceValue(editor, double(*value), false);
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::timeInto(QDateTimeEdit *editor)
{
    return [editor](const Reply &reply) {
        const std::optional<qint64> value = reply.integer();
        if (!value || *value < 0 || *value > qint64(UINT_MAX))
            return Outcome::Rejected;
        editor->setDateTime(QDateTime::fromTime_t(uint(*value)));
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::indexInto(QComboBox *combo, int *deviceIndex, int max)
{
    return [this, combo, deviceIndex, max](const Reply &reply) {
        const std::optional<qint64> value = reply.integer();
        if (!value)
            return Outcome::Rejected;
        if (*value < 0 || *value > max) {
            combo->setStyleSheet(QString());
            m_inSyncEditors.remove(combo);
            warnOutOfRange(combo, reply.value);
            return Outcome::Accepted;
        }
        *deviceIndex = int(*value);
        combo->setCurrentIndex(*deviceIndex);
        setInSync(combo);
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::flagInto(QCheckBox *box)
{
    return [this, box](const Reply &reply) {
        const std::optional<qint64> value = reply.integer();
        if (!value)
            return Outcome::Rejected;
        if (*value == 0 || *value == 1)
            box->setChecked(*value == 1);
        else
            warnOutOfRange(box, reply.value);
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::unitCodeInto(int *unit, int firstCode, int unitCount, QWidget *shownIn,
                                                  std::function<void()> show)
{
    return [this, unit, firstCode, unitCount, shownIn, show](const Reply &reply) {
        const std::optional<qint64> code = reply.integer();
        if (!code)
            return Outcome::Rejected;
        if (*code >= firstCode && *code < firstCode + unitCount) {
            *unit = int(*code - firstCode);
        } else {
            *unit = -1;
            warnOutOfRange(shownIn, reply.value);
        }
        if (show)
            show();
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::actionReply(std::function<void()> accepted, const QString &failTitle,
                                                 const QString &failText, AfterOk afterOk)
{
    return [this, accepted, failTitle, failText, afterOk](const Reply &reply) {
        if (reply.value.contains(QLatin1String("OK"))) {
            if (afterOk == AfterOk::Refresh) {
                handOverToRefresh();
                accepted();
                return Outcome::HandedOver;
            }
            accepted();
            return Outcome::Accepted;
        }
        log(QLatin1String("!! refused: ") + reply.line);
        MessageBoxes::critical(this, failTitle, failText, QMessageBox::Ok);
        return Outcome::Refused;
    };
}

Calibrator::ReplyHandler Calibrator::actionWithBox(const QString &title, const QString &doneText,
                                                   const QString &failText)
{
    return actionReply(
        [this, title, doneText] { MessageBoxes::information(this, title, doneText, QMessageBox::Ok); }, title,
        failText);
}

QButtonGroup *Calibrator::groupButtons(std::initializer_list<std::pair<QAbstractButton *, int>> buttons)
{
    auto *group = new QButtonGroup(this);
    for (const auto &button : buttons)
        group->addButton(button.first, button.second);
    return group;
}

void Calibrator::setCalibrationTimeControls(QAbstractButton *button, QDateTimeEdit *editor,
                                            const QString &failText)
{
    const ReplyHandler show = timeInto(editor);
    setApplyHandler(Cmd::ATCEXTM, [this, show](const Reply &reply) {
        const Outcome outcome = show(reply);
        if (outcome == Outcome::Accepted)
            writeRefresh(); // the device may have changed more than the time
        return outcome;
    });
    connect(button, &QAbstractButton::clicked, this, [this, button, failText] {
        if (!askYes(panelText(SHARED_TEXT("Last Calibration Time")),
                    panelText(SHARED_TEXT("Do you want to change the update time?"))))
            return;
        delete m_passwordDlg;
        auto *dialog = new PasswordDlg;
        m_passwordDlg = dialog;
        connect(dialog, &PasswordDlg::ok, this, [this, dialog, button, failText] {
            ApplyOptions options;
            options.setting = recordedName(button);
            applyLater(
                Cmd::ATCEXTM,
                [] {
                    return Cmd::write(Cmd::ATCEXTM, QString::number(QDateTime::currentDateTime().toTime_t()));
                },
                failText, options);
            dialog->deleteLater();
        });
        connect(dialog, &PasswordDlg::fail, this, [this, dialog] {
            dialog->deleteLater();
            MessageBoxes::critical(this, QStringLiteral("Error"), panelText(SHARED_TEXT("error!")),
                                   QMessageBox::Ok);
        });
        dialog->show();
    });
}

void Calibrator::showFirmwareBoxes(bool deviceRead)
{
    for (const FirmwareBox &gated : qAsConst(m_firmwareBoxes)) {
        const QLatin1String word(gated.word);
        gated.box->setVisible(deviceRead && (ModelTable::setting(m_tqModel, m_version, word) ||
                                             ModelTable::action(m_tqModel, m_version, word)));
    }
}

int Calibrator::tableMinimum(const char *word) const
{
    const ModelTable::Setting *setting = ModelTable::setting(m_tqModel, m_version, QLatin1String(word));
    return setting ? int(setting->min) : 0;
}

std::optional<int> Calibrator::tableChoice(const Reply &reply, const char *word) const
{
    const std::optional<qint64> value = reply.integer();
    const ModelTable::Setting *setting = ModelTable::setting(m_tqModel, m_version, QLatin1String(word));
    if (!value || !setting || *value < setting->min || *value > setting->max)
        return std::nullopt;
    return int(*value);
}
