// Starting other programs of the suite.
#pragma once

#include <sys/types.h>

extern "C" {

// Runs "command arguments" through the shell in a child process without
// waiting. 0 when started (pid stored if asked), -1 when the fork failed.
int pcc_CallHiddenProcess(const char* command, const char* arguments, pid_t* pid);
// Runs executable with arguments 1..count-1 of argv and waits for it; always 0.
int pcc_ForkHiddenProcess(const char* executable, int count, char* const argv[]);
// Waits until the child has ended, stopped or continued; -1 when waiting failed.
int pcc_WaitForProcess(pid_t pid);
// Sleeps for the whole seconds of milliseconds; returns 1.
int pcc_WaitForTimer(unsigned milliseconds);

}
