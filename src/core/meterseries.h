#pragma once

#include <QString>

// Which family a meter belongs to, judged from its device name each time it matters: the
// commands and reply layouts of most operations differ between the two.
enum class MeterSeries { Unrecognised, SinglePhase, ThreePhase };

// "210" is single-phase (even when "450" appears too); otherwise "450" or "430" is three-phase.
MeterSeries meterSeriesOf(const QString &deviceName);

// Three-phase model variant: 42, 22 or 21 when the name contains ".42", ".22" or ".21" (first
// match in that order), 0 when none.
int threePhaseVariant(const QString &deviceName);
