#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The device's command words and the text forms of commands and replies. Plain functions, so the
// protocol can be checked without any widget.
namespace Cmd {

// Identifier of the command whose reply a panel awaits. One numbering for every model, so the
// same command has the same number in every panel; 1 and 18 are unassigned.
enum Id : int
{
    NoCommand = 0,
    ATCOFF1 = 2,
    ATCOFF2 = 3,
    ATCOFF3 = 4,
    ATCOFF4 = 5,
    ATCOFF5 = 6,
    ATCCAL = 7,
    ATCMODE = 8,
    ATCVOCU = 9,
    ATCCU = 10,
    ATCUCAL = 11,
    ATCFCAL = 12,
    ATCWIN = 13,
    ATCDGFIL = 14,
    ATCSPAN = 15,
    ATCSINFO = 16,
    ATCDRFT = 17,
    ATCCZR = 19,
    ATCCSP = 20,
    ATCEXTM = 21,
    ATCUSED = 22,
    ATCBLDTM = 23,
    ATCMODID = 24,
    ATCMODBR = 25,
    ATCMODTO = 26,
    ATCMODSW = 27,
    ATCFTRST = 28,
    END_SEQ = 29,   // the sequence finished
    ERROR_SEQ = 30, // the sequence failed
};

// The command word of an identifier ("ATCOFF1" for ATCOFF1), empty for markers and gaps.
QString word(int id);
// The offset command word of channel 1 to 5.
int offsetId(int channel);

// "WORD\r\n": reads a setting (or runs an action word).
QString query(int id);
// "WORD ARG\r\n": writes a setting.
QString write(int id, const QString &argument);
// Fixed point with two decimals, no exponent and no group separators: 12.50, -0.25, 0.00.
QString decimal2(double value);

// The temperature unit commands, answered "OK"; they await no identifier.
inline const char kCelsiusWord[] = "ATCC";
inline const char kFahrenheitWord[] = "ATCF";

// What a reply says after the word: the text after the word's last occurrence, so a device that
// echoes the command before its reply is read as a plain one. Empty when the word is absent.
QString replyValue(const QString &line, const QString &word);
bool containsAny(const QString &line, const QStringList &words);
// Whether `word` stands in the line as a word of its own: not the start of a longer command word
// ("ATCC" is not in "ATCCSP"). An echoed command runs straight into its "OK", which still counts.
bool containsWord(const QString &line, const QString &word);

// A number as the device writes it: decimal, "." as the point; empty for text that is no number
// ("", "----", "nan", "12OK").
std::optional<double> number(const QString &text);
std::optional<qint64> integer(const QString &text);

// A live line: the poll word followed by a value (digit, sign or point), so a late reply that
// merely starts with the poll word ("ATCDGFIL32") is not taken for one.
bool isLiveLine(const QString &line, const QString &pollWord);
// The comma-separated fields after the poll word; empty fields are kept.
QStringList liveFields(const QString &line, const QString &pollWord);

// The text of a chunk for the log, with every CR LF pair shown as "[CR][LF]".
QString showLineEnds(const QByteArray &bytes);

} // namespace Cmd
