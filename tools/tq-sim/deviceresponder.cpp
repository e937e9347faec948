#include "deviceresponder.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtMath>

namespace tqsim {

QString modelName(Model model)
{
    switch (model) {
    case Model::Pm:
        return QStringLiteral("pm");
    case Model::Tq20:
        return QStringLiteral("tq20");
    case Model::Tq21:
        return QStringLiteral("tq21");
    case Model::Tq22:
        return QStringLiteral("tq22");
    case Model::Tq24:
        return QStringLiteral("tq24");
    }
    return QString();
}

bool modelFromName(const QString &name, Model *model)
{
    for (Model m : allModels()) {
        if (modelName(m).compare(name.trimmed(), Qt::CaseInsensitive) == 0) {
            *model = m;
            return true;
        }
    }
    return false;
}

QByteArray defaultVersionReply(Model model)
{
    // Versions chosen so every panel runs its full refresh (TQ20 needs 32, TQ21 needs 15).
    switch (model) {
    case Model::Pm:
        return "ATCVER QD700-PM-2v1";
    case Model::Tq20:
        return "ATCVER TQ20-3v2";
    case Model::Tq21:
        return "ATCVER TQ21-1v5";
    case Model::Tq22:
        return "ATCVER TQ22-1v0";
    case Model::Tq24:
        return "ATCVER TQ24-1v5";
    }
    return QByteArray();
}

QList<Model> allModels()
{
    return {Model::Pm, Model::Tq20, Model::Tq21, Model::Tq22, Model::Tq24};
}

QByteArray versionReplyFor(Model model, const QByteArray &firmware)
{
    if (model == Model::Pm)
        return "ATCVER QD700-PM-" + firmware;
    return "ATCVER TQ" + modelName(model).mid(2).toLatin1() + '-' + firmware;
}

int firmwareNumber(const QByteArray &versionReply)
{
    // Read the way the tool reads it: the digit before the first "v" and the one after it.
    QByteArray s = versionReply;
    s.replace("ATCVER", "").replace(' ', "");
    if (!s.contains("TQ") && !s.contains("QD700"))
        return -1;
    s.replace("TQ", "").replace("QD700", "").replace("T2", "").replace('-', "");
    const int start = s.indexOf('v') - 1;
    QByteArray text = s.mid(qMax(0, start), 3 + qMin(0, start));
    text.replace('v', "");
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    return ok && !text.startsWith('+') && !text.startsWith('-') ? number : -1;
}

bool isFirmwareText(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]v[0-9]$"));
    return pattern.match(text).hasMatch();
}

} // namespace tqsim

using tqsim::Model;

namespace {

const double kOffsetLimit = 1000000.0;
const uint kLastCalibration = 1735689600; // 2025-01-01 00:00:00 UTC
const uint kBuildTime = 1700000000;
const uint kUsedHours = 1234;
const double kGasTrueSlope = 0.5;       // ppm per uV of the simulated sensor element
const double kGasModelBaseline = 100.0; // uV at zero gas: steady, so only --drift moves a steady gas

// A smooth drift around base with a little jitter, so trend charts look alive but calm.
double wave(double t, double base, double amplitude, double periodSeconds, double phase = 0.0)
{
    const double jitter = (QRandomGenerator::global()->generateDouble() - 0.5) * amplitude * 0.05;
    return base + amplitude * qSin(2.0 * M_PI * t / periodSeconds + phase) + jitter;
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

double celsiusToFahrenheit(double c)
{
    return c * 9.0 / 5.0 + 32.0;
}

} // namespace

DeviceResponder::DeviceResponder(Model model)
    : m_model(model), m_versionReply(tqsim::defaultVersionReply(model)),
      m_firmware(tqsim::firmwareNumber(m_versionReply))
{
    switch (model) {
    case Model::Pm:
        addSetting("ATCMODE", Kind::Int, 0, 1, 0);
        addOffsets(5);
        addSetting("ATCMODID", Kind::Int, 0, 255, 1);
        addSetting("ATCMODBR", Kind::Int, 0, 5, 1);
        addSetting("ATCMODTO", Kind::Int, 0, 4, 0);
        addSetting("ATCMODSW", Kind::Int, 0, 1, 0);
        break;
    case Model::Tq20:
        addSetting("ATCMODE", Kind::Int, 1, 2, 2);
        addOffsets(2);
        addSetting("ATCVOCU", Kind::Int, 0, 2, 0);
        addSetting("ATCCU", Kind::Int, 0, 2, 1);
        addSetting("ATCWIN", Kind::Int, 1, 30, 10);
        addSetting("ATCBLDTM", Kind::Stamp, 0, 0, kBuildTime, false);
        break;
    case Model::Tq21:
        addOffsets(2);
        addSetting("ATCCAL", Kind::Real, 0, 200000, 400.0);
        addSetting("ATCCU", Kind::Int, 0, 2, 1);
        addSetting("ATCDGFIL", Kind::Int, 0, 64, 32);
        addSetting("ATCSPAN", Kind::Int, 843, 1050, 1013);
        addSetting("ATCSINFO", Kind::Text, 0, 0, QStringLiteral("SIM-CO2-V1.2"), false);
        addSetting("ATCBLDTM", Kind::Stamp, 0, 0, kBuildTime, false);
        break;
    case Model::Tq22:
        addSetting("ATCMODE", Kind::Int, 1, 4, 1);
        addOffsets(2);
        break;
    case Model::Tq24:
        addSetting("ATCMODE", Kind::Int, 0, 1, 1);
        addOffsets(2);
        addSetting("ZERO", Kind::Real, -kOffsetLimit, kOffsetLimit, 100.0, true, false);
        addSetting("SPAN", Kind::Real, -kOffsetLimit, kOffsetLimit, 2100.0, true, false);
        addSetting("SPANPPM", Kind::Real, 0, kOffsetLimit, 1000.0, true, false);
        break;
    }
    if (model != Model::Tq22) {
        addSetting("ATCEXTM", Kind::Stamp, 0, 4294967295.0, kLastCalibration);
        addSetting("ATCUSED", Kind::Stamp, 0, 0, kUsedHours, false);
    }
    if (model == Model::Tq21 || model == Model::Tq22 || model == Model::Tq24)
        addSetting("TEMPUNIT", Kind::Text, 0, 0, QStringLiteral("C"), false, false);
    applyFirmwareUnitDefaults();
}

bool DeviceResponder::newUnitCodes() const
{
    const int threshold = m_model == Model::Tq20 ? 12 : 10;
    return m_firmware < 0 || m_firmware >= threshold;
}

// Older TQ20/TQ21 firmware counts unit codes from 1, newer from 0: first code percent (CO2) or
// ppm (TVOC), the next one the other unit. Crossing that line starts from the ppm default again.
void DeviceResponder::applyFirmwareUnitDefaults()
{
    const int base = newUnitCodes() ? 0 : 1;
    for (const char *word : {"ATCVOCU", "ATCCU"}) {
        auto it = m_settings.find(QString::fromLatin1(word));
        if (it == m_settings.end() || (it->min == base && it->max == base + 1))
            continue; // same code range: a planted or written value stays
        it->min = base;
        it->max = base + 1;
        it->defaultValue = qstrcmp(word, "ATCCU") == 0 ? base + 1 : base;
        it->value = it->defaultValue;
    }
}

bool DeviceResponder::hasCommand(const QByteArray &word) const
{
    if (word == "ATCVER" || word == pollWord())
        return true;
    struct Gate
    {
        Model model;
        const char *words;
        int from;  // first firmware that has the words
        int below; // first firmware that no longer has them
    };
    static const Gate gates[] = {
        {Model::Pm,
         "ATCMODE ATCOFF1 ATCOFF2 ATCOFF3 ATCOFF4 ATCOFF5 ATCMODID ATCMODBR ATCMODTO ATCMODSW "
         "ATCFTRST ATCEXTM ATCUSED",
         0, 100},
        {Model::Tq20, "ATCMODE ATCOFF1 ATCOFF2 ATCVOCU ATCCU", 0, 100},
        {Model::Tq20, "ATCUCAL ATCFCAL", 0, 12},
        {Model::Tq20, "ATCWIN ATCEXTM", 12, 100},
        {Model::Tq20, "ATCUSED ATCBLDTM", 32, 100},
        {Model::Tq21, "ATCOFF1 ATCOFF2 ATCCAL ATCCU ATCC ATCF", 0, 100},
        {Model::Tq21, "ATCDGFIL ATCSPAN ATCSINFO ATCEXTM", 10, 100},
        {Model::Tq21, "ATCUSED ATCBLDTM", 15, 100},
        {Model::Tq22, "ATCMODE ATCOFF1 ATCOFF2 ATCC ATCF", 0, 100},
        {Model::Tq24, "ATCMODE ATCOFF1 ATCOFF2 ATCCSP ATCCZR ATCDRFT ATCCAL ATCEXTM ATCUSED ATCC ATCF", 0,
         100},
    };
    for (const Gate &gate : gates) {
        if (gate.model != m_model || !QByteArray(gate.words).split(' ').contains(word))
            continue;
        if (m_firmware < 0 || (m_firmware >= gate.from && m_firmware < gate.below))
            return true;
    }
    return false;
}

void DeviceResponder::addSetting(const char *word, Kind kind, double min, double max, const QVariant &value,
                                 bool writable, bool onWire)
{
    Setting s;
    s.kind = kind;
    s.min = min;
    s.max = max;
    s.value = value;
    s.defaultValue = value;
    s.writable = writable;
    s.onWire = onWire;
    m_settings.insert(QString::fromLatin1(word), s);
}

void DeviceResponder::addOffsets(int count)
{
    for (int i = 1; i <= count; ++i)
        addSetting(QByteArray("ATCOFF" + QByteArray::number(i)).constData(), Kind::Real, -kOffsetLimit,
                   kOffsetLimit, 0.0);
}

void DeviceResponder::restoreDefaults()
{
    for (auto it = m_settings.begin(); it != m_settings.end(); ++it) {
        if (it.key() != QLatin1String("ATCEXTM") && it.key() != QLatin1String("ATCUSED"))
            it->value = it->defaultValue;
    }
}

void DeviceResponder::setVersionReply(const QByteArray &line)
{
    QByteArray text = line;
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    m_versionReply = text;
    m_firmware = tqsim::firmwareNumber(text);
    applyFirmwareUnitDefaults();
}

bool DeviceResponder::setFirmware(const QByteArray &text)
{
    if (!tqsim::isFirmwareText(QString::fromLatin1(text)))
        return false;
    setVersionReply(tqsim::versionReplyFor(m_model, text));
    return true;
}

void DeviceResponder::setGasModel(const GasModel::Params &params)
{
    m_gas = GasModel(params);
    m_calibrationShift = 0;
}

bool DeviceResponder::setGas(double gas, double t)
{
    if (!m_gas)
        return false;
    m_gas->setGas(gas, t);
    return true;
}

// A gas set from outside is read back as set, to the hundredth, so a test can hold the reading at
// an exact value; without it the fields keep the resolution the panels were built against.
int DeviceResponder::gasDecimals(int usual) const
{
    return m_gas ? qMax(usual, 2) : usual;
}

double DeviceResponder::sensed(double t) const
{
    return m_gas ? m_gas->reading(t) + m_calibrationShift : 0.0;
}

// Calibration commands are refused as the actions are: the bare word back, nothing changed. Their
// queries (no argument) still answer.
bool DeviceResponder::refusesCalibration(const QByteArray &word, const QByteArray &arg) const
{
    if (!m_refuseActions)
        return false;
    return word == "ATCCZR" || ((word == "ATCCSP" || word == "ATCCAL") && !arg.isEmpty());
}

void DeviceResponder::settingWritten(const QByteArray &word, double t)
{
    // TQ21 CO2 calibration: the reading at the gas it sees now becomes the concentration written,
    // before its offset.
    if (m_model == Model::Tq21 && word == "ATCCAL" && m_gas)
        m_calibrationShift = real("ATCCAL") - m_gas->level(t);
}

QByteArray DeviceResponder::pollWord() const
{
    return (m_model == Model::Pm || m_model == Model::Tq24) ? QByteArray("ATCH") : QByteArray("ATCD");
}

QVariant DeviceResponder::setting(const QString &word) const
{
    const auto it = m_settings.constFind(word);
    return it == m_settings.constEnd() ? QVariant() : it->value;
}

bool DeviceResponder::setSetting(const QString &word, const QVariant &value)
{
    auto it = m_settings.find(word);
    if (it == m_settings.end())
        return false;
    bool ok = true;
    switch (it->kind) {
    case Kind::Int: {
        const int v = value.toInt(&ok);
        if (ok)
            it->value = v;
        break;
    }
    case Kind::Real: {
        const double v = value.toDouble(&ok);
        if (ok)
            it->value = v;
        break;
    }
    case Kind::Stamp: {
        const uint v = value.toUInt(&ok);
        if (ok)
            it->value = v;
        break;
    }
    case Kind::Text:
        it->value = value.toString();
        break;
    }
    return ok;
}

bool DeviceResponder::writeSetting(Setting &setting, const QByteArray &arg)
{
    if (!setting.writable)
        return false;
    bool ok = false;
    switch (setting.kind) {
    case Kind::Int: {
        const int v = arg.toInt(&ok, 10);
        ok = ok && v >= setting.min && v <= setting.max;
        if (ok)
            setting.value = v;
        break;
    }
    case Kind::Real: {
        const double v = arg.toDouble(&ok);
        ok = ok && qIsFinite(v) && v >= setting.min && v <= setting.max;
        if (ok)
            setting.value = v;
        break;
    }
    case Kind::Stamp: {
        const uint v = arg.toUInt(&ok, 10);
        if (ok)
            setting.value = v;
        break;
    }
    case Kind::Text:
        break;
    }
    return ok;
}

QByteArray DeviceResponder::format(const Setting &setting)
{
    switch (setting.kind) {
    case Kind::Int:
        return QByteArray::number(setting.value.toInt());
    case Kind::Real:
        return fixed(setting.value.toDouble(), 2).toLatin1();
    case Kind::Stamp:
        return QByteArray::number(setting.value.toUInt());
    case Kind::Text:
        return setting.value.toString().toLatin1();
    }
    return QByteArray();
}

QByteArray DeviceResponder::answer(const QByteArray &line, double seconds)
{
    const QByteArray text = line.trimmed();
    if (text.isEmpty())
        return QByteArray();
    const int blank = text.indexOf(' ');
    const QByteArray word = blank < 0 ? text : text.left(blank);
    const QByteArray arg = blank < 0 ? QByteArray() : text.mid(blank + 1).trimmed();

    if (m_silentWords.contains(word))
        return QByteArray();
    // Unknown and gated words get the bare "ERROR" a panel ignores, never a line it could take for a reply.
    if (!hasCommand(word))
        return "ERROR";
    if (word == "ATCVER")
        return m_versionReply;
    if (word == pollWord())
        return liveLine(seconds);

    if (refusesCalibration(word, arg))
        return word;
    bool handled = false;
    QByteArray reply = answerAction(word, seconds, &handled);
    if (!handled && m_model == Model::Tq24)
        reply = answerGasCalibration(word, arg, seconds, &handled);
    if (handled)
        return reply;

    const auto it = m_settings.find(QString::fromLatin1(word));
    if (it == m_settings.end() || !it->onWire)
        return "ERROR";
    // A refused value leaves the old one, which the reply then shows.
    if (!arg.isEmpty() && writeSetting(*it, arg))
        settingWritten(word, seconds);
    return word + ' ' + format(*it);
}

QByteArray DeviceResponder::answerAction(const QByteArray &word, double t, bool *handled)
{
    static const QList<QByteArray> actions{"ATCC", "ATCF", "ATCFTRST", "ATCUCAL", "ATCFCAL", "ATCDRFT"};
    *handled = actions.contains(word);
    if (!*handled)
        return QByteArray();
    if (m_refuseActions)
        return word;
    if (word == "ATCC" || word == "ATCF")
        m_settings[QStringLiteral("TEMPUNIT")].value = QString::fromLatin1(word.right(1));
    else if (word == "ATCFTRST")
        restoreDefaults();
    else if (word == "ATCDRFT")
        m_settings[QStringLiteral("ZERO")].value = gasBaseline(t);
    else if (word == "ATCUCAL" && m_gas)
        m_calibrationShift = -m_gas->level(t); // clean air: what it sees now reads 0
    // The two TQ20 calibrations run inside the sensor; the answer only says they started.
    return word + " OK";
}

QByteArray DeviceResponder::answerGasCalibration(const QByteArray &word, const QByteArray &arg, double t,
                                                 bool *handled)
{
    *handled = true;
    Setting &zero = m_settings[QStringLiteral("ZERO")];
    Setting &span = m_settings[QStringLiteral("SPAN")];
    Setting &spanPpm = m_settings[QStringLiteral("SPANPPM")];
    const auto number = [](const Setting &s, int decimals) { return fixed(s.value.toDouble(), decimals); };

    // With the gas model the sensor takes the gas it sees now as the zero or span gas, whatever it
    // really is; without it the zero and span gases are assumed to be what the command says.
    const double signalNow = m_gas ? kGasModelBaseline + m_gas->level(t) / kGasTrueSlope : 0.0;
    if (word == "ATCCZR") {
        zero.value = m_gas ? signalNow : gasBaseline(t);
        return "ATCCZR " + number(zero, 2).toLatin1();
    }
    if (word == "ATCCSP") {
        bool ok = false;
        const double ppm = arg.toDouble(&ok);
        // A span signal at the zero signal gives no slope: the firmware keeps what it had.
        if (ok && ppm > 0 && ppm <= kOffsetLimit &&
            (!m_gas || qAbs(signalNow - zero.value.toDouble()) > 1.0)) {
            spanPpm.value = ppm;
            span.value = m_gas ? signalNow : gasBaseline(t) + ppm / kGasTrueSlope;
        }
        return QStringList{number(spanPpm, 2), fixed(gasSlope(), 5), number(zero, 2), number(span, 2)}
            .join(QLatin1Char(','))
            .prepend(QStringLiteral("ATCCSP "))
            .toLatin1();
    }
    if (word == "ATCCAL") {
        const QList<QByteArray> parts = arg.split(',');
        if (parts.size() == 3) {
            bool ok[3] = {false, false, false};
            const double ppm = parts[0].trimmed().toDouble(&ok[0]);
            const double z = parts[1].trimmed().toDouble(&ok[1]);
            const double s = parts[2].trimmed().toDouble(&ok[2]);
            if (ok[0] && ok[1] && ok[2] && ppm >= 0 && qAbs(z) <= kOffsetLimit && qAbs(s) <= kOffsetLimit &&
                ppm <= kOffsetLimit && s != z) {
                spanPpm.value = ppm;
                zero.value = z;
                span.value = s;
            }
        }
        return QStringList{number(spanPpm, 2), number(zero, 2), number(span, 2)}
            .join(QLatin1Char(','))
            .prepend(QStringLiteral("ATCCAL "))
            .toLatin1();
    }
    *handled = false;
    return QByteArray();
}

double DeviceResponder::real(const char *word) const
{
    return m_settings.value(QString::fromLatin1(word)).value.toDouble();
}

int DeviceResponder::integer(const char *word) const
{
    return m_settings.value(QString::fromLatin1(word)).value.toInt();
}

bool DeviceResponder::celsius() const
{
    return m_settings.value(QStringLiteral("TEMPUNIT")).value.toString() != QLatin1String("F");
}

double DeviceResponder::temperature(double t) const
{
    const double c = wave(t, 23.5, 0.6, 600.0, 1.0) + real("ATCOFF2");
    return celsius() ? c : celsiusToFahrenheit(c);
}

double DeviceResponder::gasSlope() const
{
    const double delta = real("SPAN") - real("ZERO");
    return qFuzzyIsNull(delta) ? 0.0 : real("SPANPPM") / delta;
}

double DeviceResponder::gasBaseline(double t) const
{
    if (m_gas)
        return kGasModelBaseline;
    return 100.0 + 4.0 * qSin(2.0 * M_PI * t / 1800.0);
}

double DeviceResponder::gasSignal(double t) const
{
    if (m_gas)
        return kGasModelBaseline + m_gas->reading(t) / kGasTrueSlope;
    const double concentration = wave(t, 50.0, 15.0, 300.0);
    const double noise = integer("ATCMODE") == 1 ? 0.2 : 3.0; // digital filter on / off
    return gasBaseline(t) + concentration / kGasTrueSlope +
           (QRandomGenerator::global()->generateDouble() - 0.5) * noise;
}

QByteArray DeviceResponder::liveLine(double t) const
{
    QStringList fields;
    switch (m_model) {
    case Model::Pm:
        fields = pmFields(t);
        break;
    case Model::Tq20:
        fields = tq20Fields(t);
        break;
    case Model::Tq21:
        fields = tq21Fields(t);
        break;
    case Model::Tq22:
        fields = tq22Fields(t);
        break;
    case Model::Tq24:
        fields = tq24Fields(t);
        break;
    }
    for (int i = 0; i < fields.size(); ++i) {
        if (m_noValues || m_noValueFields.contains(i + 1))
            fields[i] = QStringLiteral("----");
    }
    return pollWord() + ' ' + fields.join(QLatin1Char(',')).toLatin1();
}

QStringList DeviceResponder::pmFields(double t) const
{
    // Field order: pm2.5, pm10.0, pm1.0, pm4.0, pm0.5, particle size.
    const bool number = integer("ATCMODE") == 1;
    // The gas model sets pm2.5; the other sizes keep their share of it.
    const double level = m_gas ? sensed(t) / (number ? 44.0 : 12.0) : wave(t, 1.0, 0.25, 300.0);
    const double pm25 = number ? 44.0 * level : 12.0 * level;
    const double pm10 = number ? 44.4 * level : 18.0 * level;
    const double pm1 = number ? 42.0 * level : 8.4 * level;
    const double pm4 = number ? 44.3 * level : 14.5 * level;
    const double pm05 = 35.0 * level;
    const double size = wave(t, 0.62, 0.04, 420.0);
    const int d = gasDecimals(1);
    return {fixed(pm25 + real("ATCOFF1"), d), fixed(pm10 + real("ATCOFF2"), d),
            fixed(pm1 + real("ATCOFF3"), d),  fixed(pm4 + real("ATCOFF4"), d),
            fixed(pm05 + real("ATCOFF5"), d), fixed(size, 2)};
}

QStringList DeviceResponder::tq20Fields(double t) const
{
    const double tvocPpm = (m_gas ? sensed(t) : wave(t, 0.30, 0.08, 240.0)) + real("ATCOFF1");
    const int base = newUnitCodes() ? 0 : 1;
    const QString tvoc = integer("ATCVOCU") == base ? fixed(tvocPpm, 3) : fixed(tvocPpm * 1000.0, 0);
    if (integer("ATCMODE") == 1)
        return {tvoc, fixed(wave(t, 9.5, 0.6, 420.0) + real("ATCOFF2"), 2)};
    const double co2Ppm = wave(t, 620.0, 60.0, 360.0) + real("ATCOFF2");
    return {tvoc, integer("ATCCU") != base ? fixed(co2Ppm, 0) : fixed(co2Ppm / 10000.0, 3)};
}

QStringList DeviceResponder::tq21Fields(double t) const
{
    const double co2Ppm = (m_gas ? sensed(t) : wave(t, 650.0, 70.0, 360.0)) + real("ATCOFF1");
    const int percentCode = newUnitCodes() ? 0 : 1;
    return {integer("ATCCU") != percentCode ? fixed(co2Ppm, gasDecimals(0)) : fixed(co2Ppm / 10000.0, 3),
            fixed(temperature(t), 2)};
}

QStringList DeviceResponder::tq22Fields(double t) const
{
    const double o2Percent = (m_gas ? sensed(t) : wave(t, 20.9, 0.05, 500.0)) + real("ATCOFF1");
    const double mbar = wave(t, 1013.2, 1.5, 900.0);
    switch (integer("ATCMODE")) {
    case 2:
        return {fixed(o2Percent / 100.0 * mbar, 1), fixed(mbar + real("ATCOFF2"), 1)};
    case 3:
        return {fixed(o2Percent * 10000.0, 0), fixed(mbar * 10.1972 + real("ATCOFF2"), 0)};
    case 4:
        return {fixed(o2Percent, 2), fixed(mbar + real("ATCOFF2"), 1)};
    default:
        return {fixed(o2Percent, 2), fixed(temperature(t), 2)};
    }
}

QStringList DeviceResponder::tq24Fields(double t) const
{
    // uV signal, ppm, temperature, baseline uV, sensitivity ppm/uV, stored zero uV.
    const double signal = gasSignal(t);
    const double ppm = (signal - real("ZERO")) * gasSlope() + real("ATCOFF1");
    return {fixed(signal, 1),         fixed(ppm, gasDecimals(1)), fixed(temperature(t), 2),
            fixed(gasBaseline(t), 1), fixed(gasSlope(), 5),       fixed(real("ZERO"), 1)};
}
