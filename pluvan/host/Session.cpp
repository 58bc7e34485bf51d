#include "Session.h"

#include <QMutexLocker>

Session* Session::getInstance() {
  static Session instance;
  return &instance;
}

void Session::setProgress(int value) {
  std::function<void(int)> listener;
  {
    QMutexLocker lock(&mutex_);
    progress_ = value;
    listener = listener_;
  }
  if (listener) {
    listener(value);
  }
}

int Session::progress() const {
  QMutexLocker lock(&mutex_);
  return progress_;
}

void Session::setProgressListener(std::function<void(int)> listener) {
  QMutexLocker lock(&mutex_);
  listener_ = std::move(listener);
}
