#pragma once

#include <QDateTime>
#include <QList>
#include <QRandomGenerator>
#include <array>

// The lists a meter keeps: three event lists and the periodic records (daily and monthly energy
// slices, the power-profile archive). Periodic records are written as the meter's clock passes
// their boundaries: each access first catches the lists up to the meter's time. Index 0 is the
// oldest record; a full list drops its oldest.
class MeterRecords
{
public:
    enum EventList { Errors, Messages, Warnings };
    enum SliceList { Daily, Monthly };

    struct Event {
        QDateTime at;
        quint16 code = 0;
    };
    struct Slice {
        QDateTime at;
        QList<qint64> registers; // kWh x 100, in the order of the slice reply
    };
    struct ArchiveEntry {
        QDateTime at; // end of the period
        quint16 active = 0;
        quint16 reactive = 0;
    };

    static constexpr int kEventCapacity = 64;
    static constexpr int kDailyCapacity = 45;
    static constexpr int kMonthlyCapacity = 24;
    static constexpr int kArchiveCapacity = 2048;

    explicit MeterRecords(quint32 seed);

    // What the meter measures when a periodic record is written.
    struct Source {
        // Registers as they stand now (kWh x 100): single-phase sum and tariffs 1-4; three-phase
        // active sum, tariffs 1-8, reactive sum, tariffs 1-8.
        QList<qint64> registers;
        int activeCount = 5; // how many of them are active energy
        double kw = 0;
        double kvar = 0;
        // Archive units per kWh (and per kvarh).
        double archiveUnits = 5000;
    };

    // Leaves the periodic lists so that catching up to `now` writes the given numbers of records.
    void startHistory(const QDateTime &now, int daily, int monthly, int archive);
    void catchUp(const QDateTime &now, const Source &source);

    void addEvent(EventList list, const QDateTime &at, quint16 code);
    const QList<Event> &events(EventList list) const { return m_events[size_t(list)]; }
    void clearEvents(EventList list);

    const QList<Slice> &slices(SliceList list) const { return m_slices[size_t(list)]; }
    void clearSlices(SliceList list, const QDateTime &now);

    const QList<ArchiveEntry> &archive() const { return m_archive; }
    void clearArchive(const QDateTime &now);
    int archivePeriod() const { return m_period; }
    // A new period starts from the current period boundary; the records stay.
    void setArchivePeriod(int minutes, const QDateTime &now);

private:
    QDateTime nextBoundary(int kind, const QDateTime &after) const;
    QDateTime lastBoundary(int kind, const QDateTime &now) const;
    Slice sliceAt(const QDateTime &at, const QDateTime &now, const Source &source) const;

    std::array<QList<Event>, 3> m_events;
    std::array<QList<Slice>, 2> m_slices;
    QList<ArchiveEntry> m_archive;
    // Last boundary written (or passed) per periodic list: daily, monthly, archive.
    std::array<QDateTime, 3> m_last;
    int m_period = 30;
    QRandomGenerator m_random;
};
