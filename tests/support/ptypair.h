#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair standing for a serial line. The program opens the slave side by its path
// (mapAs() points "ports/COMn" at it); the test plays the device on the master side. Both sides
// are raw (no echo, no line editing). The pair keeps a slave descriptor of its own, so the master
// side stays usable whether or not the program has the port open.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Makes "ports/COMn" below `workDir` (empty: the current directory) a link to the slave side.
    bool mapAs(int portNumber, const QString &workDir = QString()) const;

    // Writes every byte to the line (the program receives them).
    bool write(const QByteArray &bytes);
    // What the program has sent, running the event loop until at least `count` bytes have come
    // or `timeoutMs` has passed.
    QByteArray read(int count, int timeoutMs = 5000);

    // Hangs up the line, as a pulled adapter does: the program's side then fails to read.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

// Points every "ports/COMn" (n = 1..20) that is not there yet at a device that does not exist, so
// that a port scan finds exactly the pseudo-terminals mapped before, whatever this machine has.
bool mapRemainingPortsAway(const QString &workDir = QString());
