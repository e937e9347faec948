#include "device/linesplitter.h"
#include "fuzzcheck.h"

#include <QString>

// Framing of what the device sends: lines never hold a line end, NUL or blank, never exceed the
// bound, do not depend on how the bytes were cut into reads, lose no character of valid text, and
// framing the framed lines again gives them back.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    LineSplitter whole;
    const QStringList lines = whole.feed(input);

    LineSplitter pieces;
    QStringList chunked;
    const int step = size ? 1 + data[0] % 7 : 1;
    for (int at = 0; at < input.size(); at += step)
        chunked += pieces.feed(input.mid(at, step));
    FUZZ_CHECK(chunked == lines);
    FUZZ_CHECK(pieces.pendingSize() == whole.pendingSize());
    FUZZ_CHECK(whole.pendingSize() < LineSplitter::kMaxPending);

    QByteArray reframed;
    for (const QString &line : lines) {
        FUZZ_CHECK(!line.isEmpty() && line.size() <= LineSplitter::kMaxPending);
        for (const QChar c : {QChar('\r'), QChar('\n'), QChar('\0'), QChar(' ')})
            FUZZ_CHECK(!line.contains(c));
        reframed += line.toUtf8() + "\r\n";
    }
    FUZZ_CHECK(LineSplitter().feed(reframed) == lines);

    if (QString::fromUtf8(input).toUtf8() == input) {
        QByteArray kept = input;
        kept.replace('\r', QByteArray()).replace('\n', QByteArray()).replace('\0', QByteArray());
        kept.chop(whole.pendingSize());
        kept.replace(' ', QByteArray());
        FUZZ_CHECK(lines.join(QString()).toUtf8() == kept);
    }
    return 0;
}
