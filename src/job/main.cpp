// meterjob: the exchange engine without windows, for scripts and factory lines.
#include "core/unixsignals.h"
#include "job/joblines.h"
#include "job/joboptions.h"
#include "job/recordwriter.h"

#include <QCoreApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
void put(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    // Each record goes out whole at once: a job stopped later keeps what it wrote.
    std::fflush(stream);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("meterjob"));
    QCoreApplication::setApplicationVersion(QStringLiteral(METER_VERSION));

    JobOptions options;
    QString message;
    switch (joboptions::parse(app.arguments(), &options, &message)) {
    case joboptions::Outcome::Help:
        put(stdout, joboptions::helpText().toLocal8Bit());
        return 0;
    case joboptions::Outcome::Version:
        put(stdout, QByteArrayLiteral("meterjob " METER_VERSION "\n"));
        return 0;
    case joboptions::Outcome::Usage:
        put(stderr, (QStringLiteral("meterjob: ") + message + QLatin1Char('\n') +
                     joboptions::usageLine() + QLatin1Char('\n'))
                        .toLocal8Bit());
        return 2;
    case joboptions::Outcome::Run:
        break;
    }

    // The progress line is for a person watching; a file or a pipe gets none.
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    bool progressShown = false;
    const auto clearProgress = [&] {
        if (progressShown)
            put(stderr, QByteArrayLiteral("\r\033[K"));
        progressShown = false;
    };

    RecordWriter writer(options.format, !options.lines.isEmpty());
    JobLines runner(options);
    QObject::connect(&runner, &JobLines::record, &app, [&](const JobRecord &record) {
        clearProgress();
        put(stdout, writer.write(record));
    });
    if (terminal)
        QObject::connect(&runner, &JobLines::progress, &app, [&](const QString &text) {
            put(stderr, QByteArrayLiteral("\r\033[K") + text.toLocal8Bit());
            progressShown = true;
        });
    QObject::connect(&runner, &JobLines::finished, &app, [&](int status) {
        clearProgress();
        put(stderr, (runner.summary().join(QLatin1Char('\n')) + QLatin1Char('\n')).toLocal8Bit());
        QCoreApplication::exit(status);
    });

    UnixSignalWatcher watcher({SIGINT, SIGTERM, SIGHUP});
    QObject::connect(&watcher, &UnixSignalWatcher::caught, &runner, &JobLines::stop);

    QTimer::singleShot(0, &runner, &JobLines::start);
    return app.exec();
}
