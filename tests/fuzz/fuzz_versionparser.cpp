#include "device/versionparser.h"
#include "fuzzcheck.h"

// The version reply: any text gives a model the tool knows how to look up or none, and "T2"
// anywhere before it changes nothing (it is removed before parsing).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const TqVersion parsed = parseTqVersion(reply);
    if (parsed.ok) {
        FUZZ_CHECK(parsed.model == kPmModel || (parsed.model >= 0 && parsed.model <= 99));
        FUZZ_CHECK(parsed.version >= 0 && parsed.version <= 99);
    } else {
        FUZZ_CHECK(parsed.model == 0 || parsed.model == kPmModel || parsed.model <= 99);
    }
    const TqVersion marked = parseTqVersion(QStringLiteral("T2") + reply);
    FUZZ_CHECK(marked.ok == parsed.ok && marked.model == parsed.model && marked.version == parsed.version);
    return 0;
}
