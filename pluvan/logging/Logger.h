// Named loggers for the plug-in, shaped like the POS host's logger: one logger
// per name, four levels. Messages go through Qt's message handling with the
// logger's name as the category, so whatever handler the host installs (or a
// test installs) sees every line.
#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

namespace logging {

class Logger {
 public:
  // The logger of that name; created on first use and kept for the life of the
  // process, so the pointer may be stored.
  static Logger* logger(const QString& name);

  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  const QString& name() const { return name_; }

  void error(const QString& message) const;
  void warn(const QString& message) const;
  void info(const QString& message) const;
  // The detail level.
  void debug(const QString& message) const;

 private:
  explicit Logger(const QString& name);
  friend struct LoggerRegistry;

  QString name_;
  // QLoggingCategory keeps only the pointer to its name: the bytes must live
  // as long as the category, so they are declared first.
  QByteArray categoryName_;
  QLoggingCategory category_;
};

}  // namespace logging
