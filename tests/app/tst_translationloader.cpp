#include "app/translationloader.h"

#include <QtTest>

// Which file the tool's translation comes from: the folders in the order given, then the
// compiled-in copy.
class TestTranslationLoader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void load_data();
    void load();

private:
    QTemporaryDir m_root;
};

void TestTranslationLoader::initTestCase()
{
    QVERIFY(m_root.isValid());
    for (const char *folder : {"first", "second", "empty"})
        QVERIFY(QDir(m_root.path()).mkdir(QLatin1String(folder)));
    for (const char *folder : {"first", "second"})
        QVERIFY(
            QFile::copy(QStringLiteral(":/i18n/TQ_Gas_Calibrator_ko.qm"),
                        m_root.filePath(QLatin1String(folder) + QStringLiteral("/TQ_Gas_Calibrator_ko.qm"))));
}

void TestTranslationLoader::load_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("loadedFrom"); // a folder name, ":/i18n", or empty for nothing loaded

    QTest::newRow("firstFolderWins") << "ko_KR" << QStringList{"first", "second"} << "first";
    QTest::newRow("folderWithoutFileSkipped") << "ko_KR" << QStringList{"empty", "second"} << "second";
    QTest::newRow("missingFolderSkipped") << "ko_KR" << QStringList{"no-such", "second"} << "second";
    QTest::newRow("noFolderHasIt_compiledIn") << "ko_KR" << QStringList{"empty"} << ":/i18n";
    QTest::newRow("languageOnly") << "ko" << QStringList{"first"} << "first";
    QTest::newRow("english_nothing") << "en_US" << QStringList{"first"} << "";
    QTest::newRow("cLocale_nothing") << "C" << QStringList{"first"} << "";
}

void TestTranslationLoader::load()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, folders);
    QFETCH(QString, loadedFrom);

    QStringList directories;
    for (const QString &folder : folders)
        directories << m_root.filePath(folder);
    QTranslator translator;
    const bool loaded = loadTranslation(translator, locale, directories);

    QCOMPARE(loaded, !loadedFrom.isEmpty());
    if (loadedFrom.isEmpty()) {
        QVERIFY(translator.isEmpty());
        return;
    }
    const QString folder = loadedFrom.startsWith(QLatin1Char(':')) ? loadedFrom : m_root.filePath(loadedFrom);
    QCOMPARE(QFileInfo(translator.filePath()).absoluteFilePath(),
             QFileInfo(folder + QStringLiteral("/TQ_Gas_Calibrator_ko.qm")).absoluteFilePath());
    QCOMPARE(translator.translate("MainWindow", "Lumaweave TQ Gas Calibrator"),
             QStringLiteral("Lumaweave TQ 가스 교정기"));
}

QTEST_GUILESS_MAIN(TestTranslationLoader)
#include "tst_translationloader.moc"
