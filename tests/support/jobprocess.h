#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// meterjob run to its end in `dir`; METERJOB_BIN is defined by each test that runs it.
struct Job
{
    int status = -1; // -1: crashed or did not end in time
    QByteArray out;
    QString err;
};

inline Job runJob(const QStringList &args, const QString &dir,
                  const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(METERJOB_BIN), args);
    Job job;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return job;
    }
    job.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    job.out = p.readAllStandardOutput();
    job.err = QString::fromUtf8(p.readAllStandardError());
    return job;
}
