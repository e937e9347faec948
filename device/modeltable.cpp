#include "device/modeltable.h"

#include "device/commandset.h"
#include "device/devicemodels.h"

namespace ModelTable {
namespace {

constexpr int kAll = 0;
constexpr int kNever = INT_MAX;
constexpr double kOffset = 1000000.0;
constexpr double kHours = 999999999.0;

Setting offset(const char *word)
{
    return {word, Format::Decimal2, -kOffset, kOffset, true, kAll, kNever};
}
Setting integer(const char *word, double min, double max, int from = kAll, int below = kNever)
{
    return {word, Format::Integer, min, max, true, from, below};
}
Setting readOnly(const char *word, Format format, int from = kAll, int below = kNever)
{
    return {word, format, 0, format == Format::Integer ? kHours : 0, false, from, below};
}

// TQ20 and TQ21 firmware counts unit codes from 0 from these versions on, from 1 before them.
constexpr int kTq20NewFirmware = 12;
constexpr int kTq20CountingFirmware = 32;
constexpr int kTq21FilterFirmware = 10;
constexpr int kTq21HoursFirmware = 15;

const QList<Model> &table()
{
    static const QList<Model> rows = {
        {kPmModel,
         "PM",
         "ATCH",
         {integer("ATCMODE", 0, 1), offset("ATCOFF1"), offset("ATCOFF2"), offset("ATCOFF3"),
          offset("ATCOFF4"), offset("ATCOFF5"), integer("ATCMODID", 0, 255), integer("ATCMODBR", 0, 5),
          integer("ATCMODSW", 0, 1), integer("ATCMODTO", 0, 4), readOnly("ATCEXTM", Format::Stamp),
          readOnly("ATCUSED", Format::Integer)},
         {{"ATCFTRST", kAll, kNever, true}},
         {{"pm2.5", "ug/m3"},
          {"pm10.0", "ug/m3"},
          {"pm1.0", "ug/m3"},
          {"pm4.0", "ug/m3"},
          {"pm0.5", "#/cm3"},
          {"particle size", "#/cm3"}},
         {"ATCMODE", "ATCOFF", "ATCFTRST", "ATCEXTM", "ATCUSED", "ATCMODID", "ATCMODBR", "ATCMODTO",
          "ATCMODSW"},
         {}},
        {20,
         "TQ20",
         "ATCD",
         {integer("ATCMODE", 1, 2), offset("ATCOFF1"), offset("ATCOFF2"),
          integer("ATCVOCU", 1, 2, kAll, kTq20NewFirmware), integer("ATCVOCU", 0, 1, kTq20NewFirmware),
          integer("ATCCU", 1, 2, kAll, kTq20NewFirmware), integer("ATCCU", 0, 1, kTq20NewFirmware),
          integer("ATCWIN", 1, 30, kTq20NewFirmware), readOnly("ATCEXTM", Format::Stamp, kTq20NewFirmware),
          readOnly("ATCUSED", Format::Integer, kTq20CountingFirmware),
          readOnly("ATCBLDTM", Format::Stamp, kTq20CountingFirmware)},
         {{"ATCUCAL", kAll, kTq20NewFirmware, false}, {"ATCFCAL", kAll, kTq20NewFirmware, false}},
         {{"TVOC", "ppm"}, {"CO2", "ppm"}},
         {"ATCMODE", "ATCOFF", "ATCVOCU", "ATCCU", "ATCUCAL", "ATCFCAL", "ATCWIN", "ATCEXTM", "ATCUSED",
          "ATCBLDTM"},
         {"ATCMODE", "ATCOFF", "ATCVOCU", "ATCCU", "ATCUCAL", "ATCFCAL", "ATCWIN", "ATCEXTM"},
         // Sensor mode 1 pairs TVOC with absolute humidity, mode 2 with CO2; offsets count in ppm.
         {{0, {{"ATCVOCU", 0}}, "TVOC", "ppm"},
          {0, {{"ATCVOCU", 1}}, "TVOC", "ppb", 0.001},
          {1, {{"ATCMODE", 0}}, "absolute humidity", "g/m3"},
          {1, {{"ATCMODE", 1}, {"ATCCU", 1}}, "CO2", "ppm"},
          {1, {{"ATCMODE", 1}, {"ATCCU", 0}}, "CO2", "%", 10000.0}}},
        {21,
         "TQ21",
         "ATCD",
         {offset("ATCOFF1"),
          offset("ATCOFF2"),
          {"ATCCAL", Format::Decimal2, 0, 200000, true, kAll, kNever},
          integer("ATCCU", 1, 2, kAll, kTq21FilterFirmware),
          integer("ATCCU", 0, 1, kTq21FilterFirmware),
          integer("ATCDGFIL", 0, 64, kTq21FilterFirmware),
          integer("ATCSPAN", 843, 1050, kTq21FilterFirmware),
          readOnly("ATCSINFO", Format::Text, kTq21FilterFirmware),
          readOnly("ATCEXTM", Format::Stamp, kTq21FilterFirmware),
          readOnly("ATCUSED", Format::Integer, kTq21HoursFirmware),
          readOnly("ATCBLDTM", Format::Stamp, kTq21HoursFirmware)},
         {},
         {{"CO2", "ppm"}, {"temperature", "\u00B0C"}},
         {"ATCOFF", "ATCCAL", "ATCCU", "ATCDGFIL", "ATCSPAN", "ATCSINFO", "ATCEXTM", "ATCUSED", "ATCBLDTM"},
         {"ATCOFF", "ATCCAL", "ATCCU", "ATCDGFIL", "ATCSPAN", "ATCSINFO", "ATCEXTM"}},
        {22,
         "TQ22",
         "ATCD",
         {integer("ATCMODE", 1, 4), offset("ATCOFF1"), offset("ATCOFF2")},
         {},
         {{"O2", "%"}, {"temperature", "\u00B0C"}},
         {"ATCMODE", "ATCOFF"},
         {}},
        // Zero calibration and drift adjustment are actions: their words answer only an apply.
        {24,
         "TQ24",
         "ATCH",
         {integer("ATCMODE", 0, 1),
          offset("ATCOFF1"),
          offset("ATCOFF2"),
          {"ATCCSP", Format::Fields, 0, kOffset, true, kAll, kNever},
          readOnly("ATCEXTM", Format::Stamp),
          readOnly("ATCUSED", Format::Integer)},
         {{"ATCCZR", kAll, kNever, false, true}, {"ATCDRFT", kAll, kNever, true}},
         {{"gas signal", "uV"},
          {"gas", "ppm"},
          {"temperature", "\u00B0C"},
          {"level 1", "uV"},
          {"sensitivity", "ppm/uV"},
          {"level 2", "uV"}},
         {"ATCMODE", "ATCOFF", "ATCCSP", "ATCEXTM", "ATCUSED"},
         {"ATCMODE", "ATCOFF", "ATCCAL", "ATCDRFT", "ATCCZR", "ATCCSP", "ATCEXTM"}},
    };
    return rows;
}

} // namespace

QList<int> models()
{
    QList<int> numbers;
    for (const Model &m : table())
        numbers.append(m.model);
    return numbers;
}

const Model *find(int model)
{
    for (const Model &m : table()) {
        if (m.model == model)
            return &m;
    }
    return nullptr;
}

QStringList refreshWords(int model, int firmware)
{
    QStringList words;
    if (const Model *m = find(model)) {
        for (const Setting &s : m->settings) {
            if (s.has(firmware) && !words.contains(QLatin1String(s.word)))
                words.append(QLatin1String(s.word));
        }
    }
    return words;
}

const Setting *setting(int model, int firmware, const QString &word)
{
    if (const Model *m = find(model)) {
        for (const Setting &s : m->settings) {
            if (word == QLatin1String(s.word) && s.has(firmware))
                return &s;
        }
    }
    return nullptr;
}

const Action *action(int model, int firmware, const QString &word)
{
    if (const Model *m = find(model)) {
        for (const Action &a : m->actions) {
            if (word == QLatin1String(a.word) && a.has(firmware))
                return &a;
        }
    }
    return nullptr;
}

UnitLookup unitInForce(int model, int firmware, int field, const QHash<QString, QString> &values)
{
    UnitLookup lookup;
    const Model *m = find(model);
    if (!m || field < 0 || field >= m->live.size())
        return lookup;
    bool chosen = false;
    for (const FieldUnit &row : m->units) {
        if (row.field != field)
            continue;
        chosen = true;
        QString unread; // the first setting this row still waits for
        bool holds = true;
        for (const Choice &choice : row.when) {
            const QString word = QLatin1String(choice.word);
            const Setting *s = setting(model, firmware, word);
            if (!s) {
                holds = false;
                break;
            }
            if (!values.contains(word)) {
                unread = word;
                break;
            }
            const std::optional<qint64> code = Cmd::integer(values.value(word).trimmed());
            if (!code || *code != qint64(s->min) + choice.index) {
                holds = false;
                break;
            }
        }
        if (holds && unread.isEmpty()) {
            lookup.unit = row;
            lookup.nextWord.clear();
            return lookup;
        }
        if (holds && lookup.nextWord.isEmpty())
            lookup.nextWord = unread;
    }
    if (!chosen)
        lookup.unit = FieldUnit{field, {}, m->live.at(field).name, m->live.at(field).unit};
    return lookup;
}

QString formatValue(const Setting &setting, const QString &value)
{
    const std::optional<double> number = Cmd::number(value.trimmed());
    if (!number || *number < setting.min || *number > setting.max)
        return QString();
    switch (setting.format) {
    case Format::Decimal2:
    case Format::Fields:
        return Cmd::decimal2(*number);
    case Format::Integer:
        if (const std::optional<qint64> whole = Cmd::integer(value.trimmed()))
            return QString::number(*whole);
        return QString();
    default:
        return QString();
    }
}

} // namespace ModelTable
