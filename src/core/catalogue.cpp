#include "core/catalogue.h"

#include "core/hextext.h"

#include <QCoreApplication>

namespace catalogue {

namespace {

#define TITLE(text) QT_TRANSLATE_NOOP("catalogue", text)

const char kInstant1[] = TITLE("Получение мгновенных измерительных данных однофазного счетчика");
const char kEnergy1[] = TITLE("Получение измерительных данных однофазного счетчика");
const char kInstant3[] = TITLE("Получение мгновенных измерительных данных трехфазного счетчика");
const char kEnergy3[] = TITLE("Получение измерительных данных трехфазного счетчика");
const char kCalibrationRead[] = TITLE("Получение калибровочных коэффицентов");
const char kLimitsRead[] = TITLE("Получение предельных значений работы");
const char kLimitsWrite[] = TITLE("Сохранение пределов");
const char kScheduleWrite[] = TITLE("Сохранение тарифного рассписания");
const char kCalibrationWrite[] = TITLE("Сохранение калибровочных констант");

const FunctionEntry kFunctions[] = {
    {Read, "read object"},
    {Write, "write object"},
    {ClearList, "clear a list"},
    {ListSize, "read the number of records of a list"},
    {ArchiveRecord, "read one archive record"},
    {OpenSession, "open a session"},
    {CloseSession, "close a session"},
    {SetClock, "set date and time"},
    {EventRecord, "read one event record"},
    {SliceRecord, "read one energy slice record"},
};

const ObjectEntry kRead[] = {
    {0x01, 0x01, "voltage, single-phase, V x 1000", kInstant1},
    {0x02, 0x02, "current, single-phase, A x 1000", kInstant1},
    {0x03, 0x03, "active power, single-phase, W x 1000", kInstant1},
    {0x04, 0x04, "active energy total, single-phase, kWh x 100, swapped digits", kEnergy1},
    {0x05, 0x08, "active energy of tariffs 1-4, single-phase", kEnergy1},
    {0x0a, 0x0a, "tariff in force", nullptr},
    {0x0b, 0x0b, "display settings", TITLE("Получение параметров индикации")},
    {0x0c, 0x0c, "calibration coefficients, single-phase", kCalibrationRead},
    {0x0e, 0x0e, "date and time", TITLE("Получение даты и времени")},
    {0x0f, 0x0f, "holiday schedule", TITLE("Получение рассписания выходных дней")},
    {0x13, 0x13, "number-of-tariffs selector index", TITLE("Получениче числа тарифов")},
    {0x14, 0x1f, "tariff schedule of months 1-12, single-phase",
     TITLE("Получение тарифного рассписания")},
    {0x20, 0x20, "device name", TITLE("Получение информации об устройстве")},
    {0x21, 0x21, "software version", nullptr},
    {0x22, 0x22, "clock calibration coefficient", TITLE("Получение КК часов")},
    {0x23, 0x23, "automatic daylight-saving switch",
     TITLE("Получение статуса автоматического перехода на летнее время")},
    {0x24, 0x25, "lower and upper voltage limit", kLimitsRead},
    {0x28, 0x28, "power limit", kLimitsRead},
    {0x29, 0x29, "link parameters: address, attempts, baud, hold minutes, block minutes",
     TITLE("Получение параметров связи")},
    {0x2a, 0x2c, "password of the user, administrator, developer level", TITLE("Получение пароля")},
    {0x39, 0x39, "backup battery voltage, V x 1000 (16 bits three-phase)", nullptr},
    {0x3a, 0x3a, "starting current", TITLE("Запуск калибровки стартового тока")},
    {0x3d, 0x3d, "archive integration period, minutes", TITLE("Получение параметров архивов")},
    {0x3e, 0x3e, "software digital identifier; the search probe", nullptr},
    {0x3f, 0x3f, "pulse output mode", TITLE("Получение параметров импульсного выхода")},
    {0x40, 0x41, "relay, load threshold", kLimitsRead},
    {0x44, 0x44, "serial number", TITLE("Получение серийного номера")},
    {0x64, 0x66, "voltage of phases A, B, C, V x 1000", kInstant3},
    {0x67, 0x69, "current of phases A, B, C, A x 1000", kInstant3},
    {0x6a, 0x6d, "active power of phases A, B, C and sum, W x 100", kInstant3},
    {0x6e, 0x71, "reactive power of phases A, B, C and sum, x 100", kInstant3},
    {0x72, 0x75, "apparent power of phases A, B, C and sum, x 100", kInstant3},
    {0x76, 0x76, "active energy total, three-phase, kWh x 100, swapped digits", kEnergy3},
    {0x77, 0x7e, "active energy of tariffs 1-8, three-phase", kEnergy3},
    {0x7f, 0x7f, "reactive energy total, three-phase", kEnergy3},
    {0x80, 0x87, "reactive energy of tariffs 1-8, three-phase", kEnergy3},
    {0x88, 0x88, "calibration coefficients, three-phase", kCalibrationRead},
    {0x89, 0x94, "tariff schedule of months 1-12, three-phase",
     TITLE("Получение тарифного рассписания трехфазного счетчика")},
};

const ObjectEntry kWritten[] = {
    {0x0b, 0x0b, "display settings", TITLE("Сохранение настроек индикатора")},
    {0x0c, 0x0c, "calibration coefficients, single-phase", kCalibrationWrite},
    {0x0d, 0x0d, "service command, one sub-command byte", nullptr},
    {0x0f, 0x0f, "holiday schedule", TITLE("Сохранение рассписания праздничных дней")},
    {0x13, 0x13, "number-of-tariffs selector index", TITLE("Установка числа тарифов")},
    {0x14, 0x1f, "tariff schedule of months 1-12, single-phase", kScheduleWrite},
    {0x20, 0x20, "meter model", TITLE("Обновление модели счетчика")},
    {0x22, 0x22, "clock calibration coefficient", TITLE("Сохранение калибровки часов")},
    {0x23, 0x23, "automatic daylight-saving switch",
     TITLE("Установка автоматического перехода на летнее время")},
    {0x24, 0x25, "lower and upper voltage limit", kLimitsWrite},
    {0x28, 0x28, "power limit", kLimitsWrite},
    {0x29, 0x29, "link parameters, after service command 05",
     TITLE("Сохранение настроек соединения")},
    {0x2a, 0x2c, "password of the user, administrator, developer level",
     TITLE("Сохранение пароля")},
    {0x3d, 0x3d, "archive integration period", TITLE("Инициализация архива")},
    {0x3f, 0x3f, "pulse output mode", TITLE("Настройка импульсного выхода")},
    {0x40, 0x41, "relay, load threshold", kLimitsWrite},
    {0x44, 0x44, "serial number", TITLE("Сохранение серийного номера")},
    {0x88, 0x88, "calibration coefficients, three-phase", nullptr},
    {0x89, 0x94, "tariff schedule of months 1-12, three-phase", kScheduleWrite},
};

const ServiceEntry kService[] = {
    {0x03, "reset to defaults, readings and archives",
     TITLE("Запись настроек по умолчанию (сброс показаний, архивов)"), TITLE("Сброс показаний")},
    {0x04, "after writing calibration coefficients", kCalibrationWrite, nullptr},
    {0x05, "before writing the link parameters", nullptr, nullptr},
    {0x06, "before reading the battery voltage, three-phase", nullptr, nullptr},
    {0x07, "factory initialisation, reply within 3000 ms", TITLE("Заводская инициализация"),
     TITLE("Заводская инициализация")},
    {0x08, "show the address on the meter's display", nullptr, TITLE("Отобразить адрес")},
    {0x09, "parameter conformity test", TITLE("Тест соответствия параметров"), nullptr},
};

const char kEventSizes[] = TITLE("Получение размера списков сообщений");
const char kEventRecords[] = TITLE("Чтение записей");

const ListEntry kLists[] = {
    {ArchiveList, "archive (power profile)", ArchiveRecord, nullptr, TITLE("Чтение архива"),
     nullptr},
    {ErrorList, "errors", EventRecord, kEventSizes, kEventRecords, TITLE("Очистка списка ошибок")},
    {MessageList, "messages", EventRecord, kEventSizes, kEventRecords,
     TITLE("Очистка списка сообщений")},
    {WarningList, "warnings", EventRecord, kEventSizes, kEventRecords,
     TITLE("Очистка списка предупреждений")},
    {DaySliceList, "energy in daily intervals", SliceRecord,
     TITLE("Загрузка размера списка энергии в дневных интервалах"),
     TITLE("Загрузка списка энергии в дневных интервалах"),
     TITLE("Очистка списка энергии в дневных интервалах")},
    {MonthSliceList, "energy in monthly intervals", SliceRecord,
     TITLE("Загрузка размера списка энергии в месячных интервалах"),
     TITLE("Загрузка списка энергии в месячных интервалах"),
     TITLE("Очистка списка энергии в месячных интервалах")},
};

const OperationEntry kOperations[] = {
    {Operation::OpenSession, TITLE("Открытие сеанса")},
    {Operation::CloseSession, TITLE("Закрытие сесии")},
    {Operation::SetClock, TITLE("Установка времени")},
    {Operation::VectorDiagram, TITLE("Получение данных для построения векторной диаграммы")},
    {Operation::CalibrateVoltage, TITLE("Запуск калибровки по напряжению")},
    {Operation::CalibratePower, TITLE("Запуск калибровки по мощности")},
    {Operation::CalibratePhase, TITLE("Запуск калибровки по фазе")},
    {Operation::CalibratePowerOffset, TITLE("Запуск калибровки смещения по мощности")},
    {Operation::CalibrateCurrent, TITLE("Запуск калибровки по току")},
    {Operation::CalibrateActivePower, TITLE("Запуск калибровки по активной мощности")},
    {Operation::CalibrateApparentPower, TITLE("Запуск калибровки по полной мощности")},
    {Operation::CalibrateReactivePower, TITLE("Запуск калибровки по реактивной мощности")},
};

#undef TITLE

template <typename T, int N> Table<T> table(const T (&entries)[N])
{
    return {entries, N};
}

QString titleOf(Table<ObjectEntry> objects, int object)
{
    for (const ObjectEntry &e : objects)
        if (object >= e.first && object <= e.last)
            return e.title ? QCoreApplication::translate("catalogue", e.title) : QString();
    return QString();
}

QString translated(const char *title)
{
    return title ? QCoreApplication::translate("catalogue", title) : QString();
}

QString listTitle(int list, const char *const ListEntry::*which)
{
    for (const ListEntry &e : kLists)
        if (e.object == list)
            return translated(e.*which);
    return QString();
}

QString pair(int byte)
{
    return hextext::fromBytes(QByteArray(1, char(byte))).trimmed();
}

QString recordRead(int function, int list, int index)
{
    return command(function, list) + QLatin1Char(' ') + hexValue(index & 0xff) + QLatin1Char(' ') +
           (index > 0xff ? hexValue((index >> 8) & 0xff) : QStringLiteral("00"));
}

} // namespace

Table<FunctionEntry> functions()
{
    return table(kFunctions);
}

Table<ObjectEntry> objectsRead()
{
    return table(kRead);
}

Table<ObjectEntry> objectsWritten()
{
    return table(kWritten);
}

Table<ServiceEntry> serviceCommands()
{
    return table(kService);
}

Table<ListEntry> lists()
{
    return table(kLists);
}

Table<OperationEntry> operations()
{
    return table(kOperations);
}

QString hexValue(int value)
{
    return QString::number(value, 16);
}

QString command(int function, int object)
{
    return pair(function) + QLatin1Char(' ') + pair(object);
}

QString serviceCommand(int subCommand)
{
    return command(Write, kServiceObject) + QLatin1Char(' ') + pair(subCommand);
}

QString sessionClose()
{
    return command(CloseSession, 0x01);
}

QString listSizeRead(int list)
{
    return command(ListSize, list);
}

QString listClear(int list)
{
    return command(ClearList, list);
}

QString eventRecordRead(int list, int index)
{
    return recordRead(EventRecord, list, index);
}

QString sliceRecordRead(int list, int index)
{
    return recordRead(SliceRecord, list, index);
}

QString archiveRecordRead(int record)
{
    return command(ArchiveRecord, 0x10) + QLatin1Char(' ') + hexValue(record & 0xff) +
           QLatin1Char(' ') + hexValue((record >> 8) & 0xff);
}

QString archivePeriodWrite(int minutes)
{
    return command(Write, 0x3d) + QLatin1Char(' ') + hexValue(minutes);
}

QString readTitle(int object)
{
    return titleOf(objectsRead(), object);
}

QString writeTitle(int object)
{
    return titleOf(objectsWritten(), object);
}

QString serviceTitle(int subCommand)
{
    for (const ServiceEntry &e : kService)
        if (e.subCommand == subCommand && e.title)
            return QCoreApplication::translate("catalogue", e.title);
    return QString();
}

QString listSizeTitle(int list)
{
    return listTitle(list, &ListEntry::sizeTitle);
}

QString listRecordTitle(int list)
{
    return listTitle(list, &ListEntry::recordTitle);
}

QString listClearTitle(int list)
{
    return listTitle(list, &ListEntry::clearTitle);
}

QString operationTitle(Operation operation)
{
    for (const OperationEntry &e : kOperations)
        if (e.operation == operation)
            return translated(e.title);
    return QString();
}

} // namespace catalogue
