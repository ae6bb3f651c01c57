#pragma once

#include "job/jobrecord.h"

#include <QByteArray>
#include <QStringList>

// A job's records as text for standard output, one record at a time, so that what was read is
// out even when the job is stopped.
//
// CSV: every line starts with the meter's identity, the operation, the status and the reason
// ("address;serial;position;name;operation;status;reason;"), then the cells of one table row;
// every cell followed by ";" and guarded as the configurator's CSV export guards it; numbers with
// the export's decimal comma. A header line
// names the columns before the first row and again whenever the table's columns change. A record
// without rows (a failure, an empty list) is one line without cells. System 8-bit encoding.
// For a job of many lines every line, header lines too, begins with a "line;" column: the
// channel the record came from ("line;address;...").
//
// JSON lines: one object per record with the keys line (the channel, as the store names it; left
// out only for a record that names none), address, serial, position (null off the
// stand), name, operation, status, reason, columns and rows (arrays of cells, as the tables show
// them); beside them the typed record: meter (address, serial, position, series, model), read_at
// (the computer's time) and values (quantity, value as a number in its unit, unit, tariff, the
// meter's time of the record in ISO 8601 with its offset, record number; events with event,
// code, text). UTF-8.
class RecordWriter
{
public:
    enum class Format { Csv, Json };

    // `withLine`: CSV lines begin with the record's line (a job of many lines).
    explicit RecordWriter(Format format, bool withLine = false)
        : m_format(format), m_withLine(withLine)
    {
    }

    QByteArray write(const JobRecord &record);

private:
    QByteArray csv(const JobRecord &record);
    static QByteArray json(const JobRecord &record);

    Format m_format;
    bool m_withLine;
    // Columns of the last CSV header line; none written yet while unset.
    bool m_headerWritten = false;
    QStringList m_header;
};
