#include "device/devicemodels.h"
#include "device/stabilitysettings.h"

#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The stability limits in the settings file: written with the built-in values on first use, an
// edited value taken, anything else ignored with a warning and left in the file as written.
class TestStabilitySettings : public QObject
{
    Q_OBJECT
private slots:
    void defaultsWritten_data();
    void defaultsWritten();
    void edited_data();
    void edited();
    void progress_data();
    void progress();

private:
    QTemporaryDir m_dir;
};

void TestStabilitySettings::defaultsWritten_data()
{
    QTest::addColumn<int>("model");
    for (int model : DeviceModels::all())
        QTest::newRow(qPrintable(DeviceModels::name(model))) << model;
}

void TestStabilitySettings::defaultsWritten()
{
    QFETCH(int, model);
    const QString file = m_dir.filePath(QStringLiteral("first-%1.ini").arg(model));
    QSettings settings(file, QSettings::IniFormat);
    const StabilitySettings::Table table = StabilitySettings::load(settings);
    QVERIFY(table.warnings().isEmpty());
    const QList<StabilityDefaults::Channel> rows = table.rows(model);
    QVERIFY(!rows.isEmpty());
    // Read back by a fresh reader, as a technician's editor would find it.
    QSettings written(file, QSettings::IniFormat);
    // One group a row, even for a channel with a row per unit, and none nested in another.
    QSet<QString> groups;
    for (const StabilityDefaults::Channel &row : rows)
        groups.insert(StabilitySettings::group(row));
    QCOMPARE(groups.size(), rows.size());
    QCOMPARE(written.childGroups().size(), StabilityDefaults::all().size());
    for (const StabilityDefaults::Channel &row : rows) {
        const QString group = StabilitySettings::group(row);
        QVERIFY2(group.contains(DeviceModels::name(model)), qPrintable(group));
        for (const StabilitySettings::Key &key : StabilitySettings::keys()) {
            const QString path = group + QLatin1Char('/') + QLatin1String(key.name);
            QVERIFY2(written.contains(path), qPrintable(path));
            // The text a person reads: "0.5", not a binary fraction's seventeen digits.
            QVERIFY2(written.value(path).toString().size() <= 8, qPrintable(written.value(path).toString()));
            QCOMPARE(written.value(path).toDouble() / key.scale, row.*key.value);
        }
    }
    // A second start finds them and changes nothing.
    QSettings again(file, QSettings::IniFormat);
    QCOMPARE(StabilitySettings::load(again).rows(model).size(), rows.size());
}

void TestStabilitySettings::edited_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("taken"); // in the row's terms; NaN: ignored, the built-in value stays
    const double ignored = qQNaN();
    QTest::newRow("slope in percent") << "slope_percent_per_min"
                                      << "1.5" << 0.015;
    QTest::newRow("SD with spaces") << "sd_percent"
                                    << " 0.1 " << 0.001;
    QTest::newRow("zero-gas slope") << "zero_slope_per_min"
                                    << "2" << 2.0;
    QTest::newRow("no dwell") << "dwell_s"
                              << "0" << 0.0;
    QTest::newRow("time-out") << "timeout_s"
                              << "30" << 30.0;
    QTest::newRow("word") << "sd_percent"
                          << "abc" << ignored;
    QTest::newRow("empty") << "dwell_s"
                           << "" << ignored;
    QTest::newRow("decimal comma (a list)") << "slope_percent_per_min"
                                            << "1,5" << ignored;
    QTest::newRow("not a number") << "timeout_s"
                                  << "nan" << ignored;
    QTest::newRow("infinite") << "window_s"
                              << "1e999" << ignored;
    QTest::newRow("negative limit") << "zero_sd"
                                    << "-1" << ignored;
    QTest::newRow("limit of zero") << "slope_percent_per_min"
                                   << "0" << ignored;
    QTest::newRow("window of zero") << "window_s"
                                    << "0" << ignored;
    QTest::newRow("over a day") << "dwell_s"
                                << "90000" << ignored;
}

void TestStabilitySettings::edited()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(double, taken);
    const QString file = m_dir.filePath(QStringLiteral("edited.ini"));
    QFile::remove(file);
    // As a technician writes it by hand, in the last row of the table, whichever that is.
    const StabilityDefaults::Channel row = StabilityDefaults::all().constLast();
    const QString group = StabilitySettings::group(row);
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QStringLiteral("[%1]\n%2=%3\n").arg(group, key, text).toUtf8());
    }
    QSettings settings(file, QSettings::IniFormat);
    const StabilitySettings::Table table = StabilitySettings::load(settings);
    const StabilityDefaults::Channel *loaded = table.find(row.model, row.channel);
    QVERIFY(loaded);
    double StabilityDefaults::Channel::*member = nullptr;
    for (const StabilitySettings::Key &k : StabilitySettings::keys()) {
        if (key == QLatin1String(k.name))
            member = k.value;
    }
    QVERIFY(member);
    QCOMPARE(loaded->*member, qIsNaN(taken) ? row.*member : taken);
    QCOMPARE(table.warnings().size(), qIsNaN(taken) ? 1 : 0);
    // Nothing the technician wrote is overwritten; the other channels keep the built-in values.
    settings.sync();
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray kept = in.readAll();
    QVERIFY2(kept.contains((key + QLatin1Char('=')).toUtf8()), kept.constData());
    // (A list is written back in QSettings' own spelling, "1, 5".)
    if (qIsNaN(taken) && !text.trimmed().isEmpty() && !text.contains(QLatin1Char(',')))
        QVERIFY2(kept.contains(text.trimmed().toUtf8()), kept.constData());
    QCOMPARE(table.rows().size(), StabilityDefaults::all().size());
}

// How far toward stable the dialog's bar shows: the least advanced part.
void TestStabilitySettings::progress_data()
{
    QTest::addColumn<double>("slope");
    QTest::addColumn<double>("sd");
    QTest::addColumn<double>("elapsed");
    QTest::addColumn<double>("expected");
    // Limits: slope 2 per minute, SD 1, dwell 60 s; five samples.
    QTest::newRow("half the dwell") << 0.0 << 0.0 << 30.0 << 0.5;
    QTest::newRow("slope twice its limit") << 4.0 << 0.0 << 60.0 << 0.5;
    QTest::newRow("SD four times its limit") << 0.0 << 4.0 << 60.0 << 0.25;
    QTest::newRow("falling as fast as rising") << -4.0 << 0.0 << 60.0 << 0.5;
    QTest::newRow("all met: stable") << 1.0 << 0.5 << 60.0 << 1.0;
    QTest::newRow("at the limit: not yet stable") << 2.0 << 0.5 << 60.0 << 0.99;
}

void TestStabilitySettings::progress()
{
    QFETCH(double, slope);
    QFETCH(double, sd);
    QFETCH(double, elapsed);
    QFETCH(double, expected);
    Stability::Figures figures;
    figures.count = 5;
    figures.slopePerMinute = slope;
    figures.sd = sd;
    const Stability::Limits limits{2.0, 1.0, 60.0, 60.0};
    QCOMPARE(Stability::progress(figures, limits, elapsed), expected);
}

QTEST_GUILESS_MAIN(TestStabilitySettings)
#include "tst_stabilitysettings.moc"
