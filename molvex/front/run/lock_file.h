// Where molvex's single-instance lock file lives.
#pragma once

#include <string>

// The lock file from the LockPath key: an absolute folder that must exist, or
// the fixed default. False (after logging why) when the folder is unusable.
bool MolvexLockFileName(std::string& lock_file);
