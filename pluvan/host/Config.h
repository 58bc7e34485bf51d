// The host's configuration store. A component registers its own INI file
// under a group name; a key "group.section:name" is then read from the
// section "section" of that file. Values are read from the file on each call, so a
// changed file is seen by the next reader. A missing key, or one whose value
// does not read as the asked type, gives the caller's default.
#pragma once

#include <QMap>
#include <QMutex>
#include <QString>

class Config {
 public:
  static Config* getInstance();

  Config(const Config&) = delete;
  Config& operator=(const Config&) = delete;

  void registerFile(const QString& group, const QString& path);
  QString fileOf(const QString& group) const;

  QString getString(const QString& key, const QString& defaultValue) const;
  bool getBool(const QString& key, bool defaultValue) const;
  int getInt(const QString& key, int defaultValue) const;

  // Forgets every registration (tests start each case from nothing).
  void reset();

 private:
  Config() = default;
  // The raw value of key, or false when there is none.
  bool lookup(const QString& key, QString& value) const;

  mutable QMutex mutex_;
  QMap<QString, QString> files_;
};
