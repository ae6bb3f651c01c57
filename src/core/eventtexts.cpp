#include "core/eventtexts.h"

#include "core/catalogue.h"

#include <QCoreApplication>

namespace eventtexts {

namespace {

struct Entry
{
    quint16 code;
    const char *text;
};

#define TEXT(text) QT_TRANSLATE_NOOP("eventtexts", text)

const Entry kMessages1[] = {
    {0x8000, TEXT("Сброс на заводские установки")},
    {0x4000, TEXT("Изменение тарифного расписания")},
    {0x2000, TEXT("Изменение праздничного расписания")},
    {0x1000, TEXT("Сброс энергий")},
    {0x0800, TEXT("Инициализация массива срезов")},
    {0x0400, TEXT("Изменение адреса счетчика")},
    {0x0200, TEXT("Изменение пароля уровня пользователя")},
    {0x0100, TEXT("Изменение пароля уровня администратора")},
    {0x0080, TEXT("Изменение пароля уровня разработчика")},
    {0x0040, TEXT("Блокирование пароля")},
    {0x0020, TEXT("Включение режима поверки")},
    {0x0010, TEXT("Выключение режима поверки")},
    {0x0008, TEXT("Инициализация списков событий")},
    {0x0004, TEXT("Установка даты/времени")},
};

const Entry kMessages3[] = {
    {0x8000, TEXT("Сброс на заводские установки")},
    {0x4000, TEXT("Изменение тарифного расписания")},
    {0x2000, TEXT("Изменение праздничного расписания")},
    {0x1000, TEXT("Сброс энергий")},
    {0x0800, TEXT("Инициализация профиля мощности")},
    {0x0400, TEXT("Инициализация списков событий")},
    {0x0200, TEXT("Изменение адреса счетчика")},
    {0x0100, TEXT("Изменение пароля уровня пользователя")},
    {0x0080, TEXT("Изменение пароля уровня администратора")},
    {0x0040, TEXT("Изменение пароля уровня разработчика")},
    {0x0020, TEXT("Блокирование пароля")},
    {0x0010, TEXT("Включение режима поверки")},
    {0x0008, TEXT("Выключение режима поверки")},
    {0x0004, TEXT("Включение нагрузки")},
    {0x0002, TEXT("Выключение нагрузки")},
};

const Entry kErrors1[] = {
    {0x8000, TEXT("Разряжена батарея")},
    {0x4000, TEXT("Ошибка записи в EEPROM")},
    {0x2000, TEXT("Ошибка ЧРВ")},
};

const Entry kErrors3[] = {
    {0x8000, TEXT("Разряжена батарея")},
    {0x4000, TEXT("Ошибка записи в EEPROM")},
    {0x2000, TEXT("Ошибка ЧРВ")},
    {0x1000, TEXT("Неверное тарифное расписание")},
};

const Entry kWarnings1[] = {
    {0x8000, TEXT("Реверсивное потребление энергии")},
    {0x4000, TEXT("Некорректная дата/время")},
    {0x2000, TEXT("Превышен порог по мощности")},
    {0x1000, TEXT("Выход за пределы порога по напряжению")},
    {0x0800, TEXT("Выход за пределы порога по частоте")},
    {0x0400, TEXT("Нагрузка выключена")},
    {0x0200, TEXT("Нагрузка включена")},
    {0x0100, TEXT("Некорректное тарифное расписание")},
    {0x0080, TEXT("Открытие клеммной крышки")},
};

// The phase letters are Cyrillic.
const Entry kWarnings3[] = {
    {0x8000, TEXT("Выключение счетчика")},
    {0x4000, TEXT("Включение счетчика")},
    {0x2000, TEXT("Реверсивное потребление энергии по фазе А")},
    {0x1000, TEXT("Реверсивное потребление энергии по фазе В")},
    {0x0800, TEXT("Реверсивное потребление энергии по фазе С")},
    {0x0400, TEXT("Пропадание напряжения по фазе А")},
    {0x0200, TEXT("Пропадание напряжения по фазе В")},
    {0x0100, TEXT("Пропадание напряжения по фазе С")},
    {0x0080, TEXT("Восстановление напряжения по фазе А")},
    {0x0040, TEXT("Восстановление напряжения по фазе В")},
    {0x0020, TEXT("Восстановление напряжения по фазе С")},
    {0x0010, TEXT("Выход за пределы порога по напряжению")},
    {0x0008, TEXT("Выход за пределы порога по частоте")},
    {0x0004, TEXT("Превышен порог по мощности")},
    {0x0002, TEXT("Вскрытие крышки счетчика")},
    {0x0001, TEXT("Воздействие магнитным полем")},
};

#undef TEXT

struct Table
{
    const Entry *first = nullptr;
    int count = 0;
    bool wholeCode = false;
};

template <int N> Table table(const Entry (&entries)[N], bool wholeCode = false)
{
    return {entries, N, wholeCode};
}

Table tableOf(int list, MeterSeries series)
{
    const bool single = series == MeterSeries::SinglePhase;
    if (series == MeterSeries::Unrecognised)
        return {};
    switch (list) {
    case catalogue::MessageList:
        return single ? table(kMessages1) : table(kMessages3);
    case catalogue::ErrorList:
        return single ? table(kErrors1, true) : table(kErrors3, true);
    case catalogue::WarningList:
        return single ? table(kWarnings1) : table(kWarnings3);
    default:
        return {};
    }
}

} // namespace

QString text(int list, MeterSeries series, quint16 code)
{
    if (code == 0)
        return QStringLiteral("-");
    const Table t = tableOf(list, series);
    QString out;
    for (int i = 0; i < t.count; ++i) {
        const Entry &e = t.first[i];
        if (t.wholeCode ? code != e.code : !(code & e.code))
            continue;
        const QString words = QCoreApplication::translate("eventtexts", e.text);
        out += out.isEmpty() ? words : QStringLiteral(", ") + words.toLower();
    }
    return out;
}

} // namespace eventtexts
