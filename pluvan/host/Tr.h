// A translated text as the host keeps it: an identifier that the host's
// translation tables look up, the default (Russian) text used when no
// translation is loaded, and the arguments that fill its %1, %2 ... places.
// A text with no identifier is shown as it stands.
#pragma once

#include <QString>
#include <QStringList>

namespace tr {

class Tr {
 public:
  Tr() = default;
  Tr(const QString& id, const QString& defaultText) : id_(id), defaultText_(defaultText) {}

  // A copy with one more argument.
  Tr arg(const QString& value) const;
  Tr arg(qint64 value) const;

  const QString& id() const { return id_; }
  const QString& defaultText() const { return defaultText_; }
  const QStringList& args() const { return args_; }
  bool isEmpty() const { return id_.isEmpty() && defaultText_.isEmpty(); }

  // The text shown to the cashier: the default text with its arguments in place.
  QString ui() const;

  bool operator==(const Tr& other) const = default;

 private:
  QString id_;
  QString defaultText_;
  QStringList args_;
};

}  // namespace tr
