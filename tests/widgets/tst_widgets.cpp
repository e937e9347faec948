#include "widgets/callpacer.h"
#include "widgets/logmessagehandler.h"
#include "widgets/logwindow.h"
#include "widgets/opaquefill.h"
#include "widgets/passworddlg.h"
#include "widgets/ptermview.h"
#include "widgets/qledindicator.h"
#include "widgets/repaintpacer.h"
#include "widgets/resizelabel.h"

#include <QtTest>
#include <QtWidgets>

namespace {
// A locked log window that gets the program's messages while the fixture lives.
struct LogFixture
{
    QPointer<LogWindow> window = new LogWindow;
    QtMessageHandler previous = qInstallMessageHandler(logMessageHandler);
    LogFixture() { g_logWindow = window; }
    ~LogFixture()
    {
        qInstallMessageHandler(previous);
        delete window;
    }
    PTermView *view() const { return window->findChild<PTermView *>("textEdit"); }
    QLineEdit *field() const { return window->findChild<QLineEdit *>("lineEdit"); }
    void unlock()
    {
        window->show();
        field()->setText("quirbentol57");
        window->checkPassword();
    }
};

// Counts the paint events a widget gets.
struct PaintCount : QObject
{
    int count = 0;
    explicit PaintCount(QWidget *widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

template <class W> W *shown(W *widget)
{
    widget->show();
    return QTest::qWaitForWindowExposed(widget) ? widget : nullptr;
}

} // namespace

class TstWidgets : public QObject
{
    Q_OBJECT

private slots:
    // The debug and warning tags are checked where such messages reach the log below.
    void formatLogLine_type_taggedLine()
    {
        const QDateTime time(QDate(2026, 3, 5), QTime(14, 7, 2, 45));
        for (const auto &[type, tag] :
             {std::pair{QtCriticalMsg, "[CRITC]"}, {QtInfoMsg, "[SYSTM]"}, {QtFatalMsg, "[FATAL]"}})
            QCOMPARE(formatLogLine(type, time, "Timer Stop."),
                     "2026-03-05 14:07:02:045 " + QString(tag) + " : Timer Stop.\r\n");
    }

    // The log window and the password dialog check the same password the same way.
    void passwordGates_typedText_acceptOnlyExactPassword_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enter"); // else Space on the log's "show" button, a click on OK
        QTest::addColumn<bool>("accepted");
        QTest::newRow("button, right") << "quirbentol57" << false << true;
        QTest::newRow("enter, right") << "quirbentol57" << true << true;
        QTest::newRow("enter, trailing space") << "quirbentol57 " << true << false;
        QTest::newRow("button, other case") << "Quirbentol57" << false << false;
        QTest::newRow("enter, long") << "abcdefghijklmnopqrst" << true << false;
    }
    void passwordGates_typedText_acceptOnlyExactPassword()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enter);
        QFETCH(bool, accepted);
        LogFixture log;
        log.window->show();
        qDebug("before");
        QTest::keyClicks(log.field(), typed);
        if (enter)
            QTest::keyClick(log.field(), Qt::Key_Return);
        else
            QTest::keyClick(log.window->findChild<QWidget *>("pushButton"), Qt::Key_Space);
        qDebug("after");
        QCOMPARE(log.window->isUnlocked(), accepted);
        QCOMPARE(log.view()->isHidden(), !accepted);
        // Nothing from before the unlock, nothing while locked.
        QCOMPARE(log.view()->toPlainText().section("] : ", 1), QString(accepted ? "after\n" : ""));

        QScopedPointer<PasswordDlg> dlg(shown(new PasswordDlg));
        QSignalSpy okSpy(dlg.data(), &PasswordDlg::ok);
        QSignalSpy failSpy(dlg.data(), &PasswordDlg::fail);
        auto *field = dlg->findChild<QLineEdit *>("lineEdit_password");
        QTest::keyClicks(field, typed);
        if (enter)
            QTest::keyClick(field, Qt::Key_Return);
        else
            QTest::mouseClick(dlg->findChild<QPushButton *>("pushButton_ok"), Qt::LeftButton);
        QCOMPARE(okSpy.count(), int(accepted));
        QCOMPARE(failSpy.count(), int(!accepted));
        QVERIFY(!dlg->isVisible());
    }

    void password_cancelSilent_okReceiverMayDeleteDialog()
    {
        QPointer<PasswordDlg> dlg = shown(new PasswordDlg);
        QSignalSpy failSpy(dlg.data(), &PasswordDlg::fail);
        connect(dlg, &PasswordDlg::ok, this, [&dlg] { delete dlg; });
        QTest::keyClicks(dlg->findChild<QLineEdit *>("lineEdit_password"), "quirbentol57");
        QTest::mouseClick(dlg->findChild<QPushButton *>("pushButton_cancel"), Qt::LeftButton);
        QVERIFY(dlg && !dlg->isVisible()); // closed without ok()
        QCOMPARE(failSpy.count(), 0);
        dlg->findChild<QPushButton *>("pushButton_ok")->click();
        QVERIFY(!dlg);
    }

    // While the unlocked window is hidden, messages wait raw, as many as the view holds, and show once
    // it is shown again. A message from another thread reaches the view through the GUI thread.
    void log_hiddenWindowOrOtherThread_messagesWaitThenShownInOrder()
    {
        const auto logFromWorker = [](const char *text) {
            QScopedPointer<QThread> worker(QThread::create([text] { qWarning("%s", text); }));
            worker->start();
            return worker->wait(5000);
        };
        LogFixture log;
        log.unlock();
        log.window->hide();
        for (int i = 0; i < 450; ++i)
            qDebug("hidden %d", i);
        QCOMPARE(log.window->waitingMessageCount(), 400);
        QVERIFY(log.view()->toPlainText().isEmpty());
        log.window->show();
        QCOMPARE(log.window->waitingMessageCount(), 0);
        // The view keeps its last 400 lines, the empty one after the last line end among them.
        const QString text = log.view()->toPlainText();
        QVERIFY(text.section('\n', 0, 0).endsWith(" [DEBUG] : hidden 51"));
        QVERIFY(text.endsWith(" [DEBUG] : hidden 449\n"));
        QCOMPARE(text.count('\n'), 399);

        QVERIFY(logFromWorker("unit \xc2\xb5V"));
        QCOMPARE(log.view()->toPlainText(), text); // not touched from the worker
        // Non-ASCII text arrives intact; the CR of the line end is dropped.
        QTRY_VERIFY(log.view()->toPlainText().endsWith(QString::fromUtf8("[WARNG] : unit \xc2\xb5V\n")));
        QVERIFY(logFromWorker("late"));
        delete log.window;
        QVERIFY(!g_logWindow);
        QCoreApplication::processEvents(); // the queued line finds no window
    }

    void term_putData_showsTerminalText_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("backspace over pending only") << QByteArray("x") << QByteArray("AB\bC") << "xAC";
        QTest::newRow("lone backspace joins lines") << QByteArray("one\n") << QByteArray("\btwo") << "onetwo";
        QTest::newRow("cr and nul dropped") << QByteArray() << QByteArray("a\r\n\0b", 5) << "a\nb";
        QTest::newRow("lone cr dropped") << QByteArray("x\r") << QByteArray("\ry") << "xy";
        QTest::newRow("markup as plain text")
            << QByteArray("<i>") << QByteArray("<b>x</b>&amp;") << "<i><b>x</b>&amp;";
    }
    void term_putData_showsTerminalText()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, bytes);
        PTermView view;
        view.putData(before);
        view.moveCursor(QTextCursor::Start); // received text still goes to the end
        view.putData(bytes);
        QTEST(view.toPlainText(), "shown");
    }

    void term_userInput_emitsKeyInput_insertsNothing()
    {
        PTermView view;
        view.putData("log\n");
        QSignalSpy spy(&view, &PTermView::keyInput);
        QTest::keyClicks(&view, "a");
        QTest::keyClick(&view, Qt::Key_Backspace);
        QApplication::clipboard()->setText("ATCVER");
        view.paste();
        QCOMPARE(view.toPlainText(), QString("log\n"));
        const QList<QList<QVariant>> expected{
            {int(Qt::Key_A), "a"}, {int(Qt::Key_Backspace), "\b"}, {int(Qt::Key_F35), "ATCVER"}};
        QCOMPARE(QList<QList<QVariant>>(spy), expected);
    }

    // Lit green when transmitting, red when receiving, grey when idle; any other state looks unset.
    // Outside its circle the parent shows, also when the parent is drawn with the lamp.
    void led_state_colouredCircleOverParent()
    {
        QPixmap halves(100, 40);
        halves.fill(Qt::blue);
        QPainter(&halves).fillRect(0, 0, 50, 40, Qt::red);
        QLabel parent;
        parent.setPixmap(halves);
        auto *led = new QLedIndicator(&parent);
        led->setGeometry(30, 10, 40, 20); // a circle of diameter 20 around (20, 10)
        QVERIFY(shown(&parent));
        const auto centre = [led](int state) {
            led->setState(state);
            return led->grab().toImage().pixelColor(20, 10);
        };
        const QColor unset = centre(0), grey = centre(1), red = centre(3), green = centre(2);
        QVERIFY2(green.green() > 150 && green.red() < 50, qPrintable(green.name()));
        QVERIFY2(red.red() > 150 && red.green() < 50, qPrintable(red.name()));
        QVERIFY2(grey.red() == grey.green() && grey.green() == grey.blue(), qPrintable(grey.name()));
        QVERIFY(unset != grey);
        QCOMPARE(centre(7), unset);
        for (const QImage &image : {led->grab().toImage(), parent.grab().toImage().copy(led->geometry())}) {
            QCOMPARE(image.pixelColor(7, 10), QColor(Qt::red));
            QCOMPARE(image.pixelColor(11, 1), QColor(Qt::red));
            QCOMPARE(image.pixelColor(32, 10), QColor(Qt::blue));
            QVERIFY(image.pixelColor(12, 10) != QColor(Qt::red));
            QCOMPARE(image.pixelColor(20, 10), unset);
        }
    }

    // A stream of pulses keeps a lamp lit past the end of its first pulse; a second lamp lit a few
    // milliseconds later goes dark with the first.
    void led_pulses_litUntilTheLastEnds_lampsGoDarkTogether()
    {
        QLedIndicator tx, rx;
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(tx.state(), i ? 2 : 0);
            tx.pulse(2, 300);
            QTest::qWait(20);
        }
        rx.pulse(3, 300);
        QTRY_COMPARE(tx.state(), 1);
        QCOMPARE(rx.state(), 1);
    }

    // Beyond a burst, updates are painted together once per frame.
    void pacer_streamOfUpdates_burstThenOneRepaintPerFrame()
    {
        QWidget window;
        new RepaintPacer(&window, 200, 3);
        auto *child = new QWidget(&window);
        QVERIFY(shown(&window));
        QTest::qWait(200);
        PaintCount paints(child);
        for (int i = 0; i < 10; ++i) {
            child->update();
            QCoreApplication::processEvents();
        }
        QCOMPARE(paints.count, 3);
        QTRY_COMPARE(paints.count, 4);
        QTest::qWait(30);
        QCOMPARE(paints.count, 4);
    }

    // A few calls run at once; in a stream only the latest of a frame runs, and the last is never lost.
    void callPacer_stream_burstThenLatestPerFrame()
    {
        CallPacer pacer(nullptr, 500, 3);
        QList<int> ran;
        for (int i = 1; i <= 10; ++i)
            pacer.run([&ran, i] { ran << i; });
        QCOMPARE(ran, QList<int>({1, 2, 3}));
        QTRY_COMPARE(ran, QList<int>({1, 2, 3, 10}));
        pacer.run([&ran] { ran << 11; });
        pacer.cancel();
        QTest::qWait(700);
        QCOMPARE(ran, QList<int>({1, 2, 3, 10}));
    }

    // A number its style sheet fills repaints alone, also after its style sheet was set again; one
    // the parent shows through still repaints the parent.
    void opaqueFill_update_parentRepaintsOnlyWhenSeenThrough()
    {
        QWidget parent;
        parent.resize(200, 100);
        auto *filled = new QLCDNumber(&parent);
        auto *seeThrough = new QLCDNumber(&parent);
        filled->setGeometry(10, 10, 80, 40);
        seeThrough->setGeometry(110, 10, 80, 40);
        filled->setStyleSheet("color: rgb(0, 0, 0);background-color: rgb(240, 240, 240);");
        seeThrough->setStyleSheet("color: rgb(0, 0, 0);");
        OpaqueFill::keep(filled);
        OpaqueFill::keep(seeThrough);
        QVERIFY(shown(&parent));
        for (QLCDNumber *lcd : {filled, filled, seeThrough}) {
            lcd->setStyleSheet(lcd->styleSheet() + " ");
            QTest::qWait(50);
            PaintCount paints(&parent);
            lcd->display(lcd->intValue() + 1);
            QTest::qWait(50);
            QCOMPARE(paints.count > 0, lcd == seeThrough);
        }
    }

    // The text fills the label as far as the tighter direction allows; however small the label, the
    // font stays valid without a warning and grows back.
    void label_resized_scalesByTighterDirection()
    {
        static QStringList messages;
        QScopedPointer<ResizeLabel> label(shown(new ResizeLabel));
        label->setText("ppm");
        const auto fit = [&label](int width, int height) {
            messages.clear();
            const QtMessageHandler previous = qInstallMessageHandler(
                [](QtMsgType, const QMessageLogContext &, const QString &message) { messages << message; });
            label->resize(width, height);
            qInstallMessageHandler(previous);
            return label->font().pointSizeF();
        };
        const qreal fitted = fit(200, 80);
        QVERIFY(fit(400, 160) > 1.7 * fitted && label->font().pointSizeF() < 2.3 * fitted);
        QVERIFY2(qAbs(fit(1600, 160) - 2 * fitted) < 0.5 * fitted, "height is the tighter limit");
        for (const QSize &tiny : {QSize(10, 8), QSize(0, 0), QSize(300, 9)}) {
            QVERIFY(fit(tiny.width(), tiny.height()) > 0);
            QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
            QVERIFY(fit(200, 80) > 0.8 * fitted);
        }
    }
};

QTEST_MAIN(TstWidgets)

#include "tst_widgets.moc"
