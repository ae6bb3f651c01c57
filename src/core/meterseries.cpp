#include "core/meterseries.h"

MeterSeries meterSeriesOf(const QString &deviceName)
{
    if (deviceName.contains(QLatin1String("210")))
        return MeterSeries::SinglePhase;
    if (deviceName.contains(QLatin1String("450")) || deviceName.contains(QLatin1String("430")))
        return MeterSeries::ThreePhase;
    return MeterSeries::Unrecognised;
}

int threePhaseVariant(const QString &deviceName)
{
    for (const int variant : {42, 22, 21})
        if (deviceName.contains(QLatin1String(".") + QString::number(variant)))
            return variant;
    return 0;
}
