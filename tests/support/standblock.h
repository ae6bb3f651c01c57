#pragma once

#include "metersim/standswitch.h"

// The stand's switching block of the tests is the virtual meter line's own.
using StandBlock = StandSwitch;
