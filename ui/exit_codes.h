#pragma once
// Process exit codes of an unattended (SILENT) run. The calling program reads only these.
// Every code travels as the quit code of the main dialog's loop (PostQuitMessage), except
// where the command line alone decides: EXIT_CODE_COMMAND_ERROR, and the BAD_REQUEST and
// FILE_ERROR of a refused request, end the process before any window exists.

inline constexpr int EXIT_CODE_SUCCESS = 0;
// A command line that is present but names no complete request (verb and file).
inline constexpr int EXIT_CODE_BAD_REQUEST = 10;
// The command-line file is refused by its name or cannot be loaded.
inline constexpr int EXIT_CODE_FILE_ERROR = 11;
// The command line cannot be parsed, or the command cannot be handed to the printer found.
inline constexpr int EXIT_CODE_COMMAND_ERROR = 12;
inline constexpr int EXIT_CODE_OPERATION_FAILED = 20;
inline constexpr int EXIT_CODE_DEVICE_NOT_FOUND = 21;

