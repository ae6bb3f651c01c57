#include "app/appentry.h"

bool isDeveloperMode(const QStringList &arguments)
{
    return arguments.size() >= 2 && arguments.at(1) == QLatin1String("dev");
}
