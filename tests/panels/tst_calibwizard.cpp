#include "panels/calibratescaler.h"
#include "panels/calibwizard.h"

#include <QAbstractButton>
#include <QLabel>
#include <QtTest>

// The calibration wizard and its page on their own: what Finish reports and writes, and that the
// wizard never closes itself.
class TestCalibWizard : public QObject
{
    Q_OBJECT
private slots:
    void finish_reportsOnlyValuesTheDeviceCanTake_data();
    void finish_reportsOnlyValuesTheDeviceCanTake();
    void cancelEscapeAndCloseButton_neverCloseTheWizard();
};

void TestCalibWizard::finish_reportsOnlyValuesTheDeviceCanTake_data()
{
    QTest::addColumn<double>("zero");
    QTest::addColumn<double>("span");
    QTest::addColumn<double>("ppm");
    QTest::addColumn<QString>("parameters"); // empty: Finish refused
    QTest::newRow("trailing zeros dropped") << 12.5 << 56.25 << 400.0 << "400,12.5,56.25";
    QTest::newRow("seven digits, no exponent") << 12345.67 << 1000000.0 << 250.0 << "250,12345.67,1000000";
    QTest::newRow("negative zero point") << -0.5 << 10.0 << 0.01 << "0.01,-0.5,10";
    QTest::newRow("beyond the editors' range") << 2e6 << -2e6 << 5.0 << "5,1000000,-1000000";
    QTest::newRow("more decimals than shown") << 1.004 << 2.006 << 3.0 << "3,1,2.01";
    QTest::newRow("no gas") << 1.0 << 2.0 << 0.0 << "";
    QTest::newRow("negative gas") << 1.0 << 2.0 << -5.0 << "";
    QTest::newRow("span equals zero") << 7.5 << 7.5 << 100.0 << "";
    QTest::newRow("equal as shown") << 7.501 << 7.499 << 100.0 << "";
}

void TestCalibWizard::finish_reportsOnlyValuesTheDeviceCanTake()
{
    QFETCH(double, zero);
    QFETCH(double, span);
    QFETCH(double, ppm);
    QFETCH(QString, parameters);

    CalibWizard wizard;
    auto *page = new CalibrateScaler(zero, span, ppm, &wizard);
    wizard.setPage(1, page);
    wizard.show();
    QSignalSpy done(&wizard, &CalibWizard::almostDone);
    auto *message = page->findChild<QLabel *>(QStringLiteral("label_message"));
    QVERIFY(message);

    wizard.button(QWizard::FinishButton)->click();
    QVERIFY(wizard.isVisible());
    if (parameters.isEmpty()) {
        QVERIFY(done.isEmpty());
        QVERIFY(!message->text().isEmpty());
        wizard.setField(QStringLiteral("PPM"), 1.0); // any change takes the refusal back
        QVERIFY(message->text().isEmpty());
        return;
    }
    QCOMPARE(done.size(), 1);
    QCOMPARE(done.first().first().toInt(), int(QDialog::Accepted));
    QCOMPARE(page->parametersText(), parameters);
    QVERIFY(message->text().isEmpty());
}

void TestCalibWizard::cancelEscapeAndCloseButton_neverCloseTheWizard()
{
    CalibWizard wizard;
    wizard.setPage(1, new CalibrateScaler(1, 2, 3, &wizard));
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    QSignalSpy done(&wizard, &CalibWizard::almostDone);

    QTest::ignoreMessage(QtDebugMsg, "CalibWizard::closeEvent");
    QVERIFY(!wizard.close());
    QVERIFY(done.isEmpty());
    wizard.button(QWizard::CancelButton)->click();
    QTest::keyClick(&wizard, Qt::Key_Escape);
    QCOMPARE(done.size(), 2);
    QCOMPARE(done.at(0).first().toInt(), int(QDialog::Rejected));
    QCOMPARE(done.at(1).first().toInt(), int(QDialog::Rejected));
    QVERIFY(wizard.isVisible());
}

QTEST_MAIN(TestCalibWizard)
#include "tst_calibwizard.moc"
