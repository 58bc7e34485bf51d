// The host's base for payment processings: the options a processing declares
// and a default for every operation that a processing does not support.
#pragma once

#include <QObject>
#include <QSet>

#include "AbstractPaymentProcessing.h"

class BasicPaymentProcessing : public AbstractPaymentProcessing {
 public:
  // The two option sets a processing declares to the host; the option numbers
  // are the host's.
  enum class OptionSet { Processing, PaymentProcessing };

  BasicPaymentProcessing() = default;
  ~BasicPaymentProcessing() override = default;

  void setOption(OptionSet set, quint32 option, bool on = true);
  bool hasOption(OptionSet set, quint32 option) const;

  bool isPaymentEnable(int type) const override;
  bool isCancelEnable(int type) const override;

  PaymentProcessingAnswer payment(const PaymentProcessingRequest& request) override;
  PaymentProcessingAnswer cancel(const PaymentProcessingRequest& request) override;
  PaymentProcessingAnswer paymentByBiometry(const PaymentProcessingRequest& request) override;
  PaymentProcessingAnswer cancelByBiometry(const PaymentProcessingRequest& request) override;
  PaymentProcessingAnswer paymentByElectronicCertificate(
      const PaymentProcessingRequest& request) override;
  PaymentProcessingAnswer paymentWithCashAdvance(const PaymentProcessingRequest& request) override;
  PaymentProcessingAnswer printCopy(const PaymentProcessingRequest& request) override;
  PaymentProcessingAnswer checkTotals(int number) override;
  PaymentProcessingAnswer printReport() override;
  PaymentProcessingAnswer printShortReport() override;
  PaymentProcessingAnswer readCardTrack2() override;
  PaymentProcessingAnswer discountCard() override;
  PaymentProcessingAnswer getHashedCardNumber() override;
  PaymentProcessingAnswer getPar() override;
  void cancelCardRequest() override;
  bool interruptPayment() override;

 private:
  QSet<quint32> processingOptions_;
  QSet<quint32> paymentProcessingOptions_;
};

Q_DECLARE_INTERFACE(BasicPaymentProcessing, "CorvelPaymentProcessing/1.0")
