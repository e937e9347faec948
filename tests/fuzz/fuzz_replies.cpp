#include "device/commandset.h"
#include "fuzzcheck.h"

#include <QtNumeric>

// A reply line and a live line as the panels read them. The first byte picks the command word.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const QStringList words = {QStringLiteral("ATCOFF1"), QStringLiteral("ATCMODE"), QStringLiteral("ATCCSP"),
                                      QStringLiteral("ATCEXTM"), QStringLiteral("ATCD"),    QStringLiteral("ATCH"),
                                      QStringLiteral("ATCC"),    QStringLiteral("ATCF")};
    const QString word = words.at(data[0] % words.size());
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), int(size - 1));

    const QString value = Cmd::replyValue(line, word);
    FUZZ_CHECK(!value.contains(word));
    FUZZ_CHECK(line.contains(word) || value.isEmpty());
    FUZZ_CHECK(line.endsWith(value));
    FUZZ_CHECK(!Cmd::containsWord(line, word) || line.contains(word));

    if (const std::optional<double> number = Cmd::number(value)) {
        FUZZ_CHECK(qIsFinite(*number));
        FUZZ_CHECK(Cmd::number(QString::number(*number, 'g', 17)) == number);
    }
    if (Cmd::isLiveLine(line, word)) {
        const QStringList fields = Cmd::liveFields(line, word);
        FUZZ_CHECK(!fields.isEmpty() && !fields.first().isEmpty());
        FUZZ_CHECK(fields.join(QLatin1Char(',')) == value);
        for (const QString &field : fields) {
            if (const std::optional<double> value = Cmd::number(field))
                FUZZ_CHECK(qIsFinite(*value));
        }
    }
    return 0;
}
