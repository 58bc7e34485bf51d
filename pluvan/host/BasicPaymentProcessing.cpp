#include "BasicPaymentProcessing.h"

namespace {
// What an unsupported operation answers: an error the cashier can read.
PaymentProcessingAnswer notSupported() {
  PaymentProcessingAnswer answer;
  answer.setResultKind(PaymentProcessingAnswer::Error);
  answer.setMessage(tr::Tr("basicPaymentProcessingNotSupported", "Операция не поддерживается"));
  return answer;
}
}  // namespace

void BasicPaymentProcessing::setOption(OptionSet set, quint32 option, bool on) {
  QSet<quint32>& options = set == OptionSet::Processing ? processingOptions_ : paymentProcessingOptions_;
  if (on) {
    options.insert(option);
  } else {
    options.remove(option);
  }
}

bool BasicPaymentProcessing::hasOption(OptionSet set, quint32 option) const {
  const QSet<quint32>& options =
      set == OptionSet::Processing ? processingOptions_ : paymentProcessingOptions_;
  return options.contains(option);
}

bool BasicPaymentProcessing::isPaymentEnable(int) const { return false; }
bool BasicPaymentProcessing::isCancelEnable(int) const { return false; }

PaymentProcessingAnswer BasicPaymentProcessing::payment(const PaymentProcessingRequest&) { return notSupported(); }
PaymentProcessingAnswer BasicPaymentProcessing::cancel(const PaymentProcessingRequest&) { return notSupported(); }
PaymentProcessingAnswer BasicPaymentProcessing::paymentByBiometry(const PaymentProcessingRequest&) {
  return notSupported();
}
PaymentProcessingAnswer BasicPaymentProcessing::cancelByBiometry(const PaymentProcessingRequest&) {
  return notSupported();
}
PaymentProcessingAnswer BasicPaymentProcessing::paymentByElectronicCertificate(const PaymentProcessingRequest&) {
  return notSupported();
}
PaymentProcessingAnswer BasicPaymentProcessing::paymentWithCashAdvance(const PaymentProcessingRequest&) {
  return notSupported();
}
PaymentProcessingAnswer BasicPaymentProcessing::printCopy(const PaymentProcessingRequest&) { return notSupported(); }
PaymentProcessingAnswer BasicPaymentProcessing::checkTotals(int) { return notSupported(); }
PaymentProcessingAnswer BasicPaymentProcessing::printReport() { return notSupported(); }
PaymentProcessingAnswer BasicPaymentProcessing::printShortReport() { return notSupported(); }
PaymentProcessingAnswer BasicPaymentProcessing::readCardTrack2() { return notSupported(); }
PaymentProcessingAnswer BasicPaymentProcessing::discountCard() { return notSupported(); }
PaymentProcessingAnswer BasicPaymentProcessing::getHashedCardNumber() { return notSupported(); }
PaymentProcessingAnswer BasicPaymentProcessing::getPar() { return notSupported(); }
void BasicPaymentProcessing::cancelCardRequest() {}
bool BasicPaymentProcessing::interruptPayment() { return false; }
