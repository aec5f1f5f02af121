// The shell's execute function, as the program finds it in "shell32.dll"
// (see DynamicLibrary.h) under the name "ShellExecuteExA". It opens a
// document, file or web address with the desktop's opener, xdg-open, and
// never waits for it. ORVEL_SHELL_OPENER, when set, names the program to run
// in its place (tests record the launch with it).
#pragma once

namespace platform {

// What the caller asks the shell to do. Fill a zeroed record.
struct ShellExecuteRecord {
    unsigned size;     // the caller's record size; not checked
    unsigned mask;     // option flags; the opener is never waited for, so none change anything
    const char* verb;  // null, "" or "open": open the file; other verbs are not offered
    const char* file;  // what to open
    int show;          // the window state asked for; the opener decides
};

using ShellExecuteFunction = int (*)(ShellExecuteRecord* record);

// Starts the opener on record->file; nonzero when it was started.
int shellExecute(ShellExecuteRecord* record);

}  // namespace platform
