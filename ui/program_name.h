#pragma once
// The program's name: on its windows and message boxes, in the file names it offers and as
// the application of its profile.

namespace ui {

inline constexpr char kProgramName[] = "Jetvane";

} // namespace ui
