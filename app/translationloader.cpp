#include "app/translationloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

bool isKorean(const QString &localeName)
{
    return localeName.left(2) == QLatin1String("ko");
}

} // namespace

bool loadTranslation(QTranslator &translator, const QString &localeName, const QString &directory)
{
    return loadTranslation(translator, localeName, QStringList{directory});
}

bool loadTranslation(QTranslator &translator, const QString &localeName, const QStringList &directories)
{
    if (!isKorean(localeName))
        return false;
    const QString name = QStringLiteral("TQ_Gas_Calibrator_ko");
    for (const QString &directory : directories) {
        if (translator.load(name, directory))
            return true;
    }
    return translator.load(name, QStringLiteral(":/i18n"));
}

QStringList translationDirectories()
{
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                              QStringLiteral(TQ_TRANSLATIONS_RELDIR));
    return {QStringLiteral("."), installed};
}

bool loadToolkitTranslation(QTranslator &translator, const QString &localeName)
{
    if (!isKorean(localeName))
        return false;
    return translator.load(QStringLiteral("qtbase_ko"),
                           QLibraryInfo::location(QLibraryInfo::TranslationsPath));
}
