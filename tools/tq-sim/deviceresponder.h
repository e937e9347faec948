#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

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
    void setVersionReply(const QByteArray &line);
    void setNoValues(bool on) { m_noValues = on; }
    bool noValues() const { return m_noValues; }

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
    bool writeSetting(Setting &setting, const QByteArray &arg);
    static QByteArray format(const Setting &setting);

    QByteArray answerModelCommand(const QByteArray &word, const QByteArray &arg, double t, bool *handled);
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
    bool m_noValues = false;
    QMap<QString, Setting> m_settings;
};
