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
    void finish_typedText_emitsOutcomeAndCloses_data();
    void finish_typedText_emitsOutcomeAndCloses();
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

void TstPasswordDlg::finish_typedText_emitsOutcomeAndCloses_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("finish");
    QTest::addColumn<int>("oks");
    QTest::addColumn<int>("fails");
    QTest::newRow("ok button, right") << "quirbentol57"
                                      << "pushButton_ok" << 1 << 0;
    QTest::newRow("enter, right") << "quirbentol57"
                                  << "enter" << 1 << 0;
    QTest::newRow("enter, other case") << "QUIRBENTOL57"
                                       << "enter" << 0 << 1;
    QTest::newRow("ok button, leading space") << " quirbentol57"
                                              << "pushButton_ok" << 0 << 1;
    QTest::newRow("ok button, trailing space") << "quirbentol57 "
                                               << "pushButton_ok" << 0 << 1;
    QTest::newRow("enter, empty") << ""
                                  << "enter" << 0 << 1;
    QTest::newRow("cancel, right") << "quirbentol57"
                                   << "pushButton_cancel" << 0 << 0;
}

void TstPasswordDlg::finish_typedText_emitsOutcomeAndCloses()
{
    QFETCH(QString, typed);
    QFETCH(QString, finish);
    QFETCH(int, oks);
    QFETCH(int, fails);
    QSignalSpy okSpy(m_dlg, &PasswordDlg::ok);
    QSignalSpy failSpy(m_dlg, &PasswordDlg::fail);
    QTest::keyClicks(field(), typed);
    if (finish == "enter")
        QTest::keyClick(field(), Qt::Key_Return);
    else
        QTest::mouseClick(button(qPrintable(finish)), Qt::LeftButton);
    QCOMPARE(okSpy.count(), oks);
    QCOMPARE(failSpy.count(), fails);
    QVERIFY(!m_dlg->isVisible());
}

void TstPasswordDlg::passwordField_longInput_keepsFourteen()
{
    QTest::keyClicks(field(), "abcdefghijklmnopqrst");
    QCOMPARE(field()->text(), QString("abcdefghijklmn"));
}

void TstPasswordDlg::okReceiverDeletesDialog_noCrash()
{
    connect(m_dlg, &PasswordDlg::ok, this, [this] {
        delete m_dlg;
        m_dlg = nullptr;
    });
    QTest::keyClicks(field(), "quirbentol57");
    button("pushButton_ok")->click();
    QVERIFY(!m_dlg);
}

QTEST_MAIN(TstPasswordDlg)
#include "tst_passworddlg.moc"
