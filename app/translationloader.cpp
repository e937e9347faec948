#include "app/translationloader.h"

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
    if (!isKorean(localeName))
        return false;
    const QString name = QStringLiteral("TQ_Gas_Calibrator_ko");
    return translator.load(name, directory) || translator.load(name, QStringLiteral(":/i18n"));
}

bool loadToolkitTranslation(QTranslator &translator, const QString &localeName)
{
    if (!isKorean(localeName))
        return false;
    return translator.load(QStringLiteral("qtbase_ko"),
                           QLibraryInfo::location(QLibraryInfo::TranslationsPath));
}
