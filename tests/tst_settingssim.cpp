// The clock, parameters, limits and clock-coefficient pages in the real main window against the
// virtual meter line: what a page writes, a later read shows; replies the pages cannot use
// change nothing; the list learns addresses, serial numbers and models.
#include "support/sessionrig.h"

#include "config/clockpage.h"
#include "config/controlpaneldialog.h"
#include "link/logcolours.h"
#include "meters/devicelistitem.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {
const QStringList kLine{"--meter", "210.1,addr=1,serial=000000000000111", "--meter",
                        "450.22R,addr=2,serial=000000000000222"};

QVariant valueOf(QWidget *w)
{
    if (auto *s = qobject_cast<QSpinBox *>(w))
        return s->value();
    if (auto *d = qobject_cast<QDoubleSpinBox *>(w))
        return d->value();
    if (auto *c = qobject_cast<QComboBox *>(w))
        return c->currentIndex();
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->isChecked();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *t = qobject_cast<QDateTimeEdit *>(w))
        return t->dateTime();
    return QVariant();
}

void setValue(QWidget *w, const QVariant &v)
{
    if (auto *s = qobject_cast<QSpinBox *>(w))
        s->setValue(v.toInt());
    else if (auto *d = qobject_cast<QDoubleSpinBox *>(w))
        d->setValue(v.toDouble());
    else if (auto *c = qobject_cast<QComboBox *>(w))
        c->setCurrentIndex(v.toInt());
    else if (auto *b = qobject_cast<QAbstractButton *>(w))
        b->setChecked(v.toBool());
    else if (auto *e = qobject_cast<QLineEdit *>(w))
        e->setText(v.toString());
    else if (auto *t = qobject_cast<QDateTimeEdit *>(w))
        t->setDateTime(v.toDateTime());
}

// Something else than `v` (radio buttons are reset by the rows' own buttons).
void scramble(QWidget *w, const QVariant &v)
{
    if (auto *s = qobject_cast<QSpinBox *>(w))
        s->setValue(v.toInt() == s->minimum() ? s->maximum() : s->minimum());
    else if (auto *c = qobject_cast<QComboBox *>(w))
        c->setCurrentIndex((v.toInt() + 1) % c->count());
    else if (qobject_cast<QCheckBox *>(w))
        setValue(w, !v.toBool());
    else if (qobject_cast<QLineEdit *>(w))
        setValue(w, QStringLiteral("x"));
}

struct Rig
{
    bool start()
    {
        rig.developerMode = true;
        if (!rig.startLine(kLine))
            return false;
        if (!rig.openTcp(2))
            return false;
        config = rig.window().configurator();
        return true;
    }
    // The meter at `address` listed, selected and its session opened.
    deviceListItem *meter(int address)
    {
        deviceListItem *row = rig.addMeter(address);
        QTest::mouseClick(row, Qt::LeftButton);
        QTest::mouseDClick(row, Qt::LeftButton);
        return finished() && row->record().sessionOpen ? row : nullptr;
    }
    bool finished()
    {
        return QTest::qWaitFor([this] { return !config->batchRunning(); }, 20000);
    }
    // Presses a page button and waits for its batch: true when every command was answered.
    bool run(const char *button)
    {
        auto *b = find<QAbstractButton>(button);
        if (!b || !b->isEnabled())
            return false;
        const qsizetype before = rig.outcomes.size();
        b->click();
        return finished() && rig.outcomes.size() > before && rig.outcomes.last().status == 0;
    }
    // A control of the pages (the item editor has names of its own that are the same).
    template <typename T = QWidget> T *find(const QString &name)
    {
        for (ConfigPage *page : config->findChildren<ConfigPage *>())
            if (T *found = page->findChild<T *>(name))
                return found;
        return config->findChild<T *>(name);
    }
    // Index of the first "TX: " line that carries `payload` after a one-byte address.
    qsizetype sent(const QString &payload)
    {
        const QList<SessionRig::LogLine> log = rig.log();
        for (qsizetype i = 0; i < log.size(); ++i)
            if (log[i].text.startsWith(QStringLiteral("TX: ")) &&
                log[i].text.mid(7).startsWith(payload))
                return i;
        return -1;
    }

    SessionRig rig;
    ControlPanelDialog *config = nullptr;
};
} // namespace

class TestSettingsSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void writeReadBack_data();
    void writeReadBack();
    void time();
    void refusedReplies_data();
    void refusedReplies();
    void linkWrite_data();
    void linkWrite();
    void listLearns();
    void model();

private:
    // One line for the rows of refusedReplies().
    std::unique_ptr<Rig> m_shared;
};

void TestSettingsSim::initTestCase()
{
    m_shared = std::make_unique<Rig>();
    QVERIFY(m_shared->start());
    QVERIFY(m_shared->meter(1));
    // The clock displays stand still, so a refused time reply can be seen to change nothing.
    m_shared->find<QAbstractButton>(QStringLiteral("pbCurrentTimeAuto"))->click();
}

void TestSettingsSim::cleanupTestCase()
{
    m_shared.reset();
}

void TestSettingsSim::writeReadBack_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QVariantMap>("fixed");  // set once
    QTest::addColumn<QVariantMap>("values"); // set, written, changed, read back
    QTest::addColumn<QVariantMap>("extra");  // shown after the read
    QTest::addColumn<QString>("reset");      // the button that changes them, or none
    QTest::addColumn<QString>("save");
    QTest::addColumn<QString>("load");
    QTest::addColumn<QStringList>("listed"); // light-blue lines
    QTest::newRow("daylight saving off")
        << 1 << QVariantMap() << QVariantMap{{"cbTimeMode", false}} << QVariantMap() << ""
        << "pbSaveTimeMode"
        << "pbLoadTimeMode" << QStringList();
    QTest::newRow("link") << 1 << QVariantMap()
                          << QVariantMap{{"sbDeviceAddr", 1},
                                         {"sbOpenIteration", 5},
                                         {"cbBaud", 3},
                                         {"sbSessionTime", 12},
                                         {"sbBlockTime", 40}}
                          << QVariantMap() << "pbStdLink"
                          << "pbSaveLink"
                          << "pbLoadLink" << QStringList();
    QTest::newRow("single-phase display") << 1 << QVariantMap()
                                          << QVariantMap{{"sbDisplayTime", 7},
                                                         {"cbDisplayItem0", false},
                                                         {"cbDisplayItem3", true},
                                                         {"cbDisplayItem10", true}}
                                          << QVariantMap() << "pbStdDisplay"
                                          << "pbSaveDisplay"
                                          << "pbLoadDisplay" << QStringList();
    QTest::newRow("three-phase display") << 2 << QVariantMap()
                                         << QVariantMap{{"sbDisplayPeriod3", 5},
                                                        {"sbMenuDelay3", 30},
                                                        {"cbDisplay3Item1", true},
                                                        {"cbDisplay3Item7", false}}
                                         << QVariantMap() << ""
                                         << "pbSaveDisplay"
                                         << "pbLoadDisplay" << QStringList();
    QTest::newRow("limits") << 1 << QVariantMap()
                            << QVariantMap{{"dsbLimitDown", 195.5},
                                           {"dsbLimitUp", 256.001},
                                           {"dsbLimitP", 1000.5},
                                           {"sbLimitLoad", 1234},
                                           {"rbLoadClosed", true}}
                            << QVariantMap{{"rbLoadOpen", false}} << "pbStdLimit"
                            << "pbSaveLimit"
                            << "pbLoadLimit" << QStringList();
    QTest::newRow("pulse output") << 2 << QVariantMap() << QVariantMap{{"cbPulseMode", 4}}
                                  << QVariantMap() << ""
                                  << "pbSavePulseSpec"
                                  << "pbLoadPulseSpec" << QStringList();
    QTest::newRow("administrator password")
        << 1 << QVariantMap{{"cbAccesLevel", 1}} << QVariantMap{{"lePwd", "abc"}}
        << QVariantMap{{"lePwdHex", "61 62 63 "}} << ""
        << "pbSavePwd"
        << "pbLoadPwd" << QStringList();
    QTest::newRow("serial number")
        << 2 << QVariantMap() << QVariantMap{{"leDeviceID", "000000000000042"}}
        << QVariantMap{{"leDeviceIDHex", "30 30 30 30 30 30 30 30 30 30 30 30 30 34 32"}} << ""
        << "pbSaveDeviceID"
        << "pbLoadDeviceID" << QStringList();
    QTest::newRow("clock coefficient")
        << 1 << QVariantMap() << QVariantMap{{"sbClockC", -2}} << QVariantMap() << ""
        << "pbSaveClockCC"
        << "pbLoadClockCC" << QStringList{"КК часов будет записан: -2", "Загружены КК часов: -2"};
}

void TestSettingsSim::writeReadBack()
{
    QFETCH(int, address);
    QFETCH(QVariantMap, fixed);
    QFETCH(QVariantMap, values);
    QFETCH(QVariantMap, extra);
    QFETCH(QString, reset);
    QFETCH(QString, save);
    QFETCH(QString, load);
    QFETCH(QStringList, listed);
    Rig t;
    QVERIFY(t.start());
    QVERIFY(t.meter(address));
    for (auto it = fixed.cbegin(); it != fixed.cend(); ++it)
        setValue(t.find(it.key()), it.value());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        setValue(t.find(it.key()), it.value());
    QVERIFY(t.run(qPrintable(save)));
    if (reset.isEmpty())
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            scramble(t.find(it.key()), it.value());
    else
        t.find<QAbstractButton>(reset)->click();
    QVERIFY(t.run(qPrintable(load)));
    for (const QVariantMap &m : {values, extra})
        for (auto it = m.cbegin(); it != m.cend(); ++it)
            QVERIFY2(
                valueOf(t.find(it.key())) == it.value(),
                qPrintable(it.key() + QLatin1Char(' ') + valueOf(t.find(it.key())).toString()));
    for (const QString &line : listed)
        QVERIFY2(t.rig.hasLine(line, logcolour::listing), qPrintable(line));
}

void TestSettingsSim::time()
{
    Rig t;
    QVERIFY(t.start());
    QVERIFY(t.meter(1));
    auto *follow = t.find<QAbstractButton>(QStringLiteral("pbCurrentTimeAuto"));
    auto *current = t.find<QDateTimeEdit>(QStringLiteral("dteCurrent"));
    auto *device = t.find<QDateTimeEdit>(QStringLiteral("dteDevice"));
    auto *clock = t.config->findChild<ClockPage *>();

    // A time typed by hand.
    follow->click();
    QVERIFY(current->isEnabled());
    const QDateTime typed(QDate(2031, 5, 17), QTime(10, 20, 30));
    current->setDateTime(typed);
    QVERIFY(t.run("pbSaveTime"));
    QVERIFY(t.sent(QStringLiteral("0a 0e 1e 14 0a 07 11 05 1f ")) > 0);
    QVERIFY(t.run("pbLoadTime"));
    const qint64 drift = typed.secsTo(device->dateTime());
    QVERIFY2(drift >= 0 && drift <= 1, qPrintable(device->dateTime().toString()));

    // The calibration page's time step: the computer's time 3 hours on.
    follow->click();
    t.find<QSpinBox>(QStringLiteral("sbTimeShiftCC"))->setValue(3);
    QVERIFY(t.run("pbSaveRealTime"));
    QCOMPARE(t.find<QSpinBox>(QStringLiteral("sbTimeShift"))->value(), 3);
    QVERIFY(t.run("pbLoadTime"));
    QVERIFY2(qAbs(clock->clockOffset() + 3 * 3600000) <= 2000,
             qPrintable(QString::number(clock->clockOffset())));
    // The displays run on from there: meter and written time agree to a second or two.
    QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression(QStringLiteral("^[+-]0 00:00:0[0-2]$"))
                                 .match(t.find<QLineEdit>(QStringLiteral("leTimeDiff"))->text())
                                 .hasMatch(),
                             5000);

    QVERIFY(!t.find<QCheckBox>(QStringLiteral("cbTimeMode"))->isChecked());
    QVERIFY(t.run("pbLoadTimeMode"));
    QVERIFY(t.find<QCheckBox>(QStringLiteral("cbTimeMode"))->isChecked());
}

void TestSettingsSim::refusedReplies_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QVariant>("before");
    QTest::addColumn<QString>("error");
    const QString shortReply = QStringLiteral("Ошибка: некорректный размер пакета");
    const QString badData = QStringLiteral("Ошибка: некорректные данные в ответе счетчика");
    QTest::newRow("time, six bytes")
        << "pbLoadTime"
        << "reply:010e061e050902070c@obj=0e"
        << "dteDevice" << QVariant(QDateTime(QDate(2001, 1, 1), QTime(0, 0))) << shortReply;
    QTest::newRow("time, month 13")
        << "pbLoadTime"
        << "reply:010e071e050902070d1a@obj=0e"
        << "dteDevice" << QVariant(QDateTime(QDate(2001, 1, 1), QTime(0, 0))) << badData;
    QTest::newRow("daylight saving, no byte") << "pbLoadTimeMode"
                                              << "reply:012300@obj=23"
                                              << "cbTimeMode" << QVariant(false) << shortReply;
    QTest::newRow("clock coefficient, no bytes") << "pbLoadClockCC"
                                                 << "reply:012200@obj=22"
                                                 << "sbClockC" << QVariant(5) << badData;
    QTest::newRow("link, three bytes") << "pbLoadLink"
                                       << "reply:012903070102@obj=29"
                                       << "sbOpenIteration" << QVariant(9) << shortReply;
    QTest::newRow("display, two bytes") << "pbLoadDisplay"
                                        << "reply:010b0205e1@obj=0b"
                                        << "sbDisplayTime" << QVariant(3) << shortReply;
    QTest::newRow("limits, power cut short") << "pbLoadLimit"
                                             << "reply:01280452@obj=28"
                                             << "dsbLimitDown" << QVariant(1.5) << shortReply;
    QTest::newRow("pulse mode 9") << "pbLoadPulseSpec"
                                  << "reply:013f0109@obj=3f"
                                  << "cbPulseMode" << QVariant(2) << badData;
    QTest::newRow("password, three bytes") << "pbLoadPwd"
                                           << "reply:012a03616263@obj=2a"
                                           << "lePwd" << QVariant("zz") << shortReply;
    QTest::newRow("serial number, five bytes") << "pbLoadDeviceID"
                                               << "reply:0144053132333435@obj=44"
                                               << "leDeviceID" << QVariant("zz") << shortReply;
}

void TestSettingsSim::refusedReplies()
{
    QFETCH(QString, button);
    QFETCH(QString, fault);
    QFETCH(QString, widget);
    QFETCH(QVariant, before);
    QFETCH(QString, error);
    Rig &t = *m_shared;
    setValue(t.find(widget), before);
    QVERIFY(t.rig.line.command(QStringLiteral("fault ") + fault));
    const qsizetype errors = t.rig.lines(error).size();
    const bool answered = t.run(qPrintable(button));
    QVERIFY(t.rig.line.command(QStringLiteral("faults off")));
    QVERIFY(answered);
    QCOMPARE(valueOf(t.find(widget)), before);
    QCOMPARE(t.rig.lines(error).size(), errors + 1);
    QVERIFY(t.rig.hasLine(error, logcolour::error));
}

void TestSettingsSim::linkWrite_data()
{
    QTest::addColumn<bool>("intoList");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("listed"); // the row's address afterwards
    QTest::addColumn<int>("holdMinutes");
    QTest::newRow("new address into the list") << true << 9 << 3 << 9 << 3;
    QTest::newRow("address kept, 0 minutes hold 10") << false << 1 << 0 << 1 << 10;
}

void TestSettingsSim::linkWrite()
{
    QFETCH(bool, intoList);
    QFETCH(int, address);
    QFETCH(int, minutes);
    QFETCH(int, listed);
    QFETCH(int, holdMinutes);
    Rig t;
    QVERIFY(t.start());
    deviceListItem *row = t.meter(1);
    QVERIFY(row);
    t.find<QCheckBox>(QStringLiteral("cbChangeNumber"))->setChecked(intoList);
    t.find<QAbstractButton>(QStringLiteral("pbStdLink"))->click();
    t.find<QSpinBox>(QStringLiteral("sbDeviceAddr"))->setValue(address);
    t.find<QSpinBox>(QStringLiteral("sbSessionTime"))->setValue(minutes);
    QVERIFY(t.run("pbSaveLink"));
    const qsizetype prepare = t.sent(QStringLiteral("02 0d 05 "));
    QVERIFY(prepare > 0);
    QVERIFY(prepare < t.sent(QStringLiteral("02 29 ")));
    QCOMPARE(row->record().address, listed);
    QCOMPARE(row->record().sessionTimeout, holdMinutes);
    auto *timer = row->findChild<QTimer *>(QStringLiteral("sessionTimer"));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), holdMinutes * 60000);
    // The meter answers at its new address, which the list now has.
    t.find<QSpinBox>(QStringLiteral("sbDeviceAddr"))->setValue(200);
    QVERIFY(t.run("pbLoadLink"));
    QCOMPARE(t.find<QSpinBox>(QStringLiteral("sbDeviceAddr"))->value(), address);
    QCOMPARE(t.find<QSpinBox>(QStringLiteral("sbSessionTime"))->value(), minutes);
}

void TestSettingsSim::listLearns()
{
    Rig t;
    QVERIFY(t.start());
    deviceListItem *row = t.meter(2);
    QVERIFY(row);
    // "Считать S/N": the serial number goes into the list and the session ends.
    t.find<QAction>(QStringLiteral("actLoadSerial"))->trigger();
    QVERIFY(t.finished());
    QCOMPARE(t.rig.outcomes.last().status, 0);
    QCOMPARE(row->record().serialNumber, QByteArray("000000000000222"));
    QCOMPARE(t.find<QLineEdit>(QStringLiteral("leDeviceID"))->text(),
             QStringLiteral("000000000000222"));
    QVERIFY(t.sent(QStringLiteral("09 01 ")) > 0);
    QVERIFY(!row->record().sessionOpen);

    // "Считать адрес": a meter reached by its serial number tells the list its address.
    row->record().address = 77;
    t.find<QAction>(QStringLiteral("actLoadAddress"))->trigger();
    QVERIFY(t.finished());
    QCOMPARE(t.rig.outcomes.last().status, 0);
    QCOMPARE(row->record().address, 2);
    QCOMPARE(t.find<QSpinBox>(QStringLiteral("sbDeviceAddr"))->value(), 2);
}

void TestSettingsSim::model()
{
    Rig t;
    QVERIFY(t.start());
    // Not for a single-phase meter.
    QVERIFY(t.meter(1));
    t.find<QAbstractButton>(QStringLiteral("pbSaveMdl"))->click();
    QVERIFY(!t.config->batchRunning());

    deviceListItem *row = t.meter(2);
    QVERIFY(row);
    t.find<QComboBox>(QStringLiteral("cbModel"))->setCurrentText(QStringLiteral("450.42R"));
    QVERIFY(t.run("pbSaveMdl"));
    QCOMPARE(row->record().version, QStringLiteral("450.42R"));
    QVERIFY(t.run("pbLoadDeviceInfo"));
    QCOMPARE(t.find<QTableView>(QStringLiteral("tableDeviceInfo"))->model()->index(0, 1).data(),
             QVariant(QStringLiteral("450.42R")));
    // A model the meter refuses stays out of the list.
    t.find<QComboBox>(QStringLiteral("cbModel"))->setCurrentIndex(0);
    QVERIFY(t.rig.line.command(QStringLiteral("fault error:3@obj=20")));
    QVERIFY(!t.run("pbSaveMdl"));
    QCOMPARE(row->record().version, QStringLiteral("450.42R"));
}

QTEST_MAIN(TestSettingsSim)
#include "tst_settingssim.moc"
