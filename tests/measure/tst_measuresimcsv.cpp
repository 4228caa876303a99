// SPDX-License-Identifier: GPL-3.0-or-later
// A recorded session against the virtual unit (extended variant), checked
// with Python's csv module: one row per poll, every column present.
//
// Five minutes at one poll a second are 300 polls. The rows do not depend on
// the time between polls (each completed poll is one row, written when it
// ends), so the polls run back to back: the file is the one a 5-minute
// session gives, in a few seconds of test time.
#include "E2ESupport.h"

#include "AppState.h"
#include "KxComPort.h"
#include "MEROMain.h"
#include "MeasureSession.h"
#include "ScriptedPrompts.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestMeasureSimCsv : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fiveMinuteSessionHasARowPerPoll()
    {
        QTemporaryDir dir;
        e2e::SimUnit sim;
        QVERIFY(sim.Start(dir.path(), 7, {"--config", "1"}));
        qputenv("MERO_COM_DIR", dir.path().toLocal8Bit());
        appState().Reset();
        ScriptedPrompts prompts;
        TMERO_App w;
        TKxComPort* port = w.ComPort;
        port->SetShowErrors(false);
        port->SetBaud(115200);
        port->SetEndOfResponse("#13");
        port->SetPort(7);
        port->SetResponseTime(2000);
        QVERIFY(port->Open());
        appState().ConfigCode = 1;

        const QString path = dir.filePath(QStringLiteral("session.csv"));
        QString error;
        QVERIFY2(w.Measurements->StartRecording(path, &error), qPrintable(error));
        constexpr int kPolls = 300;
        int commands = 0;
        for (int i = 0; i < kPolls; ++i) {
            w.UpdateStatus();
            if (i % 60 == 30) {
                w.QueuedCommandToPort(QStringLiteral("CS 0%1.00").arg(10 + i / 60));
                w.ProcessTasks();
                ++commands;
            }
        }
        w.Measurements->StopRecording();
        QCOMPARE(w.Measurements->Store().Count(), kPolls);
        QVERIFY(prompts.shown().isEmpty());

        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(QStringLiteral(MERO_PYTHON),
                    {QStringLiteral(MERO_CHECK_CSV), path, QString::number(kPolls),
                     QString::number(commands), QStringLiteral("--extended")});
        QVERIFY(check.waitForFinished(60000));
        const QByteArray out = check.readAll();
        qInfo().noquote() << out.trimmed();
        QVERIFY2(check.exitCode() == 0, out.constData());
    }
};

QTEST_MAIN(TestMeasureSimCsv)
#include "tst_measuresimcsv.moc"
