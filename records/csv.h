#pragma once

#include <QByteArray>
#include <QStringList>

// Comma-separated text for spreadsheets: quoting of one line's cells, UTF-8 with a byte order mark.
namespace Csv {

// The UTF-8 byte order mark, which spreadsheet programs need to read the file as UTF-8.
QByteArray byteOrderMark();
// One line of cells ended by CR LF; a cell holding a comma, a quote or a line end is quoted.
QByteArray line(const QStringList &cells);

} // namespace Csv
