#include "support/sessionrig.h"

#include "support/ptypair.h"

#include "config/controlpaneldialog.h"
#include "core/passwordtext.h"
#include "link/exchangeengine.h"
#include "link/stend.h"
#include "mainwindow/sysmonitordialog.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "session/authdialog.h"
#include "widgets/logview.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

SessionRig::SessionRig() = default;

SessionRig::~SessionRig()
{
    m_window.reset();
    line.stop();
}

bool SessionRig::startLine(QStringList arguments)
{
    if (arguments.contains(QStringLiteral("--pty")))
        arguments << QStringLiteral("--link-com") << QStringLiteral("1")
                  << QStringLiteral("--workdir") << work.path();
    if (!line.start(arguments)) {
        qWarning("%s", qPrintable(line.errorString()));
        return false;
    }
    // The stand's own line is COM2.
    if (!line.standPtyPath().isEmpty() &&
        (!QDir(work.path()).mkpath(QStringLiteral("ports")) ||
         !QFile::link(line.standPtyPath(), work.filePath(QStringLiteral("ports/COM2")))))
        return false;
    // The session dialog then lists exactly the ports of this test.
    return mapRemainingPortsAway(work.path());
}

SysMonitorDialog &SessionRig::window()
{
    if (!m_window) {
        // Port scans find only what this test maps.
        mapRemainingPortsAway(work.path());
        m_window = std::make_unique<SysMonitorDialog>(developerMode);
        SysMonitorDialog *w = m_window.get();
        QObject::connect(w, &SysMonitorDialog::loadComplate, w,
                         [this](int type, const QList<QByteArray> &replies, int status) {
                             outcomes.append({type, replies, status});
                         });
        QObject::connect(w, &SysMonitorDialog::unknownLoadComplate, w,
                         [this](int st) { unknown.append(st); });
        // No test waits on a modal question it did not answer.
        w->askInt = [](const QString &, const QString &, int, int, int) { return std::nullopt; };
        w->configurator()->askYesNo = [](const QString &, const QString &) { return false; };
        w->configurator()->askSaveFile = [](const QString &, const QString &, const QString &) {
            return QString();
        };
        w->show();
        // open() waits for it again, so a slow start is reported there.
        (void)QTest::qWaitFor([w] { return w->authDialog()->isVisible(); }, 10000);
    }
    return *m_window;
}

SessionParameters SessionRig::defaults()
{
    SessionParameters p;
    for (QByteArray &pwd : p.passwords)
        pwd = passwordtext::factoryDefault(0);
    p.portNumber = 1;
    return p;
}

bool SessionRig::startSession(const SessionParameters &params)
{
    SysMonitorDialog &w = window();
    if (!QTest::qWaitFor([&w] { return w.authDialog()->isVisible(); }, 10000))
        return false;
    w.authDialog()->setParams(params);
    // The test's switching block listens where any user may bind.
    if (line.standPort())
        w.engine()->standLink()->port = line.standPort();
    auto *connectButton = w.authDialog()->findChild<QPushButton *>(QStringLiteral("pbConnect"));
    if (!connectButton || !connectButton->isEnabled())
        return false;
    QTest::mouseClick(connectButton, Qt::LeftButton);
    return true;
}

bool SessionRig::open(const SessionParameters &params)
{
    const int opened = lines(QStringLiteral("Сессия открыта")).size();
    if (!startSession(params))
        return false;
    return QTest::qWaitFor([&] { return lines(QStringLiteral("Сессия открыта")).size() > opened; },
                           15000);
}

bool SessionRig::openTcp(int level)
{
    SessionParameters p = defaults();
    p.accessLevel = level;
    p.passwords[size_t(level)] = passwordtext::factoryDefault(level);
    p.connectionType = 3;
    p.ethernetIp = line.tcpHost();
    p.ethernetPort = line.tcpPort();
    return open(p);
}

bool SessionRig::openPty()
{
    SessionParameters p = defaults();
    p.connectionType = 0;
    return open(p);
}

deviceListItem *SessionRig::addMeter(int address, const QByteArray &serial)
{
    DeviceRecord r;
    r.address = address;
    r.serialNumber = serial;
    deviceList *list = window().configurator()->meterList();
    list->addItem(r);
    for (int i = 0; i < list->count(); ++i)
        if (list->itemAt(i)->record().address == address &&
            list->itemAt(i)->record().serialNumber == serial)
            return list->itemAt(i);
    return nullptr;
}

QList<SessionRig::LogLine> SessionRig::log() const
{
    QList<LogLine> out;
    if (!m_window)
        return out;
    m_window->flushLog();
    const QTextDocument *doc =
        m_window->findChild<LogView *>(QStringLiteral("tbLog"))->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QString text = b.text();
        // "hh:mm:ss - "
        if (text.size() >= 11 && text.at(2) == QLatin1Char(':') &&
            text.mid(8, 3) == QLatin1String(" - "))
            text = text.mid(11);
        const QColor colour =
            b.begin().atEnd() ? QColor() : b.begin().fragment().charFormat().foreground().color();
        out.append({text, colour});
    }
    return out;
}

QList<SessionRig::LogLine> SessionRig::lines(const QString &prefix) const
{
    QList<LogLine> out;
    for (const LogLine &l : log())
        if (l.text.startsWith(prefix))
            out.append(l);
    return out;
}

bool SessionRig::hasLine(const QString &text, const QColor &colour) const
{
    for (const LogLine &l : log())
        if (l.text == text && l.colour == colour)
            return true;
    return false;
}

bool SessionRig::waitLine(const QString &text, int count, int timeoutMs) const
{
    return QTest::qWaitFor(
        [&] {
            int n = 0;
            for (const LogLine &l : log())
                n += l.text == text;
            return n >= count;
        },
        timeoutMs);
}

bool SessionRig::batchesDone(int ms)
{
    ControlPanelDialog *config = window().configurator();
    return QTest::qWaitFor([config] { return !config->batchRunning(); }, ms);
}

bool SessionRig::openMeter(int address)
{
    deviceListItem *row = addMeter(address);
    if (!row)
        return false;
    QTest::mouseClick(row, Qt::LeftButton);
    QTest::mouseDClick(row, Qt::LeftButton);
    return batchesDone() && row->record().sessionOpen;
}
