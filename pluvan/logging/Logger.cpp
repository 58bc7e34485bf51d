#include "Logger.h"

#include <QMessageLogger>
#include <QMutex>
#include <QMutexLocker>

#include <map>
#include <memory>

namespace logging {

struct LoggerRegistry {
  QMutex mutex;
  std::map<QString, std::unique_ptr<Logger>> loggers;

  Logger* get(const QString& name) {
    QMutexLocker lock(&mutex);
    auto it = loggers.find(name);
    if (it == loggers.end()) {
      it = loggers.emplace(name, std::unique_ptr<Logger>(new Logger(name))).first;
    }
    return it->second.get();
  }
};

namespace {
LoggerRegistry& registry() {
  static LoggerRegistry instance;
  return instance;
}
}  // namespace

Logger* Logger::logger(const QString& name) { return registry().get(name); }

Logger::Logger(const QString& name)
    : name_(name), categoryName_(name.toUtf8()), category_(categoryName_.constData()) {}

void Logger::error(const QString& message) const {
  if (category_.isCriticalEnabled()) {
    QMessageLogger(nullptr, 0, nullptr).critical(category_, "%s", qUtf8Printable(message));
  }
}

void Logger::warn(const QString& message) const {
  if (category_.isWarningEnabled()) {
    QMessageLogger(nullptr, 0, nullptr).warning(category_, "%s", qUtf8Printable(message));
  }
}

void Logger::info(const QString& message) const {
  if (category_.isInfoEnabled()) {
    QMessageLogger(nullptr, 0, nullptr).info(category_, "%s", qUtf8Printable(message));
  }
}

void Logger::debug(const QString& message) const {
  if (category_.isDebugEnabled()) {
    QMessageLogger(nullptr, 0, nullptr).debug(category_, "%s", qUtf8Printable(message));
  }
}

}  // namespace logging
