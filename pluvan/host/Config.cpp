#include "Config.h"

#include <QFile>
#include <QMutexLocker>

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

namespace {
// The value of name in section of an INI text ("[section]" headers,
// "name=value" lines, ";" and "#" comments). The last assignment wins, as a
// later line is the one the person editing the file added.
bool findIniValue(const QString& text, const QString& section, const QString& name, QString& value) {
  QString current;
  bool found = false;
  for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
    const QString line = rawLine.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#'))) {
      continue;
    }
    if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
      current = line.mid(1, line.size() - 2).trimmed();
      continue;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals <= 0 || current != section || line.left(equals).trimmed() != name) {
      continue;
    }
    QString v = line.mid(equals + 1).trimmed();
    if (v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"'))) {
      v = v.mid(1, v.size() - 2);
    }
    value = v;
    found = true;
  }
  return found;
}
}  // namespace

bool Config::lookup(const QString& key, QString& value) const {
  const qsizetype dot = key.indexOf(QLatin1Char('.'));
  const qsizetype colon = key.indexOf(QLatin1Char(':'), dot + 1);
  if (dot <= 0 || colon <= dot + 1 || colon + 1 >= key.size()) {
    return false;
  }
  const QString path = fileOf(key.left(dot));
  if (path.isEmpty()) {
    return false;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return false;
  }
  const QString text = QString::fromUtf8(file.readAll());
  return findIniValue(text, key.mid(dot + 1, colon - dot - 1), key.mid(colon + 1), value);
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
