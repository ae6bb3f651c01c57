#pragma once

#include <QColor>

// The log's colours by their meaning, as the description gives them. Tests compare with these,
// never with the program's own constants, so a changed colour shows.
namespace palette {

inline const QColor grey(50, 50, 50);         // information, sent frames
inline const QColor blue(0, 170, 230);        // received frames
inline const QColor green(40, 170, 70);       // success, connection states
inline const QColor orange(255, 127, 40);     // notices, warnings
inline const QColor red(255, 50, 50);         // errors, frames with a bad CRC
inline const QColor lightBlue(110, 150, 190); // values listed by the configurator

} // namespace palette
