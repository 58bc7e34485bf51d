// The single-instance lock: an exclusive advisory lock on a lock file, held
// until released or until the process ends. The file itself is never deleted.
#pragma once

extern "C" {

// Returns the lock handle (descriptor + 1), or 0 when the lock is held
// elsewhere or the file cannot be opened. Prints "Pid file:%d" when granted.
int pcc_isUniqueApplication(const char* lock_file, int report);
void pcc_CloseUniqueControlFile(int handle);

}
