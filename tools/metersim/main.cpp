#include "metersim/quitsignals.h"
#include "metersim/simapp.h"
#include "metersim/simoptions.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // A reader of stdout that has gone away must not kill the line.
    std::signal(SIGPIPE, SIG_IGN);

    SimOptions options;
    QString error;
    switch (SimOptions::parse(app.arguments(), &options, &error)) {
    case SimOptions::Help:
        std::fputs(qPrintable(SimOptions::helpText()), stdout);
        return 0;
    case SimOptions::Failed:
        std::fprintf(stderr, "metersim: %s\n(metersim --help lists the options)\n",
                     qPrintable(error));
        return SimApp::Usage;
    case SimOptions::Run:
        break;
    }

    SimApp sim(options);
    quitOnSignals({SIGINT, SIGTERM}, &app);
    const int rc = sim.start();
    if (rc != SimApp::Ok)
        return rc;
    return app.exec();
}
