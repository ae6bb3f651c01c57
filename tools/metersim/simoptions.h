#pragma once

#include "metersim/faultplan.h"
#include "metersim/measurements.h"
#include "metersim/meterconfig.h"
#include "metersim/modemconfig.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

// The command line of metersim.
struct SimOptions
{
    // The meters of the line behind the TCP server and the pty.
    QList<MeterConfig> meters;

    bool tcp = true;
    QString tcpHost = QStringLiteral("127.0.0.1");
    quint16 tcpPort = 14001;
    // Gateways served, each its own line with its own copy of the meters: ports tcpPort,
    // tcpPort + 1, ... (port 0: a free port each).
    int tcpLines = 1;

    bool pty = false;
    int linkCom = 0; // 0: no ports/COMn link
    QString workDir;

    // The GSM modem on a pseudo-terminal of its own, calling the meters of the line.
    bool modem = false;
    int modemLinkCom = 0; // 0: no ports/COMn link
    ModemConfig modemConfig;

    bool stand = false;
    QString standIp;         // empty: the first free 127.0.0.x
    quint16 standPort = 502; // 0: a free one
    std::array<MeterConfig, 24> standMeters;

    QList<FaultPlan::Fault> faults;
    quint32 seed = 1;
    int paceBaud = 0;
    qint64 holdMs = 0;
    Measurements::Load load;
    bool trace = false;

    enum Outcome { Run, Help, Failed };
    // Reads `arguments` (the program name first).
    static Outcome parse(const QStringList &arguments, SimOptions *options, QString *error);
    static QString helpText();
};
