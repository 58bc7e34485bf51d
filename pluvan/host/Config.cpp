#include "Config.h"

#include <QFileInfo>
#include <QMutexLocker>
#include <QSettings>

Config* Config::getInstance() {
  static Config instance;
  return &instance;
}

void Config::registerFile(const QString& group, const QString& path) {
  QMutexLocker lock(&mutex_);
  files_.insert(group, path);
}

QString Config::fileOf(const QString& group) const {
  QMutexLocker lock(&mutex_);
  return files_.value(group);
}

void Config::reset() {
  QMutexLocker lock(&mutex_);
  files_.clear();
}

bool Config::lookup(const QString& key, QString& value) const {
  const qsizetype dot = key.indexOf(QLatin1Char('.'));
  const qsizetype colon = key.indexOf(QLatin1Char(':'), dot + 1);
  if (dot <= 0 || colon <= dot + 1 || colon + 1 >= key.size()) {
    return false;
  }
  const QString path = fileOf(key.left(dot));
  if (path.isEmpty() || !QFileInfo(path).isFile()) {
    return false;
  }
  QSettings settings(path, QSettings::IniFormat);
  settings.beginGroup(key.mid(dot + 1, colon - dot - 1));
  const QString name = key.mid(colon + 1);
  if (!settings.contains(name)) {
    return false;
  }
  value = settings.value(name).toString().trimmed();
  return true;
}

QString Config::getString(const QString& key, const QString& defaultValue) const {
  QString value;
  return lookup(key, value) ? value : defaultValue;
}

bool Config::getBool(const QString& key, bool defaultValue) const {
  QString value;
  if (!lookup(key, value)) {
    return defaultValue;
  }
  const QString lower = value.toLower();
  if (lower == QLatin1String("true") || lower == QLatin1String("1") || lower == QLatin1String("yes")) {
    return true;
  }
  if (lower == QLatin1String("false") || lower == QLatin1String("0") || lower == QLatin1String("no")) {
    return false;
  }
  return defaultValue;
}

int Config::getInt(const QString& key, int defaultValue) const {
  QString value;
  if (!lookup(key, value)) {
    return defaultValue;
  }
  bool ok = false;
  const int number = value.toInt(&ok, 10);
  return ok ? number : defaultValue;
}
