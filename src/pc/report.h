// The main log: one monthly file in the log folder, one line per call,
// appended with open, write, close so nothing is lost when the process dies.
#pragma once

#include <cstdarg>

extern "C" {

void ReportString(const char* format, ...) __attribute__((format(printf, 1, 2)));
void vReportString(const char* format, va_list args);
// Logged only when the category (0-49) is enabled by "ExtendedLog_%i" keys.
void ReportStringEx(int category, const char* format, ...) __attribute__((format(printf, 2, 3)));
void EnableReportString(int on);
int IsReportStringEnabled();

// One line in the communication error log ("commerr.log"), the message also in the main log.
void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));

}

// Forgets the extended categories read so far (tests change the keys between cases).
void pcc_ResetExtendedLogForTests();
