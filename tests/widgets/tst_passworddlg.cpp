#include "widgets/passworddlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TstPasswordDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void check_typedText_emitsOneSignalAndCloses_data();
    void check_typedText_emitsOneSignalAndCloses();
    void cancel_emitsNothing_closes();
    void passwordField_longInput_keepsFourteen();
    void okReceiverDeletesDialog_noCrash();

private:
    QLineEdit *field() const { return m_dlg->findChild<QLineEdit *>("lineEdit_password"); }
    QPushButton *button(const char *name) const { return m_dlg->findChild<QPushButton *>(name); }

    PasswordDlg *m_dlg = nullptr;
};

void TstPasswordDlg::init()
{
    m_dlg = new PasswordDlg;
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg));
}

void TstPasswordDlg::cleanup()
{
    delete m_dlg;
}

void TstPasswordDlg::check_typedText_emitsOneSignalAndCloses_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("ok button, right") << "quirbentol57" << false << true;
    QTest::newRow("enter, right") << "quirbentol57" << true << true;
    QTest::newRow("enter, other case") << "QUIRBENTOL57" << true << false;
    QTest::newRow("ok button, leading space") << " quirbentol57" << false << false;
    QTest::newRow("ok button, trailing space") << "quirbentol57 " << false << false;
    QTest::newRow("enter, empty") << "" << true << false;
}

void TstPasswordDlg::check_typedText_emitsOneSignalAndCloses()
{
    QFETCH(QString, typed);
    QFETCH(bool, byEnter);
    QFETCH(bool, accepted);
    QSignalSpy okSpy(m_dlg, &PasswordDlg::ok);
    QSignalSpy failSpy(m_dlg, &PasswordDlg::fail);
    QTest::keyClicks(field(), typed);
    if (byEnter)
        QTest::keyClick(field(), Qt::Key_Return);
    else
        QTest::mouseClick(button("pushButton_ok"), Qt::LeftButton);
    QCOMPARE(okSpy.count(), accepted ? 1 : 0);
    QCOMPARE(failSpy.count(), accepted ? 0 : 1);
    QVERIFY(!m_dlg->isVisible());
}

void TstPasswordDlg::cancel_emitsNothing_closes()
{
    QSignalSpy okSpy(m_dlg, &PasswordDlg::ok);
    QSignalSpy failSpy(m_dlg, &PasswordDlg::fail);
    QTest::keyClicks(field(), "quirbentol57");
    QTest::mouseClick(button("pushButton_cancel"), Qt::LeftButton);
    QCOMPARE(okSpy.count() + failSpy.count(), 0);
    QVERIFY(!m_dlg->isVisible());
}

void TstPasswordDlg::passwordField_longInput_keepsFourteen()
{
    QTest::keyClicks(field(), "abcdefghijklmnopqrst");
    QCOMPARE(field()->text(), QString("abcdefghijklmn"));
    QCOMPARE(field()->echoMode(), QLineEdit::Password);
}

void TstPasswordDlg::okReceiverDeletesDialog_noCrash()
{
    QPointer<PasswordDlg> dlg(m_dlg);
    connect(m_dlg, &PasswordDlg::ok, this, [this] {
        delete m_dlg;
        m_dlg = nullptr;
    });
    QTest::keyClicks(field(), "quirbentol57");
    button("pushButton_ok")->click();
    QVERIFY(!dlg);
}

QTEST_MAIN(TstPasswordDlg)
#include "tst_passworddlg.moc"
