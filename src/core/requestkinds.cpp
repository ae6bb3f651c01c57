#include "core/requestkinds.h"

#include "core/measuredecoders.h"

#include <iterator>

namespace requestkinds {

namespace {

#define CMDS(name, ...) const char *const name[] = {__VA_ARGS__};
CMDS(kHolidays, "01 0f")
CMDS(kCalendar, "01 14", "01 15", "01 16", "01 17", "01 18", "01 19", "01 1A", "01 1B", "01 1C",
     "01 1D", "01 1E", "01 1F")
CMDS(kTarif, "01 13")
CMDS(kTime, "01 0E")
CMDS(kTimeMode, "01 23")
CMDS(kLink, "01 29")
CMDS(kDisplay, "01 0B")
CMDS(kLimit, "01 24", "01 25", "01 28", "01 40", "01 41")
CMDS(kPulseSpec, "01 3F")
CMDS(kArchive, "01 3D", "06 10")
CMDS(kClockCC, "01 22")
CMDS(kCC, "01 0c")
CMDS(kListSizes, "06 12", "06 3c", "06 3b")
CMDS(kClearMessages, "05 3b")
CMDS(kClearErrors, "05 12")
CMDS(kClearWarnings, "05 3c")
CMDS(kSliceDaySize, "06 42")
CMDS(kSliceMonthSize, "06 43")
CMDS(kClearSliceDay, "05 42")
CMDS(kClearSliceMonth, "05 43")
CMDS(kResetLists, "02 0d 03", "05 42", "05 43", "05 10", "05 3c", "05 12", "05 3b")
CMDS(kSessionOpen, "01 20", "01 29", "01 21")
CMDS(kFactoryInit, "02 0d 07")
CMDS(kDeviceID, "01 44")
CMDS(kConformityTest, "01 21", "02 0d 09")
CMDS(kCC3, "01 88")
CMDS(kCalendar3, "01 89", "01 8a", "01 8b", "01 8c", "01 8d", "01 8e", "01 8f", "01 90", "01 91",
     "01 92", "01 93", "01 94")
CMDS(kDeviceIDSpec, "01 44", "09 01")
#undef CMDS

#define FIXED(name) name, int(std::size(name)), nullptr
#define BUILT nullptr, 0, nullptr
// The measurement reads keep their commands next to the decoders of their replies.
#define MEASURES(call) nullptr, 0, [] { return measures::call; }

// clang-format off
// kind, frame, title, group, follow-up, ackTimeOut, commands or their builder
const KindInfo kKinds[] = {
    {0, "frMeasures", "Получение измерительных данных однофазного счетчика",
     false, false, 0, MEASURES(energyCommands(MeterSeries::SinglePhase))},
    {1, "frHolidays", "Получение рассписания выходных дней", false, false, 0, FIXED(kHolidays)},
    {2, "frCalendar", "Получение тарифного рассписания", false, false, 0, FIXED(kCalendar)},
    {3, "frTarif", "Получениче числа тарифов", false, false, 0, FIXED(kTarif)},
    {4, "frTime", "Получение даты и времени", false, false, 0, FIXED(kTime)},
    {5, "frTimeMode", "Получение статуса автоматического перехода на летнее время",
     false, false, 0, FIXED(kTimeMode)},
    {6, "frLink", "Получение параметров связи", false, false, 0, FIXED(kLink)},
    {7, "frDisplay", "Получение параметров индикации", false, false, 0, FIXED(kDisplay)},
    {8, "frLimit", "Получение предельных значений работы", false, false, 0, FIXED(kLimit)},
    {9, "frPulseSpec", "Получение параметров импульсного выхода",
     false, false, 0, FIXED(kPulseSpec)},
    {10, "frArchive", "Получение параметров архивов", false, false, 0, FIXED(kArchive)},
    {11, "frNowMeasures", "Получение мгновенных измерительных данных однофазного счетчика",
     false, false, 0, MEASURES(instantCommands(MeterSeries::SinglePhase))},
    {12, "frDeviceInfo", "Получение информации об устройстве",
     false, false, 0, MEASURES(deviceInfoCommands())},
    {13, "frClockCC", "Получение КК часов", false, false, 0, FIXED(kClockCC)},
    {14, "frCC", "Получение калибровочных коэффицентов", true, false, 0, FIXED(kCC)},
    {15, "frList", "Получение размера списков сообщений", false, false, 0, FIXED(kListSizes)},
    {16, "frList", "Очистка списка сообщений", false, false, 0, FIXED(kClearMessages)},
    {17, "frList", "Очистка списка ошибок", false, false, 0, FIXED(kClearErrors)},
    {18, "frList", "Очистка списка предупреждений", false, false, 0, FIXED(kClearWarnings)},
    {19, "frList", "Чтение записей", false, true, 0, BUILT},
    {20, "frArchive", "Чтение архива", false, false, 0, BUILT},
    {21, "frArchive", "Инициализация архива", false, false, 0, BUILT},
    {22, "frTimeMode", "Установка автоматического перехода на летнее время",
     false, false, 0, BUILT},
    {23, "frTarif", "Установка числа тарифов", true, false, 0, BUILT},
    {24, "frTime", "Установка времени", true, false, 0, BUILT},
    {25, "frPulseSpec", "Настройка импульсного выхода", true, false, 0, BUILT},
    {26, "frLimit", "Сохранение пределов", false, false, 0, BUILT},
    {27, "frLink", "Сохранение настроек соединения", true, false, 0, BUILT},
    {28, "frDisplay", "Сохранение настроек индикатора", true, false, 0, BUILT},
    {29, "frClockCC", "Сохранение калибровки часов", false, false, 0, BUILT},
    {30, "frCC", "Сохранение калибровочных констант", true, false, 0, BUILT},
    {31, "frSlice", "Загрузка размера списка энергии в дневных интервалах",
     false, false, 0, FIXED(kSliceDaySize)},
    {32, "frSlice", "Загрузка списка энергии в дневных интервалах", false, true, 0, BUILT},
    {33, "frSlice", "Загрузка размера списка энергии в месячных интервалах",
     false, false, 0, FIXED(kSliceMonthSize)},
    {34, "frSlice", "Загрузка списка энергии в месячных интервалах", false, true, 0, BUILT},
    {35, "frSlice", "Очистка списка энергии в дневных интервалах",
     false, false, 0, FIXED(kClearSliceDay)},
    {36, "frSlice", "Очистка списка энергии в месячных интервалах",
     false, false, 0, FIXED(kClearSliceMonth)},
    {37, "frCC", "Запуск калибровки по напряжению", true, false, 0, BUILT},
    {38, "frCC", "Запуск калибровки по мощности", true, false, 0, BUILT},
    {39, "frCC", "Запуск калибровки по фазе", true, false, 0, BUILT},
    {40, "frCC", "Запуск калибровки смещения по мощности", true, false, 0, BUILT},
    {41, "frCC", "Запуск калибровки стартового тока", true, false, 0, BUILT},
    {42, "frCC", "Запись настроек по умолчанию (сброс показаний, архивов)",
     true, false, 0, FIXED(kResetLists)},
    {43, nullptr, "Открытие сеанса", true, false, 0, FIXED(kSessionOpen)},
    {44, "frHolidays", "Сохранение рассписания праздничных дней", false, false, 0, BUILT},
    {45, "frCalendar", "Сохранение тарифного рассписания", true, false, 0, BUILT},
    {46, "frPwd", "Получение пароля", false, false, 0, BUILT},
    {47, "frPwd", "Сохранение пароля", false, false, 0, BUILT},
    {48, nullptr, "Заводская инициализация", true, false, 3000, FIXED(kFactoryInit)},
    {49, "frDeviceID", "Получение серийного номера", false, false, 0, FIXED(kDeviceID)},
    {50, "frDeviceID", "Сохранение серийного номера", true, false, 0, BUILT},
    {51, "frCC", "Тест соответствия параметров", true, false, 0, FIXED(kConformityTest)},
    {52, "frCC3", "Получение калибровочных коэффицентов", true, false, 0, FIXED(kCC3)},
    {53, "frMeasures", "Получение измерительных данных трехфазного счетчика",
     false, false, 0, MEASURES(energyCommands(MeterSeries::ThreePhase))},
    {54, "frNowMeasures", "Получение мгновенных измерительных данных трехфазного счетчика",
     false, false, 0, MEASURES(instantCommands(MeterSeries::ThreePhase))},
    {55, "frDisplay", "Получение параметров индикации", false, false, 0, BUILT},
    {56, "frDisplay", "Сохранение настроек индикатора", true, false, 0, BUILT},
    {57, "frCC3", nullptr, false, false, 0, BUILT},
    {58, "frCC3", nullptr, true, false, 0, BUILT},
    {59, "frCalendar", "Получение тарифного рассписания трехфазного счетчика",
     false, false, 0, FIXED(kCalendar3)},
    {60, "frArchive", "Чтение архива", false, false, 0, BUILT},
    {61, "frNowMeasures", "Получение данных для построения векторной диаграммы",
     false, false, 0, MEASURES(diagramCommands())},
    {62, nullptr, "Обновление модели счетчика", true, false, 0, BUILT},
    {63, "frDeviceID", "Получение серийного номера", false, false, 0, FIXED(kDeviceIDSpec)},
};
// clang-format on
#undef FIXED
#undef BUILT
#undef MEASURES

static_assert(std::size(kKinds) == LastKind + 1, "one entry per kind");

} // namespace

const KindInfo *find(int kind)
{
    if (kind < 0 || kind > LastKind)
        return nullptr;
    return &kKinds[kind];
}

QStringList fixedCommands(int kind)
{
    QStringList out;
    const KindInfo *info = find(kind);
    if (!info)
        return out;
    if (info->build)
        return info->build();
    for (int i = 0; i < info->commandCount; ++i)
        out << QString::fromLatin1(info->commands[i]);
    return out;
}

} // namespace requestkinds
