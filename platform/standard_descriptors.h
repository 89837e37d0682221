#pragma once
// Standard input, output and error as a started process may find them: a script or a cron
// line may start it with any of them closed (2>&-). Then the next descriptor the process
// opens (a pipe, the X connection) takes the free number, and what is written to standard
// error lands in that stream. Free of Qt.
//
// Main thread, first thing in main: nothing may have opened a descriptor before.

namespace platform {

// Opens each of descriptors 0, 1 and 2 that is closed on the null device (0 for reading,
// 1 and 2 for writing), so that no later descriptor can take their numbers. False when the
// null device cannot be opened: the process cannot run safely.
bool OpenClosedStandardDescriptors();

} // namespace platform
