#pragma once

#include "config/configpage.h"
#include "core/tariffschedule.h"

namespace Ui {
class TarifPage;
}
class QMenu;
class QStandardItemModel;

// Page "Тариф": the tariff schedule, the holidays and the number of tariffs, and their files.
//
// The schedule lives in the page's store, one table per zone count, whichever meter is selected;
// the month table shows one month of the table of the current meter's series, or of the table a
// file brought in.
class TarifPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit TarifPage(PageHost *host, QWidget *parent = nullptr);
    ~TarifPage() override;
    void applySeries(MeterSeries series) override;

    // Zones per month of the table shown (8 or 16).
    int shownZones() const { return m_zones; }
    const tariff::Schedule &schedule() const { return m_schedule; }

public slots:
    void loadCalendarClick();
    // Writes the shown table to the current meter, if it is of the meter's series.
    void saveCalendar();
    void saveCalendarAll();
    void loadHolidaysClick();
    void saveHolidays();
    void loadTarifClick();
    void SaveTarifClick();
    void SaveTarifClickAll();
    // Draws the month chosen in "Отобразить месяц:" from the table of the current meter's series.
    void updateCalendarMonth();
    void tableCalendarUpdated();
    void tableHolidaysUpdated();
    void showCalendarMenu();
    void copyToAllMouth();
    void copyToSeason();
    void saveCalendarFile();
    void loadCalendarFile();
    void saveHolidaysFile();
    void loadHolidaysFile();

private:
    void drawCalendar();
    void months(const QList<QByteArray> &replies, int zones);
    QStringList holidayCells() const;
    void showHolidays(const QStringList &cells);
    void copyMonth(const QList<int> &into);
    // The schedule write of `zones` rows for the meter being worked; a meter of the other series
    // is refused.
    void writeCalendar(int zones, const tariff::Table &table, bool display);

    Ui::TarifPage *ui;
    QStandardItemModel *m_calendar;
    QStandardItemModel *m_holidays;
    QMenu *m_menu;
    tariff::Schedule m_schedule;
    int m_zones;
    // The page itself is filling a table: its edits are not the user's.
    bool m_drawing = false;
};
