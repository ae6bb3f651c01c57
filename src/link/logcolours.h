#pragma once

#include <QColor>

// Colours of log lines by meaning.
namespace logcolour
{

inline const QColor info(50, 50, 50);       // information, sent frames
inline const QColor received(0, 170, 230);  // received frames
inline const QColor success(40, 170, 70);   // success, connection states
inline const QColor notice(255, 127, 40);   // notices, warnings, computed values
inline const QColor error(255, 50, 50);     // errors, aborts, frames with a bad CRC
inline const QColor listing(110, 150, 190); // values listed by the configurator

} // namespace logcolour
