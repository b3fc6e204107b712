// Named temporaries that an interrupting signal (Ctrl+C, a kill) must not
// leave behind. The safe save registers a named temporary while it exists;
// handlers of SIGINT, SIGTERM, SIGHUP and SIGQUIT remove every registered
// name before the signal takes its course.
#pragma once

#include <string>

namespace levelnet {

// Registers the temporary `name` in the folder open as `directory`; the slot
// (-1 when none is free or the name is too long: the file is then only
// removed as usual). Installs the handlers on first use.
int registerTemporary(int directory, const std::string& name);

// The temporary of `slot` is gone (renamed or removed); -1 is no slot.
void unregisterTemporary(int slot);

}  // namespace levelnet
