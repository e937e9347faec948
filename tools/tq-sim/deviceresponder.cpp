#include "deviceresponder.h"

#include <QRandomGenerator>
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

} // namespace tqsim

using tqsim::Model;

namespace {

const double kOffsetLimit = 1000000.0;
const uint kLastCalibration = 1735689600; // 2025-01-01 00:00:00 UTC
const uint kBuildTime = 1700000000;
const uint kUsedHours = 1234;
const double kGasTrueSlope = 0.5; // ppm per uV of the simulated sensor element

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
    : m_model(model), m_versionReply(tqsim::defaultVersionReply(model))
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

    if (word == "ATCVER")
        return m_versionReply;
    if (word == pollWord())
        return liveLine(seconds);

    bool handled = false;
    const QByteArray reply = answerModelCommand(word, arg, seconds, &handled);
    if (handled)
        return reply;

    // Unknown words get the bare "ERROR" a panel ignores, never a line it could take for a reply.
    const auto it = m_settings.find(QString::fromLatin1(word));
    if (!word.startsWith("ATC") || it == m_settings.end() || !it->onWire)
        return "ERROR";
    if (!arg.isEmpty())
        writeSetting(*it, arg); // a refused value leaves the old one, which the reply then shows
    return word + ' ' + format(*it);
}

QByteArray DeviceResponder::answerModelCommand(const QByteArray &word, const QByteArray &arg, double t,
                                               bool *handled)
{
    *handled = true;
    if ((word == "ATCC" || word == "ATCF") && m_settings.contains(QStringLiteral("TEMPUNIT"))) {
        m_settings[QStringLiteral("TEMPUNIT")].value =
            word == "ATCC" ? QStringLiteral("C") : QStringLiteral("F");
        return word + " OK";
    }
    if (m_model == Model::Pm && word == "ATCFTRST") {
        restoreDefaults();
        return "ATCFTRST OK";
    }
    if (m_model == Model::Tq20 && (word == "ATCUCAL" || word == "ATCFCAL"))
        return word + " OK";
    if (m_model == Model::Tq24)
        return answerGasCalibration(word, arg, t, handled);
    *handled = false;
    return QByteArray();
}

QByteArray DeviceResponder::answerGasCalibration(const QByteArray &word, const QByteArray &arg, double t,
                                                 bool *handled)
{
    Setting &zero = m_settings[QStringLiteral("ZERO")];
    Setting &span = m_settings[QStringLiteral("SPAN")];
    Setting &spanPpm = m_settings[QStringLiteral("SPANPPM")];
    const auto number = [](const Setting &s, int decimals) { return fixed(s.value.toDouble(), decimals); };

    if (word == "ATCCZR") {
        zero.value = gasBaseline(t);
        return "ATCCZR " + number(zero, 2).toLatin1();
    }
    if (word == "ATCDRFT") {
        zero.value = gasBaseline(t);
        return "ATCDRFT OK";
    }
    if (word == "ATCCSP") {
        bool ok = false;
        const double ppm = arg.toDouble(&ok);
        if (ok && ppm > 0 && ppm <= kOffsetLimit) {
            spanPpm.value = ppm;
            span.value = gasBaseline(t) + ppm / kGasTrueSlope;
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
    return 100.0 + 4.0 * qSin(2.0 * M_PI * t / 1800.0);
}

double DeviceResponder::gasSignal(double t) const
{
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
    if (m_noValues) {
        for (QString &field : fields)
            field = QStringLiteral("----");
    }
    return pollWord() + ' ' + fields.join(QLatin1Char(',')).toLatin1();
}

QStringList DeviceResponder::pmFields(double t) const
{
    // Field order: pm2.5, pm10.0, pm1.0, pm4.0, pm0.5, particle size.
    const double level = wave(t, 1.0, 0.25, 300.0);
    const bool number = integer("ATCMODE") == 1;
    const double pm25 = number ? 44.0 * level : 12.0 * level;
    const double pm10 = number ? 44.4 * level : 18.0 * level;
    const double pm1 = number ? 42.0 * level : 8.4 * level;
    const double pm4 = number ? 44.3 * level : 14.5 * level;
    const double pm05 = 35.0 * level;
    const double size = wave(t, 0.62, 0.04, 420.0);
    return {fixed(pm25 + real("ATCOFF1"), 1), fixed(pm10 + real("ATCOFF2"), 1),
            fixed(pm1 + real("ATCOFF3"), 1),  fixed(pm4 + real("ATCOFF4"), 1),
            fixed(pm05 + real("ATCOFF5"), 1), fixed(size, 2)};
}

QStringList DeviceResponder::tq20Fields(double t) const
{
    const double tvocPpm = wave(t, 0.30, 0.08, 240.0) + real("ATCOFF1");
    const QString tvoc = integer("ATCVOCU") == 0 ? fixed(tvocPpm, 3) : fixed(tvocPpm * 1000.0, 0);
    if (integer("ATCMODE") == 1)
        return {tvoc, fixed(wave(t, 9.5, 0.6, 420.0) + real("ATCOFF2"), 2)};
    const double co2Ppm = wave(t, 620.0, 60.0, 360.0) + real("ATCOFF2");
    return {tvoc, integer("ATCCU") != 0 ? fixed(co2Ppm, 0) : fixed(co2Ppm / 10000.0, 3)};
}

QStringList DeviceResponder::tq21Fields(double t) const
{
    const double co2Ppm = wave(t, 650.0, 70.0, 360.0) + real("ATCOFF1");
    return {integer("ATCCU") != 0 ? fixed(co2Ppm, 0) : fixed(co2Ppm / 10000.0, 3), fixed(temperature(t), 2)};
}

QStringList DeviceResponder::tq22Fields(double t) const
{
    const double o2Percent = wave(t, 20.9, 0.05, 500.0) + real("ATCOFF1");
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
    return {fixed(signal, 1),         fixed(ppm, 1),        fixed(temperature(t), 2),
            fixed(gasBaseline(t), 1), fixed(gasSlope(), 5), fixed(real("ZERO"), 1)};
}
