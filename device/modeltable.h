#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <QHash>

#include <climits>
#include <optional>

// What a model has on the wire, as data: its settings in refresh order with their firmware gates,
// formats and the ranges the panels allow; its actions; its live fields. The panels, the command
// line and the procedures read it; adding a model adds one table here.
namespace ModelTable {

enum class Format
{
    Decimal2, // fixed point with two decimals: offsets, calibration gas
    Integer,  // a whole number: modes, unit codes, Modbus settings
    Stamp,    // Unix seconds (read only here: written by "Last calibration time")
    Text,     // shown as sent
    Fields,   // comma-separated numbers (a calibration read-back)
};

struct Setting
{
    const char *word;
    Format format;
    double min;
    double max;
    bool writable;
    int minFirmware;   // the model's firmware has the word from this number on ("1v2" is 12)
    int belowFirmware; // and below this one
    bool has(int firmware) const { return firmware >= minFirmware && firmware < belowFirmware; }
};

struct Action
{
    const char *word;
    int minFirmware;
    int belowFirmware;
    bool refreshAfter; // what the device holds afterwards is read again
    // Taken when the reply carries a number (the new zero point), not "OK".
    bool answersValue = false;
    bool has(int firmware) const { return firmware >= minFirmware && firmware < belowFirmware; }
};

struct LiveField
{
    const char *name;
    const char *unit; // in the device's default units
};

// One choice of a unit setting: its index-th code at the firmware, counted from the lowest code its
// range has there, since older TQ20 and TQ21 firmware counts unit codes from 1 and newer from 0.
struct Choice
{
    const char *word;
    int index;
};

// What a live field shows while every choice holds, for a field whose unit the device lets be
// chosen. The device keeps its offset in the field's first unit: one of this unit is offsetScale
// of those (an offset for a reading in ppb counts in ppm).
struct FieldUnit
{
    int field;
    QList<Choice> when;
    const char *name;
    const char *unit;
    double offsetScale = 1;
};

struct Model
{
    int model;               // the number "ATCVER" gives
    const char *name;        // as records name it: "PM", "TQ20", ...
    const char *pollWord;    // polls its live values
    QList<Setting> settings; // refresh order; a word may have one row per firmware range
    QList<Action> actions;
    QList<LiveField> live;
    // Words whose lines answer a command of this model: while a refresh (or an apply) awaits one
    // reply, a line with another of these words is a wrong reply, not noise.
    QStringList refreshReplies;
    QStringList applyReplies; // the refresh's when empty
    // The units of the live fields that can be chosen; a field without rows shows its LiveField unit.
    QList<FieldUnit> units = {};
};

// The supported model numbers, in table order.
QList<int> models();
// The table of a supported model, or nullptr.
const Model *find(int model);
// The words the refresh reads at this firmware, in order.
QStringList refreshWords(int model, int firmware);
// The setting behind a word at this firmware, or nullptr when the model lacks it there.
const Setting *setting(int model, int firmware, const QString &word);
const Action *action(int model, int firmware, const QString &word);
// The unit a live field shows, judged from the unit settings read so far (word to value as the
// device sent it). Until it is known, nextWord is the setting to read next; when neither, the
// device's settings name no unit of the table (or the model has no such field).
struct UnitLookup
{
    std::optional<FieldUnit> unit;
    QString nextWord;
};
UnitLookup unitInForce(int model, int firmware, int field, const QHash<QString, QString> &values);

// A value as the panel writes it; empty when it is no number or outside the setting's range.
QString formatValue(const Setting &setting, const QString &value);

} // namespace ModelTable
