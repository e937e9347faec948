#pragma once

// Helpers shared by the main-window tests: a minimal panel and access to the log window.

#include "calib/abstractcalibrator.h"
#include "app/mainwindow.h"
#include "widgets/messageboxes.h"
#include "calib/paneldispatch.h"
#include "app/pollinterval.h"
#include "widgets/logmessagehandler.h"
#include "widgets/logwindow.h"

#include <QLineEdit>
#include <QTextEdit>
#include <QWidget>
#include <QtTest>

// Records what the main window hands it, so tests can check the channel without a real model panel.
class TestPanel : public QWidget, public AbstractCalibrator
{
public:
    TestPanel(const QString &versionText, int version, const QString &serial, QWidget *parent)
        : QWidget(parent), versionText(versionText), version(version), serial(serial),
          mainWindow(qobject_cast<MainWindow *>(parent))
    {
        ++s_alive;
    }
    ~TestPanel() override { --s_alive; }

    void setInputsEnabled(bool enabled) override { inputsEnabled.append(enabled); }
    bool writePollCommand(const QByteArray &bytes) override
    {
        polls.append(bytes);
        return mainWindow->writeData(bytes);
    }
    void parsingLine(QString line) override
    {
        lines.append(line);
        if (onLine)
            onLine(this, line);
    }

    QString versionText;
    int version;
    QString serial;
    MainWindow *mainWindow;
    QStringList lines;
    QList<QByteArray> polls;
    QList<bool> inputsEnabled;
    std::function<void(TestPanel *, const QString &)> onLine;

    static inline int s_alive = 0;
};

inline PanelFactory testPanelFactory()
{
    return [](const QString &text, int version, const QString &serial, QWidget *parent) -> QWidget * {
        return new TestPanel(text, version, serial, parent);
    };
}

// Shows the log window and opens its gate, so the test can read what the tool logs from then on.
inline void unlockLog()
{
    QVERIFY(g_logWindow);
    g_logWindow->show();
    auto *edit = g_logWindow->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    QVERIFY(edit);
    edit->setText(QStringLiteral("quirbentol57"));
    g_logWindow->checkPassword();
    QVERIFY(g_logWindow->isUnlocked());
}

inline QString logText()
{
    if (!g_logWindow)
        return QString();
    auto *view = g_logWindow->findChild<QTextEdit *>(QStringLiteral("textEdit"));
    return view ? view->toPlainText() : QString();
}
