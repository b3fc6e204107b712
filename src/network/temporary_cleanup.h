// Named temporaries that an interrupting signal (Ctrl+C, a kill) must not
// leave behind. The safe save registers a named temporary while it exists;
// handlers of SIGINT, SIGTERM, SIGHUP and SIGQUIT (on Windows, of the
// console's Ctrl+C, Ctrl+Break and close events) remove every registered
// name before the signal takes its course.
#pragma once

#include <string>

namespace levelnet {

// Registers the temporary `name` in the folder open as `directory`; the slot
// (-1 when none is free or the name is too long: the file is then only
// removed as usual). Installs the handlers on first use.
#if defined(_WIN32)
int registerTemporary(const std::wstring& path);  // the full path
#else
int registerTemporary(int directory, const std::string& name);
#endif

// The temporary of `slot` is gone (renamed or removed); -1 is no slot.
void unregisterTemporary(int slot);

}  // namespace levelnet
