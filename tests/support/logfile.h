#pragma once

#include <QString>
#include <QStringList>

// The day's log files under `dir`/log as text lines: tags and time stamps cut off, empty lines
// left out.
QStringList logFileLines(const QString &dir);
