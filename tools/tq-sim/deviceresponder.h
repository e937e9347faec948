#pragma once

#include "gasmodel.h"

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace tqsim {

enum class Model
{
    Pm,
    Tq20,
    Tq21,
    Tq22,
    Tq24
};

QString modelName(Model model); // "pm", "tq20", ...
bool modelFromName(const QString &name, Model *model);
QByteArray defaultVersionReply(Model model); // without line end
QList<Model> allModels();
// "ATCVER TQ24-" / "ATCVER QD700-PM-" + firmware, e.g. "1v5" -> "ATCVER TQ24-1v5".
QByteArray versionReplyFor(Model model, const QByteArray &firmware);
// The firmware number the tool reads from a version reply ("TQ24-1v5" -> 15), -1 when unreadable.
int firmwareNumber(const QByteArray &versionReply);
bool isFirmwareText(const QString &text); // digit, "v", digit

} // namespace tqsim

// The device side of the line protocol for one TQ-series model: keeps the settings written to it
// and answers each command line with what the unit would send back, live values included.
class DeviceResponder
{
public:
    explicit DeviceResponder(tqsim::Model model);

    tqsim::Model model() const { return m_model; }
    QByteArray pollWord() const;
    QByteArray versionReply() const { return m_versionReply; }
    void setVersionReply(const QByteArray &line); // also sets the firmware the commands are gated by
    bool setFirmware(const QByteArray &text);     // "1v5": version reply of this model with it
    int firmware() const { return m_firmware; }   // -1: unreadable version, no command gated
    // Whether this model at this firmware has the command word; the others are answered "ERROR".
    bool hasCommand(const QByteArray &word) const;
    void setNoValues(bool on) { m_noValues = on; }
    bool noValues() const { return m_noValues; }

    // Faults. Silent words are neither acted on nor answered. Refused actions answer the bare word
    // without "OK" and change nothing. No-value fields (1 = first live field) are sent as "----".
    void setSilentWords(const QSet<QByteArray> &words) { m_silentWords = words; }
    QSet<QByteArray> silentWords() const { return m_silentWords; }
    void setRefuseActions(bool on) { m_refuseActions = on; }
    bool refuseActions() const { return m_refuseActions; }
    void setNoValueFields(const QSet<int> &fields) { m_noValueFields = fields; }
    QSet<int> noValueFields() const { return m_noValueFields; }

    // The gas model: the primary channel (PM pm2.5, TQ20 TVOC, TQ21 CO2, TQ22 O2, TQ24 gas) reads
    // the set concentration through the sensor's own calibration, which the calibration commands
    // change as on a real sensor: the reading at the present gas becomes 0 (ATCCZR, ATCUCAL) or the
    // concentration given (ATCCSP, TQ21 ATCCAL); offsets add on top. Without it the live values
    // follow their calm waves, as they always have.
    void setGasModel(const GasModel::Params &params);
    bool hasGasModel() const { return m_gas.has_value(); }
    // A new true concentration from time t on (seconds on the device clock); false without the model.
    bool setGas(double gas, double t);
    std::optional<GasModel> gasModel() const { return m_gas; }

    // line: one command, its line end optional. seconds: device clock that drives the live values.
    // Returns the reply without line end, or an empty array when the line needs no answer.
    QByteArray answer(const QByteArray &line, double seconds);

    // Word-keyed settings ("ATCOFF1", "ATCMODE", ...) plus "TEMPUNIT" ("C"/"F") and, for the gas
    // model, "ZERO", "SPAN" and "SPANPPM". setSetting skips the range check so tests can plant odd
    // device states; it fails only for an unknown word or a value of the wrong kind.
    QVariant setting(const QString &word) const;
    bool setSetting(const QString &word, const QVariant &value);
    QStringList settingWords() const { return m_settings.keys(); }

private:
    enum class Kind
    {
        Int,
        Real,
        Stamp,
        Text
    };
    struct Setting
    {
        Kind kind = Kind::Int;
        double min = 0;
        double max = 0;
        QVariant value;
        QVariant defaultValue;
        bool writable = true;
        bool onWire = true;
    };

    void addSetting(const char *word, Kind kind, double min, double max, const QVariant &value,
                    bool writable = true, bool onWire = true);
    void addOffsets(int count);
    void restoreDefaults();
    void applyFirmwareUnitDefaults();
    bool newUnitCodes() const; // TQ20 from 12, TQ21 from 10: unit codes start at 0, before at 1
    QByteArray answerAction(const QByteArray &word, double t, bool *handled);
    bool writeSetting(Setting &setting, const QByteArray &arg);
    static QByteArray format(const Setting &setting);

    bool refusesCalibration(const QByteArray &word, const QByteArray &arg) const;
    void settingWritten(const QByteArray &word, double t);
    int gasDecimals(int usual) const;
    double sensed(double t) const; // the gas model's reading plus the sensor's calibration shift
    QByteArray answerGasCalibration(const QByteArray &word, const QByteArray &arg, double t, bool *handled);
    QByteArray liveLine(double t) const;
    QStringList pmFields(double t) const;
    QStringList tq20Fields(double t) const;
    QStringList tq21Fields(double t) const;
    QStringList tq22Fields(double t) const;
    QStringList tq24Fields(double t) const;

    double real(const char *word) const;
    int integer(const char *word) const;
    bool celsius() const;
    double temperature(double t) const; // in the device's unit, offset applied
    double gasSlope() const;
    double gasBaseline(double t) const;
    double gasSignal(double t) const;

    tqsim::Model m_model;
    QByteArray m_versionReply;
    int m_firmware = -1;
    bool m_noValues = false;
    bool m_refuseActions = false;
    QSet<QByteArray> m_silentWords;
    QSet<int> m_noValueFields;
    QMap<QString, Setting> m_settings;
    std::optional<GasModel> m_gas;
    double m_calibrationShift = 0; // TQ20 clean air, TQ21 CO2: what the sensor adds to the gas it sees
};
