// The host's session: here only its progress indicator, which the host shows
// while a long operation runs.
#pragma once

#include <QMutex>

#include <functional>

class Session {
 public:
  static Session* getInstance();

  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Shows value (0 to 100) on the progress indicator.
  void setProgress(int value);
  int progress() const;

  // The host's indicator (or a test) sees every reported value.
  void setProgressListener(std::function<void(int)> listener);

 private:
  Session() = default;

  mutable QMutex mutex_;
  int progress_ = 0;
  std::function<void(int)> listener_;
};
