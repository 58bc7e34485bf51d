// The scheduler: a single background instance that starts the payment
// program with the configured command whenever the schedule comes due.
#pragma once

#include <cstdint>

// Its own lock, whatever LockPath says: one scheduler per machine.
constexpr const char* kSchedulerLockFile = "/var/lock/kvto-tarn-pos-scheduler.lock";
constexpr const char* kScheduledProgram = "./molvex";

// Test-only: when set to a number of milliseconds, every second that the
// scheduler waits lasts that long instead, so that tests can run a schedule
// of minutes in a moment. Never set in a cash desk's environment.
constexpr const char* kTestSecondEnv = "ZORDEL_TEST_MSEC_PER_SECOND";

extern "C" {

// 0 after the schedule loop has ended, -1 when another scheduler holds the lock.
int ZordelMain(int argc, char* argv[]);

}

// How long one second of waiting lasts, from the environment: 1000 unless the
// test-only variable holds a number from 0 to 1000.
uint32_t zordel_MsecPerSecond();
