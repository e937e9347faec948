#include "device/conversation.h"
#include "device/devicesession.h"
#include "device/linechannel.h"
#include "responderport.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QtTest>

// What a reply said when it finished; the conversation deletes the reply itself afterwards.
struct Outcome
{
    bool finished = false;
    DeviceReply::Error error = DeviceReply::NoError;
    QString value;
};

// The conversation and the session against the simulator's responder in this process: no window,
// no pseudo-terminal.
class TestConversation : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void reply_data();
    void reply();
    void queue_nextCommandOnlyAfterThePreviousReply();
    void timeout_runsOnlyWhileTheRequestWaitsOnTheDevice();
    void timeout_requestWithoutItsOwn_waitsTheConversationDefault_data();
    void timeout_requestWithoutItsOwn_waitsTheConversationDefault();
    void gap_holdsTheWriteBack();
    void lateReply_droppedInsteadOfFailingTheNextRequest();
    void liveLine_whileARequestWaits_isLiveNotAReply();
    void handlerRunsEventLoop_nextRequestStillAnswered();
    void close_endsEveryPendingRequest_writeToClosedPortFails();
    void session_identify_data();
    void session_identify();
    void session_unsupportedVersion_notSupported();

private:
    // Sends and keeps the outcome at the returned index of m_outcomes.
    int send(const QByteArray &command, int timeoutMs = 1000, const QStringList &others = {});
    int track(DeviceReply *reply);
    bool waitFinished(int index, int ms = 2000);

    QList<Outcome> m_outcomes;

    ResponderPort *m_port = nullptr;
    LineChannel *m_channel = nullptr;
    Conversation *m_conversation = nullptr;
};

void TestConversation::init()
{
    m_outcomes.clear();
    m_port = new ResponderPort(tqsim::Model::Tq24);
    m_channel = new LineChannel;
    m_channel->setDevice(m_port);
    m_conversation = new Conversation(m_channel);
}

void TestConversation::cleanup()
{
    delete m_conversation;
    delete m_channel;
    delete m_port;
}

int TestConversation::send(const QByteArray &command, int timeoutMs, const QStringList &others)
{
    DeviceRequest request;
    request.command = command;
    request.timeoutMs = timeoutMs;
    request.otherReplies = others;
    return track(m_conversation->send(request));
}

int TestConversation::track(DeviceReply *reply)
{
    const int index = m_outcomes.size();
    m_outcomes.append(Outcome());
    connect(reply, &DeviceReply::finished, this, [this, index, reply] {
        m_outcomes[index] = {true, reply->error(), reply->value()};
    });
    return index;
}

bool TestConversation::waitFinished(int index, int ms)
{
    return QTest::qWaitFor([&] { return m_outcomes.at(index).finished; }, ms);
}

void TestConversation::reply_data()
{
    QTest::addColumn<QByteArray>("answer"); // what the device sends back, several lines allowed
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << QByteArray("ATCOFF1 2.50") << int(DeviceReply::NoError) << "2.50";
    QTest::newRow("echoed command") << QByteArray("ATCOFF1ATCOFF1 2.50") << int(DeviceReply::NoError)
                                    << "2.50";
    QTest::newRow("noise first") << QByteArray("#noise 12\r\nATCOFF1 -1.00") << int(DeviceReply::NoError)
                                 << "-1.00";
    QTest::newRow("other command's reply") << QByteArray("ATCMODE 1") << int(DeviceReply::Rejected) << "";
    QTest::newRow("bare ERROR") << QByteArray("ERROR") << int(DeviceReply::NoAnswer) << "";
    QTest::newRow("silent") << QByteArray() << int(DeviceReply::NoAnswer) << "";
}

void TestConversation::reply()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, error);
    QFETCH(QString, value);
    m_port->override = [answer](const QByteArray &) { return answer; };
    const int reply = send("ATCOFF1", 150, {QStringLiteral("ATCMODE"), QStringLiteral("ATCOFF")});
    QVERIFY(waitFinished(reply));
    QCOMPARE(int(m_outcomes[reply].error), error);
    QCOMPARE(m_outcomes[reply].value, value);
    QCOMPARE(m_port->received, QList<QByteArray>{"ATCOFF1"});
}

void TestConversation::queue_nextCommandOnlyAfterThePreviousReply()
{
    m_port->delayMs = 20;
    QStringList answeredBefore; // per command, how many replies the device had sent before it
    int answered = 0;
    m_port->override = [&](const QByteArray &command) {
        answeredBefore.append(QString::number(answered));
        QTimer::singleShot(m_port->delayMs - 1, [&] { ++answered; });
        return command + " 1";
    };
    for (const char *word : {"ATCOFF1", "ATCOFF2", "ATCMODE"})
        send(word);
    QCOMPARE(m_port->received.size(), 1);
    QCOMPARE(m_conversation->queuedCount(), 2);
    QVERIFY(waitFinished(2));
    QCOMPARE(m_port->received, QList<QByteArray>({"ATCOFF1", "ATCOFF2", "ATCMODE"}));
    QCOMPARE(answeredBefore, QStringList({"0", "1", "2"}));
    QVERIFY(m_conversation->isIdle());
}

void TestConversation::timeout_runsOnlyWhileTheRequestWaitsOnTheDevice()
{
    // Each reply takes 150 ms of a 200 ms time-out: the second waits 150 ms in the queue first.
    m_port->delayMs = 150;
    send("ATCOFF1", 200);
    const int second = send("ATCOFF2", 200);
    QVERIFY(waitFinished(second));
    QCOMPARE(int(m_outcomes[second].error), int(DeviceReply::NoError));
}

void TestConversation::timeout_requestWithoutItsOwn_waitsTheConversationDefault_data()
{
    QTest::addColumn<int>("requestMs"); // 0: none of its own
    QTest::addColumn<int>("defaultMs");
    QTest::addColumn<int>("error");
    // The device answers after 250 ms.
    QTest::newRow("default too short") << 0 << 100 << int(DeviceReply::NoAnswer);
    QTest::newRow("default long enough") << 0 << 1000 << int(DeviceReply::NoError);
    QTest::newRow("own time-out over a short default") << 1000 << 100 << int(DeviceReply::NoError);
    QTest::newRow("own time-out too short") << 100 << 1000 << int(DeviceReply::NoAnswer);
}

void TestConversation::timeout_requestWithoutItsOwn_waitsTheConversationDefault()
{
    QFETCH(int, requestMs);
    QFETCH(int, defaultMs);
    QFETCH(int, error);
    m_port->delayMs = 250;
    m_conversation->setDefaultTimeoutMs(defaultMs);
    const int reply = send("ATCOFF1", requestMs);
    QVERIFY(waitFinished(reply));
    QCOMPARE(int(m_outcomes[reply].error), error);
}

void TestConversation::gap_holdsTheWriteBack()
{
    DeviceRequest request = DeviceRequest::query(QStringLiteral("ATCMODE"));
    request.gapMs = 120;
    QElapsedTimer sent;
    sent.start();
    m_port->clock.restart();
    const int reply = track(m_conversation->send(request));
    QCOMPARE(m_conversation->state(), Conversation::State::Gap);
    QVERIFY(waitFinished(reply));
    QVERIFY2(m_port->receivedMs.value(0) >= 110, qPrintable(QString::number(m_port->receivedMs.value(0))));
    QCOMPARE(m_outcomes[reply].value, m_port->responder.setting(QStringLiteral("ATCMODE")).toString());
}

void TestConversation::lateReply_droppedInsteadOfFailingTheNextRequest()
{
    m_port->delayMs = 250;
    QSignalSpy classified(m_conversation, &Conversation::lineClassified);
    const int first = send("ATCOFF1", 100, {QStringLiteral("ATCOFF")});
    QVERIFY(waitFinished(first));
    QCOMPARE(int(m_outcomes[first].error), int(DeviceReply::NoAnswer));
    m_port->delayMs = 300; // ATCOFF1's late reply comes while ATCOFF2 waits
    const int second = send("ATCOFF2", 1000, {QStringLiteral("ATCOFF")});
    QVERIFY(waitFinished(second));
    QCOMPARE(int(m_outcomes[second].error), int(DeviceReply::NoError));
    QCOMPARE(classified.first().at(0).toString(), QStringLiteral("ATCOFF10.00"));
    QCOMPARE(classified.first().at(1).value<Conversation::LineKind>(), Conversation::LineKind::Late);
}

void TestConversation::liveLine_whileARequestWaits_isLiveNotAReply()
{
    m_conversation->setLiveWord(QStringLiteral("ATCH"));
    QSignalSpy live(m_conversation, &Conversation::liveLine);
    m_port->delayMs = 50;
    const int reply = send("ATCMODE", 1000, {QStringLiteral("ATCOFF")});
    m_port->send("ATCH 1,2,3\r\nATCHATCH 4,5\r\n");
    QVERIFY(waitFinished(reply));
    QCOMPARE(int(m_outcomes[reply].error), int(DeviceReply::NoError));
    QCOMPARE(live.size(), 2);
}

void TestConversation::handlerRunsEventLoop_nextRequestStillAnswered()
{
    // A box opened from a reply: the next request goes out, is read and answered meanwhile.
    int second = -1;
    DeviceReply *first = m_conversation->send(DeviceRequest::query(QStringLiteral("ATCMODE")));
    connect(first, &DeviceReply::finished, this, [&] {
        DeviceRequest next = DeviceRequest::query(QStringLiteral("ATCOFF1"));
        next.timeoutMs = 100;
        second = track(m_conversation->send(next));
        QEventLoop box;
        QTimer::singleShot(500, &box, &QEventLoop::quit);
        box.exec();
        QVERIFY(m_outcomes[second].finished); // while the box was still open
    });
    QTRY_VERIFY(second >= 0 && m_outcomes[second].finished);
    QCOMPARE(int(m_outcomes[second].error), int(DeviceReply::NoError));
}

void TestConversation::close_endsEveryPendingRequest_writeToClosedPortFails()
{
    m_port->override = [](const QByteArray &) { return QByteArray(); };
    const int waiting = send("ATCOFF1");
    const int queued = send("ATCOFF2");
    m_conversation->close();
    QVERIFY(m_conversation->isIdle());
    QVERIFY(waitFinished(queued));
    QCOMPARE(int(m_outcomes[waiting].error), int(DeviceReply::Closed));
    QCOMPARE(int(m_outcomes[queued].error), int(DeviceReply::Closed));
    m_port->close();
    DeviceReply *unwritten = m_conversation->send(DeviceRequest::query(QStringLiteral("ATCOFF1")));
    QVERIFY(unwritten->isFinished());
    QCOMPARE(int(unwritten->error()), int(DeviceReply::WriteFailed));
    const int told = track(unwritten); // told from the event loop, after the caller connected
    QVERIFY(waitFinished(told));
}

void TestConversation::session_identify_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QByteArray>("poll");
    QTest::newRow("pm") << int(tqsim::Model::Pm) << 404 << 21 << QByteArray("ATCH\r\n");
    QTest::newRow("tq20") << int(tqsim::Model::Tq20) << 20 << 32 << QByteArray("ATCD\r\n");
    QTest::newRow("tq21") << int(tqsim::Model::Tq21) << 21 << 15 << QByteArray("ATCD\r\n");
    QTest::newRow("tq22") << int(tqsim::Model::Tq22) << 22 << 10 << QByteArray("ATCD\r\n");
    QTest::newRow("tq24") << int(tqsim::Model::Tq24) << 24 << 15 << QByteArray("ATCH\r\n");
}

void TestConversation::session_identify()
{
    QFETCH(int, model);
    QFETCH(int, number);
    QFETCH(int, firmware);
    QFETCH(QByteArray, poll);
    ResponderPort port{tqsim::Model(model)};
    DeviceSession session;
    session.attach(&port, QStringLiteral("mem0"), QStringLiteral("SIM-1"));
    QSignalSpy identified(&session, &DeviceSession::identified);
    session.identify();
    QVERIFY(identified.wait(1000));
    const DeviceIdentity identity = session.identity();
    QCOMPARE(identity.model, number);
    QCOMPARE(identity.firmware, firmware);
    QCOMPARE(identity.serial, QStringLiteral("SIM-1"));
    QCOMPARE(session.pollCommand(), poll);

    QSignalSpy samples(&session, &DeviceSession::liveSample);
    const QDateTime before = QDateTime::currentDateTimeUtc();
    QVERIFY(session.writePoll());
    QVERIFY(samples.wait(1000));
    const LiveSample sample = samples.first().first().value<LiveSample>();
    QVERIFY(sample.fields.size() >= 2);
    QVERIFY(sample.pollTime >= before && sample.pollTime <= QDateTime::currentDateTimeUtc());
}

void TestConversation::session_unsupportedVersion_notSupported()
{
    ResponderPort port{tqsim::Model::Tq24};
    port.responder.setVersionReply("ATCVER TQ23-1v0");
    DeviceSession session;
    session.attach(&port, QStringLiteral("mem0"), QStringLiteral("SIM-1"));
    QSignalSpy refused(&session, &DeviceSession::notSupported);
    session.identify();
    QVERIFY(refused.wait(1000));
    QVERIFY(!session.identity().isIdentified());
    QVERIFY(session.pollCommand().isEmpty());
}

QTEST_GUILESS_MAIN(TestConversation)
#include "tst_conversation.moc"
