// Card operations of the cash desk run through the payment program molvex:
// each operation becomes one molvex run in the processing folder, and the
// files it leaves there become the host's answer.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "BasicPaymentProcessing.h"
#include "Logger.h"
#include "Tr.h"

class QTextCodec;

class VlPaymentProcessing : public QObject, public BasicPaymentProcessing {
  Q_OBJECT
  Q_INTERFACES(BasicPaymentProcessing)

 public:
  explicit VlPaymentProcessing(QObject* parent = nullptr);
  ~VlPaymentProcessing() override;

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

  // Runs molvex with arguments, waiting at most seconds, and reads its answer.
  PaymentProcessingAnswer execute(const QStringList& arguments, int seconds);
  // The payment rules applied after a payment run (re-run with the card hash,
  // second copy of the cheque).
  void processAnswer(PaymentProcessingAnswer& answer, const PaymentProcessingRequest& request);
  // Reads path and decodes it with the configured codec.
  bool readFile(const QString& path, QString& text) const;
  // True when program exists in the processing folder and may be executed;
  // otherwise message says why not.
  bool checkExecFile(const QString& program, tr::Tr& message) const;

 private:
  // Sale arguments shared by payment and by the re-run with the card hash.
  QStringList saleArguments(const PaymentProcessingRequest& request, const QString& cardData) const;
  PaymentProcessingAnswer refused(const tr::Tr& message) const;
  QString pathOf(const QString& name) const;

  logging::Logger* logger_;
  QString processingDir_;
  QString abortFileName_;
  QString abortAckFileName_;
  QTextCodec* codec_ = nullptr;
  bool dialogsOnPinpad_ = true;
  int secondChequeLimit_ = 0;
  int timeout_ = 300;
  int totalsTimeout_ = -1;
};
