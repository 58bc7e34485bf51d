#include "ExternalProcessThread.h"

#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>

namespace {
// How long one wait lasts before the timer and the deadline are looked at.
constexpr qint64 kSliceMs = 50;
// How long a process asked to terminate gets before it is killed.
constexpr int kTerminateGraceMs = 1000;
}  // namespace

ExternalProcessThread::ExternalProcessThread(const QString& program, const QStringList& arguments,
                                             qint64 timeLimitMs, const QString& workingDirectory)
    : program_(program),
      arguments_(arguments),
      timeLimitMs_(timeLimitMs),
      workingDirectory_(workingDirectory) {}

void ExternalProcessThread::createTimer(std::function<void()> callback, int periodMs) {
  timerCallback_ = std::move(callback);
  timerPeriodMs_ = std::max(1, periodMs);
}

bool ExternalProcessThread::exec() {
  error_ = NoError;
  exitCode_ = -1;
  standardOutput_.clear();
  standardError_.clear();

  QProcess process;
  process.setProgram(program_);
  process.setArguments(arguments_);
  process.setWorkingDirectory(workingDirectory_);
  process.setProcessChannelMode(QProcess::SeparateChannels);
  process.setStandardInputFile(QProcess::nullDevice());
  process.start();
  if (!process.waitForStarted(-1)) {
    error_ = process.error() == QProcess::UnknownError ? int{FailedToStart} : static_cast<int>(process.error());
    standardError_ = process.errorString();
    return false;
  }

  QElapsedTimer clock;
  clock.start();
  qint64 nextTick = timerPeriodMs_;
  bool timedOut = false;
  while (process.state() != QProcess::NotRunning) {
    const qint64 elapsed = clock.elapsed();
    if (timeLimitMs_ > 0 && elapsed >= timeLimitMs_) {
      timedOut = true;
      break;
    }
    qint64 slice = kSliceMs;
    if (timerCallback_) {
      slice = std::min(slice, std::max<qint64>(1, nextTick - elapsed));
    }
    if (timeLimitMs_ > 0) {
      slice = std::min(slice, std::max<qint64>(1, timeLimitMs_ - elapsed));
    }
    if (process.waitForFinished(static_cast<int>(slice))) {
      break;
    }
    if (timerCallback_ && clock.elapsed() >= nextTick) {
      timerCallback_();
      nextTick += timerPeriodMs_;
    }
  }

  if (timedOut) {
    // Asking first lets a wrapper such as sudo pass the request on to the
    // program it runs; a program that ignores it is killed.
    process.terminate();
    if (!process.waitForFinished(kTerminateGraceMs)) {
      process.kill();
      process.waitForFinished(kTerminateGraceMs);
    }
  }

  standardOutput_ = QString::fromLocal8Bit(process.readAllStandardOutput());
  standardError_ = QString::fromLocal8Bit(process.readAllStandardError());
  if (timedOut) {
    error_ = Timedout;
    return false;
  }
  if (process.exitStatus() == QProcess::CrashExit) {
    error_ = Crashed;
    return false;
  }
  exitCode_ = process.exitCode();
  return true;
}
