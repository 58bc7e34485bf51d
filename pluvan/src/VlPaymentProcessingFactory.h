// The plug-in's entry object: the host loads the plug-in, takes this factory
// as the plug-in instance and calls "getObject" for each payment processing it
// needs.
#pragma once

#include <QObject>

#include "AbstractPaymentProcessing.h"

class VlPaymentProcessingFactory : public QObject {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "VlPaymentProcessingRegisterFactory")

 public:
  explicit VlPaymentProcessingFactory(QObject* parent = nullptr);

  // A new processing object with no parent; the caller owns it.
  Q_INVOKABLE AbstractPaymentProcessing* getObject();
};
