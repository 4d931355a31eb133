// The names of the temporary files this process holds (outputs being
// written, swap blocks), kept where a signal handler can reach them: a second
// Ctrl+C ends the program at once and must not leave them behind.
#pragma once

#include <string>

namespace pixmill::temporary_files {

// Records a name; returns its slot, or -1 when the table is full or the name
// too long (the file is then only removed by its owner).
int Register(const std::string& path);
// Forgets a slot (the owner removed or renamed the file); -1 is ignored.
void Unregister(int slot);
// Removes every recorded file. Async-signal-safe: only unlink(2) is called.
void RemoveAll();

// A worker process also writes every name it records into the journal fd,
// so that its parent can remove what it left if it dies (-1: no journal).
void JournalTo(int fd);
// The parent's side: removes every file the journal names that still
// exists (a finished writer has renamed or removed its own); returns how
// many were removed.
int RemoveJournaled(int fd);

} // namespace pixmill::temporary_files
