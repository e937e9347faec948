#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

// The tool's side of the line, kept deliberately plain: no termios set-up of its own, so echo or
// CR translation left on by the simulator would show up in what comes back.
class PlainPort
{
public:
    explicit PlainPort(const QString &path)
    {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~PlainPort()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    void write(const QByteArray &bytes)
    {
        QCOMPARE(::write(m_fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    QByteArray readLines(int lines, int timeoutMs = 2000)
    {
        QElapsedTimer timer;
        timer.start();
        while (m_received.count('\n') < lines && timer.elapsed() < timeoutMs) {
            QTest::qWait(2);
            drain();
        }
        QTest::qWait(30); // anything beyond the expected lines would be a fault too
        drain();
        return m_received;
    }

private:
    void drain()
    {
        char buffer[512];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0)
            m_received.append(buffer, int(n));
    }
    int m_fd = -1;
    QByteArray m_received;
};
