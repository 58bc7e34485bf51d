// The host's runner for external programs: starts a program with its
// arguments in a working folder, waits for it within a time limit (ending it
// when the limit runs out) and keeps its exit code and output. The waiting
// thread is blocked; a timer callback runs on it at a fixed period meanwhile.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class ExternalProcessThread {
 public:
  // The same numbers as QProcess::ProcessError.
  enum Error : int {
    NoError = -1,
    FailedToStart = 0,
    Crashed = 1,
    Timedout = 2,
    ReadError = 3,
    WriteError = 4,
    UnknownError = 5,
  };

  // timeLimitMs <= 0: no time limit.
  ExternalProcessThread(const QString& program, const QStringList& arguments, qint64 timeLimitMs,
                        const QString& workingDirectory);

  ExternalProcessThread(const ExternalProcessThread&) = delete;
  ExternalProcessThread& operator=(const ExternalProcessThread&) = delete;

  // callback runs every periodMs while exec() waits.
  void createTimer(std::function<void()> callback, int periodMs = 1000);

  // Runs the program; true when it ran to its end (whatever its exit code),
  // false when it did not start, crashed or was ended at the time limit.
  bool exec();

  int error() const { return error_; }
  int exitCode() const { return exitCode_; }
  const QString& standardOutput() const { return standardOutput_; }
  const QString& standardError() const { return standardError_; }

 private:
  QString program_;
  QStringList arguments_;
  qint64 timeLimitMs_;
  QString workingDirectory_;
  std::function<void()> timerCallback_;
  int timerPeriodMs_ = 1000;

  int error_ = NoError;
  int exitCode_ = -1;
  QString standardOutput_;
  QString standardError_;
};
