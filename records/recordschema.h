#pragma once

// The calibration record's on-disk layout: one append-only table of events in an SQLite file.
// Shared by the writer (the shared panel mechanism) and the readers (records window, exports), so
// both agree on names without depending on each other.

namespace RecordSchema {

// Raised with every change of the layout; a reader refuses a file newer than it knows.
constexpr int kVersion = 2;

constexpr const char *kFileName = "calibration-records.sqlite";

// Executed in order on every open; each is idempotent.
constexpr const char *kCreateStatements[] = {
    "CREATE TABLE IF NOT EXISTS events ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " time_utc TEXT NOT NULL,"   // ISO 8601 with milliseconds and "Z"
    " utc_offset TEXT NOT NULL," // the local offset at that moment, "+09:00"
    " kind TEXT NOT NULL CHECK (kind IN ('read', 'write', 'action')),"
    " model TEXT NOT NULL," // "TQ24", "PM"
    " serial TEXT NOT NULL,"
    " firmware TEXT NOT NULL," // the version reply's text
    " tool_version TEXT NOT NULL,"
    " setting TEXT,"      // write: the setting's name as the panel shows it; action: its name;
                          // read: the action whose effect it reads, NULL for any other refresh
    " command TEXT,"      // the command word, "ATCOFF1" (read: the action's)
    " value_before TEXT," // write: last read from the device
    " value_written TEXT,"
    " value_confirmed TEXT," // as the device sent it
    " outcome TEXT,"         // see the kOutcome texts
    " details TEXT"          // JSON: read, every setting read; action, the values after
    ")",
    "CREATE INDEX IF NOT EXISTS events_device ON events (model, serial, time_utc)",
    // Append-only: an audit trail nobody can edit from inside the file.
    "CREATE TRIGGER IF NOT EXISTS events_no_update BEFORE UPDATE ON events"
    " BEGIN SELECT RAISE(ABORT, 'calibration records are append-only'); END",
    "CREATE TRIGGER IF NOT EXISTS events_no_delete BEFORE DELETE ON events"
    " BEGIN SELECT RAISE(ABORT, 'calibration records are append-only'); END",
};

// A change of the layout after the first: run once, in the transaction that raises the file to
// its version. A file made new runs them too, after the statements above.
struct Migration
{
    int version;
    const char *statement;
};
constexpr Migration kMigrations[] = {
    // Which program wrote the event; NULL in events written before version 2, all by the window.
    {2, "ALTER TABLE events ADD COLUMN tool TEXT"},
};

constexpr const char *kToolWindow = "TQ_Gas_Calibrator";
constexpr const char *kToolCommandLine = "tqcal";

constexpr const char *kKindRead = "read";
constexpr const char *kKindWrite = "write";
constexpr const char *kKindAction = "action";

constexpr const char *kOutcomeConfirmed = "confirmed";
constexpr const char *kOutcomeRejected = "rejected";
constexpr const char *kOutcomeFailedWrite = "failed write";
constexpr const char *kOutcomeNoReply = "no reply";
constexpr const char *kOutcomePortLost = "port lost";
// A guided procedure: its verdict as a whole. Incomplete when it was aborted, refused, timed out
// or unplugged; no certificate is issued for it.
constexpr const char *kOutcomePass = "pass";
constexpr const char *kOutcomeFail = "fail";
constexpr const char *kOutcomeIncomplete = "incomplete";

// The setting of a guided procedure's action event; its details hold the whole report as JSON.
constexpr const char *kSettingGuided = "Guided calibration";
constexpr const char *kSettingCheck = "Check against reference";

} // namespace RecordSchema
