#include "VlPaymentProcessingFactory.h"

#include "VlPaymentProcessing.h"

VlPaymentProcessingFactory::VlPaymentProcessingFactory(QObject* parent) : QObject(parent) {}

AbstractPaymentProcessing* VlPaymentProcessingFactory::getObject() {
  // Ownership passes to the host through the interface pointer it asked for.
  auto processing = std::make_unique<VlPaymentProcessing>();
  return static_cast<AbstractPaymentProcessing*>(processing.release());
}
