#include "Tr.h"

namespace tr {

Tr Tr::arg(const QString& value) const {
  Tr copy(*this);
  copy.args_.append(value);
  return copy;
}

Tr Tr::arg(qint64 value) const { return arg(QString::number(value)); }

QString Tr::ui() const {
  QString text = defaultText_;
  for (const QString& value : args_) {
    text = text.arg(value);
  }
  return text;
}

}  // namespace tr
