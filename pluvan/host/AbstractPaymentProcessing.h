// The interface through which the host runs card operations. A plug-in hands
// the host an object of this interface; the host owns it and deletes it.
#pragma once

#include <QMetaType>

#include "PaymentProcessingAnswer.h"
#include "PaymentProcessingRequest.h"

class AbstractPaymentProcessing {
 public:
  virtual ~AbstractPaymentProcessing() = default;

  virtual bool isPaymentEnable(int type) const = 0;
  virtual bool isCancelEnable(int type) const = 0;

  virtual PaymentProcessingAnswer payment(const PaymentProcessingRequest& request) = 0;
  virtual PaymentProcessingAnswer cancel(const PaymentProcessingRequest& request) = 0;
  virtual PaymentProcessingAnswer paymentByBiometry(const PaymentProcessingRequest& request) = 0;
  virtual PaymentProcessingAnswer cancelByBiometry(const PaymentProcessingRequest& request) = 0;
  virtual PaymentProcessingAnswer paymentByElectronicCertificate(
      const PaymentProcessingRequest& request) = 0;
  virtual PaymentProcessingAnswer paymentWithCashAdvance(const PaymentProcessingRequest& request) = 0;
  virtual PaymentProcessingAnswer printCopy(const PaymentProcessingRequest& request) = 0;

  virtual PaymentProcessingAnswer checkTotals(int number) = 0;
  virtual PaymentProcessingAnswer printReport() = 0;
  virtual PaymentProcessingAnswer printShortReport() = 0;

  virtual PaymentProcessingAnswer readCardTrack2() = 0;
  virtual PaymentProcessingAnswer discountCard() = 0;
  virtual PaymentProcessingAnswer getHashedCardNumber() = 0;
  virtual PaymentProcessingAnswer getPar() = 0;
  virtual void cancelCardRequest() = 0;

  // Called from another thread while an operation runs; true when the
  // operation took the request to stop.
  virtual bool interruptPayment() = 0;
};

Q_DECLARE_METATYPE(AbstractPaymentProcessing*)
