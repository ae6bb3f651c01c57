// The configurator window on its own: access levels, meter series, page locking, the request
// kinds, the meter list pane. Batches against meters are in tst_configsession.
#include "support/workdir.h"

#include "config/controlpaneldialog.h"
#include "core/requestkinds.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"

#include <QAction>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

namespace {
constexpr int kStand = 2;
constexpr int kCom = 0;

struct Window
{
    Window()
    {
        w.inform = [this](const QString &title, const QString &text) {
            informed << title + QLatin1Char('|') + text;
        };
        w.playSound = [this](const QString &path) { played << path; };
    }
    template <typename T = QWidget> T *find(const char *name)
    {
        T *found = w.findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning("no %s", name);
        return found;
    }
    deviceListItem *add(int address, const QString &name = QStringLiteral("-"), bool stand = false,
                        int position = 0)
    {
        DeviceRecord r;
        r.address = address;
        r.version = name;
        r.standMode = stand;
        r.standAddr = position;
        w.meterList()->addItem(r);
        for (int i = 0; i < w.meterList()->count(); ++i) {
            deviceListItem *row = w.meterList()->itemAt(i);
            if (row->record().address == address && row->record().standAddr == position)
                return row;
        }
        return nullptr;
    }
    void select(deviceListItem *row)
    {
        row->record().current = true;
        w.meterList()->selected(row);
    }
    bool shown(const char *name) { return !find(name)->isHidden(); }

    WorkDir work;
    ControlPanelDialog w;
    QStringList informed;
    QStringList played;
};

const QStringList kUserWrites{
    "pbClearSliceDay",  "pbClearSliceMonth", "pbArchiveInit",   "pbClearWarnList",
    "pbClearErrList",   "pbClearMList",      "pbSaveTime",      "pbSaveTimeAll",
    "pbSaveTimeMode",   "pbSaveHolidays",    "pbSaveCalendar",  "pbSaveCalendarAll",
    "pbSaveDisplayAll", "pbSaveTarif",       "pbSaveTarifAll",  "pbSaveLink",
    "pbSaveDisplay",    "pbSaveLimit",       "pbSavePulseSpec", "pbSavePulseSpecAll",
    "pbSavePwd",        "pbSaveDeviceID",    "cbDisplayAuto",   "pbPulseSpec1Hz",
    "pbPulseSpecStd"};
const QStringList kCalibration{"frCC",         "frCC3",      "pbCalcClockCC", "dsbClockCSec",
                               "lblClockCSec", "pbOptoTest", "pbSaveClockCC", "pbAddrTableInput"};
} // namespace

class TestConfigurator : public QObject
{
    Q_OBJECT
private slots:
    void accessLevels_data();
    void accessLevels();
    void series_data();
    void series();
    void kindsTable();
    void sessionOpenCommand_data();
    void sessionOpenCommand();
    void addRange_data();
    void addRange();
    void addAndEdit();
    void loadListFile_data();
    void loadListFile();
    void meterControls();
    void opticalTest();
    void clockTicks();
    void clockCoefficient_data();
    void clockCoefficient();
};

void TestConfigurator::accessLevels_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("level");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("calibrationTab");
    QTest::addColumn<QStringList>("levels");
    const QString user = QStringLiteral("Пользователь");
    const QString admin = QStringLiteral("Администратор");
    QTest::newRow("user after developer")
        << 2 << 0 << (kUserWrites + QStringList{"pbSaveMdl"})
        << QStringList{"pbLoadPwd", "frPwd", "frClockCC", "pbOptoTest", "pbCalcClockCC"} << false
        << QStringList{user};
    QTest::newRow("administrator after user")
        << 0 << 1 << (kCalibration + QStringList{"cbDisplayAuto"})
        << QStringList{"pbSaveTime", "pbSaveLink",    "pbSavePwd",
                       "frClockCC",  "pbLoadClockCC", "pbSaveMdl"}
        << true << QStringList{user, admin};
    QTest::newRow("developer after administrator")
        << 1 << 2 << QStringList()
        << (kUserWrites + QStringList{"pbCalcClockCC", "pbOptoTest", "pbSaveClockCC",
                                      "dsbClockCSec", "lblClockCSec"})
        << true << QStringList{user, admin, QStringLiteral("Разработчик")};
}

void TestConfigurator::accessLevels()
{
    QFETCH(int, before);
    QFETCH(int, level);
    QFETCH(QStringList, hidden);
    QFETCH(QStringList, shown);
    QFETCH(bool, calibrationTab);
    QFETCH(QStringList, levels);
    Window t;
    t.w.setSession(kCom, before, QByteArray(6, '\xe1'));
    t.w.setSession(kCom, level, QByteArray(6, '\xe1'));
    for (const QString &name : hidden)
        QVERIFY2(!t.shown(qPrintable(name)), qPrintable(name));
    for (const QString &name : shown)
        QVERIFY2(t.shown(qPrintable(name)), qPrintable(name));
    QCOMPARE(t.find<QTabWidget>("tabWidget")->isTabEnabled(8), calibrationTab);
    auto *box = t.find<QComboBox>("cbAccesLevel");
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    QCOMPARE(items, levels);
    QVERIFY(!t.shown("pbDiagram"));
}

void TestConfigurator::series_data()
{
    QTest::addColumn<QStringList>("names"); // selected one after another
    QTest::addColumn<bool>("threePhase");   // what the pages show at the end
    QTest::addColumn<bool>("diagram");      // offered for the last one
    QTest::newRow("single-phase") << QStringList{"210.1"} << false << false;
    QTest::newRow("three-phase 450") << QStringList{"450.22R"} << true << true;
    QTest::newRow("three-phase 430") << QStringList{"430.1"} << true << true;
    QTest::newRow("210 wins over 450") << QStringList{"450.22R", "210.450"} << false << false;
    QTest::newRow("unrecognised changes nothing")
        << QStringList{"450.22R", "ABC.1"} << true << false;
    QTest::newRow("unrecognised after single") << QStringList{"210.1", "-"} << false << false;
}

void TestConfigurator::series()
{
    QFETCH(QStringList, names);
    QFETCH(bool, threePhase);
    QFETCH(bool, diagram);
    Window t;
    for (int i = 0; i < names.size(); ++i)
        t.select(t.add(i + 1, names[i]));
    for (const char *name : {"frDisplay", "frCC", "cbTarif"})
        QCOMPARE(t.shown(name), !threePhase);
    for (const char *name : {"frDisplay3", "frCC3", "cbTarif3"})
        QCOMPARE(t.shown(name), threePhase);
    auto *action = t.w.findChild<QAction *>(QStringLiteral("actDiagram"));
    QCOMPARE(action->isVisible(), diagram);
    QCOMPARE(action->isEnabled(), diagram);
}

void TestConfigurator::kindsTable()
{
    // kind, frame held disabled while it runs, title logged, group work may repeat it
    const struct
    {
        int kind;
        const char *frame;
        const char *title;
        bool group;
    } rows[] = {
        {0, "frMeasures", "Получение измерительных данных однофазного счетчика", false},
        {1, "frHolidays", "Получение рассписания выходных дней", false},
        {2, "frCalendar", "Получение тарифного рассписания", false},
        {3, "frTarif", "Получениче числа тарифов", false},
        {4, "frTime", "Получение даты и времени", false},
        {5, "frTimeMode", "Получение статуса автоматического перехода на летнее время", false},
        {6, "frLink", "Получение параметров связи", false},
        {7, "frDisplay", "Получение параметров индикации", false},
        {8, "frLimit", "Получение предельных значений работы", false},
        {9, "frPulseSpec", "Получение параметров импульсного выхода", false},
        {10, "frArchive", "Получение параметров архивов", false},
        {11, "frNowMeasures", "Получение мгновенных измерительных данных однофазного счетчика",
         false},
        {12, "frDeviceInfo", "Получение информации об устройстве", false},
        {13, "frClockCC", "Получение КК часов", false},
        {14, "frCC", "Получение калибровочных коэффицентов", true},
        {15, "frList", "Получение размера списков сообщений", false},
        {16, "frList", "Очистка списка сообщений", false},
        {17, "frList", "Очистка списка ошибок", false},
        {18, "frList", "Очистка списка предупреждений", false},
        {19, "frList", "Чтение записей", false},
        {20, "frArchive", "Чтение архива", false},
        {21, "frArchive", "Инициализация архива", false},
        {22, "frTimeMode", "Установка автоматического перехода на летнее время", false},
        {23, "frTarif", "Установка числа тарифов", true},
        {24, "frTime", "Установка времени", true},
        {25, "frPulseSpec", "Настройка импульсного выхода", true},
        {26, "frLimit", "Сохранение пределов", false},
        {27, "frLink", "Сохранение настроек соединения", true},
        {28, "frDisplay", "Сохранение настроек индикатора", true},
        {29, "frClockCC", "Сохранение калибровки часов", false},
        {30, "frCC", "Сохранение калибровочных констант", true},
        {31, "frSlice", "Загрузка размера списка энергии в дневных интервалах", false},
        {32, "frSlice", "Загрузка списка энергии в дневных интервалах", false},
        {33, "frSlice", "Загрузка размера списка энергии в месячных интервалах", false},
        {34, "frSlice", "Загрузка списка энергии в месячных интервалах", false},
        {35, "frSlice", "Очистка списка энергии в дневных интервалах", false},
        {36, "frSlice", "Очистка списка энергии в месячных интервалах", false},
        {37, "frCC", "Запуск калибровки по напряжению", true},
        {38, "frCC", "Запуск калибровки по мощности", true},
        {39, "frCC", "Запуск калибровки по фазе", true},
        {40, "frCC", "Запуск калибровки смещения по мощности", true},
        {41, "frCC", "Запуск калибровки стартового тока", true},
        {42, "frCC", "Запись настроек по умолчанию (сброс показаний, архивов)", true},
        {43, nullptr, "Открытие сеанса", true},
        {44, "frHolidays", "Сохранение рассписания праздничных дней", false},
        {45, "frCalendar", "Сохранение тарифного рассписания", true},
        {46, "frPwd", "Получение пароля", false},
        {47, "frPwd", "Сохранение пароля", false},
        {48, nullptr, "Заводская инициализация", true},
        {49, "frDeviceID", "Получение серийного номера", false},
        {50, "frDeviceID", "Сохранение серийного номера", true},
        {51, "frCC", "Тест соответствия параметров", true},
        {52, "frCC3", "Получение калибровочных коэффицентов", true},
        {53, "frMeasures", "Получение измерительных данных трехфазного счетчика", false},
        {54, "frNowMeasures", "Получение мгновенных измерительных данных трехфазного счетчика",
         false},
        {55, "frDisplay", "Получение параметров индикации", false},
        {56, "frDisplay", "Сохранение настроек индикатора", true},
        {57, "frCC3", "", true},
        {58, "frCC3", "", true},
        {59, "frCalendar", "Получение тарифного рассписания трехфазного счетчика", false},
        {60, "frArchive", "Чтение архива", false},
        {61, "frNowMeasures", "Получение данных для построения векторной диаграммы", false},
        {62, nullptr, "Обновление модели счетчика", true},
        {63, "frDeviceID", "Получение серийного номера", false},
    };
    Window t;
    QCOMPARE(int(std::size(rows)), requestkinds::LastKind + 1);
    for (const auto &row : rows) {
        const requestkinds::KindInfo *info = requestkinds::find(row.kind);
        QVERIFY(info);
        QCOMPARE(info->kind, row.kind);
        QWidget *frame = t.w.frameOf(row.kind);
        QCOMPARE(frame ? frame->objectName() : QString(), QString::fromUtf8(row.frame));
        QCOMPARE(requestkinds::title(row.kind), QString::fromUtf8(row.title));
        QCOMPARE(info->group, row.group);
        QCOMPARE(info->followUp, row.kind == 19 || row.kind == 32 || row.kind == 34);
        QCOMPARE(info->ackTimeOut, row.kind == 48 ? 3000 : 0);
    }
    QVERIFY(!requestkinds::find(64));
    QVERIFY(!requestkinds::find(-1));
    QCOMPARE(requestkinds::fixedCommands(43), (QStringList{"01 20", "01 29", "01 21"}));
    QCOMPARE(requestkinds::fixedCommands(15), (QStringList{"06 12", "06 3c", "06 3b"}));
    QCOMPARE(requestkinds::fixedCommands(10), (QStringList{"01 3d", "06 10"}));
    QCOMPARE(requestkinds::fixedCommands(42),
             (QStringList{"02 0d 03", "05 42", "05 43", "05 10", "05 3c", "05 12", "05 3b"}));
    QCOMPARE(requestkinds::fixedCommands(48), QStringList{"02 0d 07"});
    QCOMPARE(requestkinds::fixedCommands(63), (QStringList{"01 44", "09 01"}));
    QCOMPARE(requestkinds::fixedCommands(53).size(), 18);
    QCOMPARE(requestkinds::fixedCommands(54).size(), 21);
    QVERIFY(requestkinds::fixedCommands(24).isEmpty());
}

void TestConfigurator::sessionOpenCommand_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("standard");
    QTest::addColumn<QString>("expected");
    QTest::newRow("administrator, session password") << 1 << true << "08 01 0a 0b 0c 0d 0e 0f ";
    QTest::newRow("developer, meter's own password") << 2 << false << "08 02 31 32 33 00 00 00 ";
}

void TestConfigurator::sessionOpenCommand()
{
    QFETCH(int, level);
    QFETCH(bool, standard);
    QFETCH(QString, expected);
    Window t;
    t.w.setSession(kCom, level, QByteArray::fromHex("0a0b0c0d0e0f"));
    deviceListItem *row = t.add(1);
    row->record().useStdPwd = standard;
    row->record().password = "123";
    t.select(row);
    QCOMPARE(t.w.sessionOpenCommand(), expected);
}

void TestConfigurator::addRange_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QList<int>>("answers"); // none left: cancelled
    QTest::addColumn<int>("first");          // rows: first ... last, address or stand position
    QTest::addColumn<int>("last");
    QTest::newRow("5 to 3 adds nothing") << kCom << QList<int>{5, 3} << 2 << 2;
    QTest::newRow("cancelled") << kCom << QList<int>{5} << 2 << 2;
    QTest::newRow("1 to 4 skips the listed address") << kCom << QList<int>{1, 4} << 1 << 4;
    QTest::newRow("stand 1 to 24 skips the listed position")
        << kStand << QList<int>{1, 24} << 1 << 24;
}

void TestConfigurator::addRange()
{
    QFETCH(int, channel);
    QFETCH(QList<int>, answers);
    QFETCH(int, first);
    QFETCH(int, last);
    Window t;
    t.w.setSession(channel, 1, QByteArray(6, '\x22'));
    const bool stand = channel == kStand;
    // Already listed: address 2, or stand position 5.
    t.add(stand ? 255 : 2, QStringLiteral("210.1"), stand, stand ? 5 : 0);
    QStringList asked;
    t.w.askInt = [&](const QString &title, const QString &label, int value, int min, int max) {
        asked << QStringLiteral("%1|%2|%3|%4|%5").arg(title, label).arg(value).arg(min).arg(max);
        return answers.isEmpty() ? std::nullopt : std::optional<int>(answers.takeFirst());
    };
    t.w.addGroupClick();
    const QString top = stand ? QStringLiteral("24") : QStringLiteral("255");
    QCOMPARE(asked.value(0), "Добавить|Минимальный адрес|1|1|" + top);
    if (asked.size() > 1)
        QCOMPARE(asked[1], "Добавить|Максимальный адрес|" + top + "|1|" + top);
    deviceList *list = t.w.meterList();
    QCOMPARE(list->count(), last - first + 1);
    for (int i = 0; i < list->count(); ++i) {
        const DeviceRecord &r = list->itemAt(i)->record();
        QCOMPARE(r.address, stand ? 255 : first + i);
        QCOMPARE(r.standAddr, stand ? first + i : 0);
        QCOMPARE(r.standMode, stand);
        if (first + i != (stand ? 5 : 2)) {
            QCOMPARE(r.version, QStringLiteral("-"));
            QCOMPARE(r.password, QByteArray(6, '\x22'));
        }
    }
}

void TestConfigurator::loadListFile_data()
{
    QTest::addColumn<QByteArray>("file"); // "-": no such file; "": the dialog is cancelled
    QTest::addColumn<QStringList>("serials");
    QTest::addColumn<QString>("logged");
    QTest::newRow("three, then a 14-character line")
        << QByteArray("000000000000101\n000000000000102\r\n000000000000103\n"
                      "00000000000010\n000000000000105\n")
        << QStringList{"000000000000101", "000000000000102", "000000000000103"} << QString();
    QTest::newRow("first line of 14 characters")
        << QByteArray("00000000000010\n000000000000101\n") << QStringList{}
        << "orange|В файле {file} нет серийных номеров (строк из 15 символов)";
    QTest::newRow("16 characters")
        << QByteArray("0000000000001011") << QStringList{}
        << "orange|В файле {file} нет серийных номеров (строк из 15 символов)";
    QTest::newRow("one meter twice") << QByteArray("000000000000101\n000000000000101")
                                     << QStringList{"000000000000101"} << QString();
    QTest::newRow("cancelled") << QByteArray() << QStringList{} << QString();
    QTest::newRow("no such file") << QByteArray("-") << QStringList{}
                                  << "red|Список счетчиков не загружен из файла {file}: ";
}

void TestConfigurator::loadListFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, serials);
    QFETCH(QString, logged);
    Window t;
    // On the stand too, the meters of a file are bus meters.
    t.w.setSession(kStand, 2, QByteArray(6, '\x22'));
    const QString path = t.work.filePath(QStringLiteral("meters.txt"));
    if (file != "-" && !file.isEmpty()) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file);
    }
    QStringList asked;
    t.w.askOpenFile = [&](const QString &title, const QString &folder, const QString &filter) {
        asked << title + QLatin1Char('|') + folder + QLatin1Char('|') + filter;
        return file.isEmpty() ? QString() : path;
    };
    QStringList lines;
    connect(&t.w, &ControlPanelDialog::log, this, [&](const QString &text, const QColor &colour) {
        lines << (colour == QColor(255, 50, 50)    ? QStringLiteral("red|")
                  : colour == QColor(255, 127, 40) ? QStringLiteral("orange|")
                                                   : QStringLiteral("other|")) +
                     text;
    });
    t.w.findChild<QAction *>(QStringLiteral("actLoadSerialList"))->trigger();

    QCOMPARE(asked, QStringList{"Загрузка файла|" + QDir::currentPath() + "|Text file (*.txt)"});
    deviceList *list = t.w.meterList();
    QStringList got;
    for (int i = 0; i < list->count(); ++i) {
        const DeviceRecord &r = list->itemAt(i)->record();
        got << QString::fromLatin1(r.serialNumber);
        QCOMPARE(r.address, 255);
        QCOMPARE(r.standAddr, 0);
        QVERIFY(!r.standMode);
        QCOMPARE(r.version, QStringLiteral("-"));
        QCOMPARE(r.password, QByteArray(6, '\x22'));
    }
    got.sort();
    QCOMPARE(got, serials);
    QCOMPARE(lines.size(), logged.isEmpty() ? 0 : 1);
    if (!logged.isEmpty())
        QVERIFY2(lines[0].startsWith(QString(logged).replace(QStringLiteral("{file}"), path)),
                 qPrintable(lines[0]));
}

void TestConfigurator::addAndEdit()
{
    Window t;
    t.w.setSession(kCom, 1, QByteArray(6, '\xe1'));
    t.add(5);
    deviceListItem *seven = t.add(7, QStringLiteral("450.22R"));
    auto *address = t.find<QSpinBox>("sbAddr");
    auto *ok = t.find<QPushButton>("pbOk");
    QWidget *editor = address->window();
    const QString taken = QStringLiteral("|Счетчик с таким адресом уже есть в списке");

    t.w.addClick();
    QVERIFY(editor->isVisible());
    address->setValue(5);
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(t.informed, QStringList{"Невозможно добавить" + taken});
    QVERIFY(editor->isVisible());
    address->setValue(9);
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!editor->isVisible());
    QCOMPARE(t.w.meterList()->count(), 3);

    t.select(seven);
    seven->record().sessionOpen = true;
    t.w.editClick();
    QCOMPARE(address->value(), 7);
    address->setValue(5);
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(t.informed.size(), 2);
    QCOMPARE(t.informed.last(), "Невозможно изменить" + taken);
    QCOMPARE(seven->record().address, 7);
    address->setValue(3);
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!editor->isVisible());
    // The row keeps what the meter told it; the list is in order again.
    QCOMPARE(seven->record().address, 3);
    QCOMPARE(seven->record().version, QStringLiteral("450.22R"));
    QVERIFY(seven->record().sessionOpen);
    QCOMPARE(t.w.meterList()->itemAt(0), seven);
}

void TestConfigurator::meterControls()
{
    Window t;
    t.w.setSession(kStand, 2, QByteArray(6, '\xe1'));
    int selected = 0;
    connect(&t.w, &ControlPanelDialog::listSelectedItemClick, this, [&] { ++selected; });
    auto *edit = t.w.findChild<QAction *>(QStringLiteral("actEdit"));
    // True when every meter control and "Изменить" are disabled, false when all are enabled.
    // The address changer's step follows the meter like the others.
    const auto locked = [&] {
        int on = edit->isEnabled();
        const char *const names[] = {"pbLoadMeasures", "pbLoadNowMeasures", "pbLoadDeviceInfo",
                                     "pbAddrTableInput"};
        for (const char *name : names)
            on += t.find(name)->isEnabled();
        return on == 0   ? QStringLiteral("locked")
               : on == 5 ? QStringLiteral("open")
                         : QStringLiteral("mixed");
    };
    QCOMPARE(locked(), QStringLiteral("locked"));
    deviceListItem *standMeter = t.add(255, QStringLiteral("210.1"), true, 3);
    t.select(standMeter);
    QCOMPARE(selected, 1);
    QCOMPARE(locked(), QStringLiteral("locked"));
    // The stand has switched it in.
    t.w.enableMeterControls();
    QCOMPARE(locked(), QStringLiteral("open"));
    t.w.meterList()->deselectAll();
    QCOMPARE(locked(), QStringLiteral("locked"));
    t.w.enableMeterControls();
    QCOMPARE(locked(), QStringLiteral("locked"));
    t.select(t.add(4, QStringLiteral("210.1")));
    QCOMPARE(locked(), QStringLiteral("open"));
    QCOMPARE(selected, 3);
}

void TestConfigurator::opticalTest()
{
    Window t;
    t.select(t.add(1));
    auto *test = t.find<QPushButton>("pbOptoTest");
    QTest::mouseClick(test, Qt::LeftButton);
    QVERIFY(!t.w.meterList()->isEnabled());
    QVERIFY(!t.w.currentItem());
    QVERIFY(!t.w.meterList()->itemAt(0)->record().current);
    t.w.unknownLoadComplate(3);
    t.w.unknownLoadComplate(0);
    QCOMPARE(t.played, QStringList{"/snd/test.wav"});
    QTest::mouseClick(test, Qt::LeftButton);
    QVERIFY(t.w.meterList()->isEnabled());
    t.w.unknownLoadComplate(0);
    QCOMPARE(t.played.size(), 1);
}

void TestConfigurator::clockTicks()
{
    Window t;
    auto *timer = t.w.findChild<QTimer *>(QStringLiteral("clockTimer"));
    auto *current = t.find<QDateTimeEdit>("dteCurrent");
    auto *diff = t.find<QLineEdit>("leTimeDiff");
    // Out of sight it sleeps; on its tab it ticks.
    QVERIFY(!timer->isActive());
    t.w.show();
    auto *tabs = t.find<QTabWidget>("tabWidget");
    auto *clockPage = qobject_cast<QWidget *>(timer->parent());
    tabs->setCurrentIndex(tabs->indexOf(clockPage) == 0 ? 1 : 0);
    QVERIFY(!timer->isActive());
    tabs->setCurrentWidget(clockPage);
    QVERIFY(timer->isActive());
    QVERIFY(!current->isEnabled());
    // Until a time is read the meter's clock is the computer's: an hour behind the time written.
    t.find<QSpinBox>("sbTimeShift")->setValue(1);
    QTRY_COMPARE(diff->text(), QStringLiteral("-0 01:00:00"));
    const QDateTime shown = current->dateTime();
    QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTime().addSecs(3600))) <= 1);

    t.find<QPushButton>("pbCurrentTimeAuto")->click();
    QVERIFY(!timer->isActive());
    QVERIFY(current->isEnabled());
    t.find<QSpinBox>("sbTimeShift")->setValue(5);
    QCOMPARE(diff->text(), QStringLiteral("-0 01:00:00"));
    QCOMPARE(current->dateTime(), shown);
}

void TestConfigurator::clockCoefficient_data()
{
    QTest::addColumn<QString>("name"); // empty: no meter selected
    QTest::addColumn<double>("secondsPerDay");
    QTest::addColumn<int>("coefficient");
    QTest::newRow("single-phase, 0.5 s a day") << "210.1" << 0.5 << 2880;
    QTest::newRow("single-phase, 0.01 s: out of range") << "210.1" << 0.01 << 0;
    QTest::newRow("three-phase, 0") << "450.22R" << 0.0 << 128;
    QTest::newRow("unrecognised") << "ZZ9" << 1.0 << 0;
    QTest::newRow("no meter") << "" << 1.0 << 77;
}

void TestConfigurator::clockCoefficient()
{
    QFETCH(QString, name);
    QFETCH(double, secondsPerDay);
    QFETCH(int, coefficient);
    Window t;
    t.w.setSession(kCom, 2, QByteArray(6, '\xe1'));
    if (!name.isEmpty())
        t.select(t.add(1, name));
    t.find<QSpinBox>("sbClockC")->setValue(77);
    t.find<QDoubleSpinBox>("dsbClockCSec")->setValue(secondsPerDay);
    t.find<QPushButton>("pbCalcClockCC")->click();
    QCOMPARE(t.find<QSpinBox>("sbClockC")->value(), coefficient);
    QVERIFY(!t.w.batchRunning());
}

QTEST_MAIN(TestConfigurator)
#include "tst_configurator.moc"
