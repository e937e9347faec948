#pragma once

#include <QString>
#include <QStringList>

class QTranslator;

// Loads the tool's translation for a system locale name such as "ko_KR": the file
// "TQ_Gas_Calibrator_ko" from `directory`, else the copy compiled into the resources.
// Other locales load nothing. True when a translation was loaded.
bool loadTranslation(QTranslator &translator, const QString &localeName, const QString &directory = ".");

// The same, trying each of `directories` in order before the compiled-in copy.
bool loadTranslation(QTranslator &translator, const QString &localeName, const QStringList &directories);

// Where the program looks for its translation: the working directory, then the folder an
// install puts it in, found from the program's own folder so any install prefix works.
// Needs the application object.
QStringList translationDirectories();

// The toolkit's own texts (standard buttons) for the same locale, when the system has them.
bool loadToolkitTranslation(QTranslator &translator, const QString &localeName);
