#pragma once

#include <QString>

class QTranslator;

// Loads the tool's translation for a system locale name such as "ko_KR": the file
// "TQ_Gas_Calibrator_ko" from `directory`, else the copy compiled into the resources.
// Other locales load nothing. True when a translation was loaded.
bool loadTranslation(QTranslator &translator, const QString &localeName, const QString &directory = ".");

// The toolkit's own texts (standard buttons) for the same locale, when the system has them.
bool loadToolkitTranslation(QTranslator &translator, const QString &localeName);
