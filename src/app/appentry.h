#pragma once

#include <QStringList>

// Developer mode is asked for with a first argument of exactly "dev".
// `arguments` is the whole command line, program name first.
bool isDeveloperMode(const QStringList &arguments);
