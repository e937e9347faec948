#include "records/certificate.h"
#include "records/recordschema.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

ReportPoint point(const QString &name, const QString &unit, double reference, double found, double left)
{
    ReportPoint p;
    p.channelName = name;
    p.unit = unit;
    p.reference = reference;
    p.tolerance = 0.01 * reference;
    p.maxSlope = 2;
    p.maxSd = 1;
    p.dwellS = 60;
    p.windowS = 60;
    p.asFound = {true, found, found - reference, true, 0.01, 0.02, 12};
    p.adjusted = true;
    p.adjustment = QStringLiteral("ATCCSP %1").arg(reference, 0, 'f', 2);
    p.asLeft = {true, left, left - reference, true, -0.01, 0.03, 12};
    p.result = RecordSchema::kOutcomePass;
    p.writes = QStringList{p.adjustment};
    return p;
}

// A span calibration of a TQ24, complete and passed, with as many points as asked.
ProcedureReport report(int points)
{
    ProcedureReport r;
    r.model = "TQ24";
    r.serial = "SN-0042";
    r.firmware = "TQ24-1v5";
    r.method = "TQ24 span calibration (ATCCSP)";
    r.calibrated = QDateTime(QDate(2026, 12, 8), QTime(9, 30), Qt::OffsetFromUTC, 3600);
    r.technician = "Jane Roe";
    r.toolVersion = "4.98";
    r.decisionRule = "simple acceptance: |error| <= tolerance";
    r.gases.append({"CO2", 400, "ppm", "LOT-7731", QDate(2099, 12, 31), 2.5});
    r.temperature = 23.5;
    r.temperatureUnit = QString::fromUtf8("\u00B0C");
    r.points.append(point("gas", "ppm", 400, 391.25, 400));
    r.points.first().writes.append("ATCEXTM 1796722200");
    for (int i = 1; i < points; ++i)
        r.points.append(point("gas signal", QString::fromUtf8("\u00B5V"), 180, 180.5, 180.01));
    r.conclude();
    return r;
}

// The certificate's text with runs of blanks made one, and its pages.
QStringList pages(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(10000) || p.exitCode() != 0)
        return {};
    QString text = QString::fromUtf8(p.readAllStandardOutput());
    text.replace(QRegularExpression(QStringLiteral("[ \\t]+")), QStringLiteral(" "));
    QStringList result = text.split(QLatin1Char('\f'));
    if (result.last().trimmed().isEmpty())
        result.removeLast();
    return result;
}

} // namespace

// The certificate read back from its PDF: every item a calibration certificate holds, its pages,
// and the refusals that leave no file.
class TestCertificate : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void items_data();
    void items();
    void longReport_pageXofYOnEveryPage();
    void write_refused_noFile_data();
    void write_refused_noFile();

private:
    QTemporaryDir m_dir;
    QString m_text;
};

void TestCertificate::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    Certificate certificate(report(2),
                            {"Gasworks Lab", QString::fromUtf8("1 Test Street\nTestville \u6771\u4eac")});
    certificate.setIssued(QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0, 123), Qt::UTC));
    const QString path = m_dir.filePath("c.pdf");
    QVERIFY2(certificate.write(path), qPrintable(certificate.errorString()));
    const QStringList text = pages(path);
    QVERIFY(!text.isEmpty());
    m_text = text.join(QString());
}

void TestCertificate::items_data()
{
    QTest::addColumn<QString>("expected");
    QTest::newRow("title") << "Calibration Certificate";
    QTest::newRow("unique number") << "Certificate number TQ24-SN0042-20261208-100000-123";
    QTest::newRow("laboratory") << "Name Gasworks Lab";
    QTest::newRow("address, line by line") << "Address 1 Test Street\n";
    QTest::newRow("non-Latin text as '?'") << " Testville ??\n";
    QTest::newRow("model") << "Model TQ24";
    QTest::newRow("serial") << "Serial number SN-0042";
    QTest::newRow("firmware") << "Firmware TQ24-1v5";
    QTest::newRow("date of calibration, local") << "Date of calibration 2026-12-08 09:30:00 +01:00";
    QTest::newRow("date of issue") << "Date of issue 2026-12-08 10:00:00 UTC";
    QTest::newRow("method") << "Method TQ24 span calibration (ATCCSP)";
    QTest::newRow("reference gas") << "Gas CO2 400.00 ppm";
    QTest::newRow("traceability: lot") << "Lot or certificate LOT-7731";
    QTest::newRow("traceability: expiry") << "Expiry 2099-12-31";
    QTest::newRow("gas uncertainty") << QString::fromUtf8("Uncertainty \u00B1 2.50 ppm");
    QTest::newRow("temperature from the device") << QString::fromUtf8("Temperature 23.50 \u00B0C");
    QTest::newRow("tolerance") << QString::fromUtf8("Tolerance \u00B1 4.00 ppm");
    QTest::newRow("decision rule") << "Decision rule simple acceptance: |error| <= tolerance";
    QTest::newRow("as found with error") << "As found 391.25 ppm -8.75 ppm stable";
    QTest::newRow("adjustment") << "Adjustment ATCCSP 400.00";
    QTest::newRow("as left with error") << "As left 400.00 ppm 0.00 ppm stable";
    QTest::newRow("micro volts") << QString::fromUtf8("As found 180.50 \u00B5V 0.50 \u00B5V");
    QTest::newRow("point result") << "Result PASS";
    QTest::newRow("overall result") << "Overall result PASS";
    QTest::newRow("person") << "Calibrated by Jane Roe";
    QTest::newRow("limitation") << "The results relate only to the item calibrated.";
    QTest::newRow("page x of y") << "Page 1 of ";
    QTest::newRow("writes made") << "Writes to the device ATCCSP 400.00, ATCEXTM 1796722200";
}

void TestCertificate::items()
{
    QFETCH(QString, expected);
    QVERIFY2(m_text.contains(expected), qPrintable(expected + QLatin1String(" not in:\n") + m_text));
}

void TestCertificate::longReport_pageXofYOnEveryPage()
{
    Certificate certificate(report(14), {"Gasworks Lab", "1 Test Street"});
    const QString path = m_dir.filePath("long.pdf");
    QVERIFY2(certificate.write(path), qPrintable(certificate.errorString()));
    const QStringList text = pages(path);
    QVERIFY(text.size() > 1);
    for (int i = 0; i < text.size(); ++i)
        QVERIFY2(text.at(i).contains(QStringLiteral("Page %1 of %2").arg(i + 1).arg(text.size())),
                 qPrintable(text.at(i)));
    // Nothing falls off a page: the last point and the closing statement are there.
    QVERIFY(text.join(QString()).contains(QStringLiteral("Point 14")));
    QVERIFY(text.last().contains(QStringLiteral("The results relate only to the item calibrated.")));
}

void TestCertificate::write_refused_noFile_data()
{
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("path"); // under the temporary folder
    QTest::addColumn<QString>("error");
    QTest::newRow("incomplete") << RecordSchema::kOutcomeIncomplete << "c.pdf"
                                << "aborted";
    QTest::newRow("folder missing") << RecordSchema::kOutcomePass << "missing/c.pdf"
                                    << "missing";
    QTest::newRow("path is a folder") << RecordSchema::kOutcomePass << "folder"
                                      << "folder";
}

void TestCertificate::write_refused_noFile()
{
    QFETCH(QString, result);
    QFETCH(QString, path);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    ProcedureReport r = report(1);
    if (result == QLatin1String(RecordSchema::kOutcomeIncomplete)) {
        r.points.first().result = result;
        r.points.first().reason = "aborted";
        r.conclude();
    }
    Certificate certificate(r, {"Gasworks Lab", "1 Test Street"});
    QVERIFY(!certificate.write(dir.filePath(path)));
    QVERIFY2(certificate.errorString().contains(error), qPrintable(certificate.errorString()));
    // Nothing left behind, not even the temporary file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"folder"});
}

QTEST_GUILESS_MAIN(TestCertificate)
#include "tst_certificate.moc"
