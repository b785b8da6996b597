#pragma once

#include <QPalette>

// The light and dark colours of every Brimfold window, complete for every role the house
// style and the widgets read, so a switch needs no restart and leaves no role behind.
namespace AppearancePalette {

QPalette light();
QPalette dark();

} // namespace AppearancePalette
