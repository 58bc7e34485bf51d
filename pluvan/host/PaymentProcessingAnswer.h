// The answer a payment processing gives the host for one operation.
#pragma once

#include <QString>
#include <QStringList>

#include "Tr.h"

class PaymentProcessingAnswer {
 public:
  // How the host treats the answer.
  enum ResultKind : int {
    Success = 0,
    Error = 1,
    RetryWithCardHash = 4,
    RemoveCard = 8,
    Interrupted = 11,
    Failed = 12,
  };

  // A fresh answer is an error with result code 0 and nothing else filled in,
  // so an operation that never got as far as an outcome is never a success.
  int resultCode() const { return resultCode_; }
  void setResultCode(int code) { resultCode_ = code; }

  int resultKind() const { return resultKind_; }
  void setResultKind(int kind) { resultKind_ = kind; }

  const tr::Tr& message() const { return message_; }
  void setMessage(const tr::Tr& message) { message_ = message; }

  const QString& cardNumber() const { return cardNumber_; }
  void setCardNumber(const QString& v) { cardNumber_ = v; }

  // The card's number as derived from the track-like card number field.
  const QString& derivedCardNumber() const { return derivedCardNumber_; }
  void setDerivedCardNumber(const QString& v) { derivedCardNumber_ = v; }

  const QString& authCode() const { return authCode_; }
  void setAuthCode(const QString& v) { authCode_ = v; }

  const QString& cardTypeName() const { return cardTypeName_; }
  void setCardTypeName(const QString& v) { cardTypeName_ = v; }

  bool isOwnCard() const { return ownCard_; }
  void setOwnCard(bool v) { ownCard_ = v; }

  const QString& terminalId() const { return terminalId_; }
  void setTerminalId(const QString& v) { terminalId_ = v; }

  const QString& rrn() const { return rrn_; }
  void setRrn(const QString& v) { rrn_ = v; }

  const QString& cardHash() const { return cardHash_; }
  void setCardHash(const QString& v) { cardHash_ = v; }

  const QString& paymentAccountReference() const { return par_; }
  void setPaymentAccountReference(const QString& v) { par_ = v; }

  // How the card was presented, in the host's numbering (1, 2 or 3).
  int entryKind() const { return entryKind_; }
  void setEntryKind(int v) { entryKind_ = v; }

  // Further details as a compact JSON object.
  const QString& details() const { return details_; }
  void setDetails(const QString& v) { details_ = v; }

  const QStringList& extraTexts() const { return extraTexts_; }
  void addExtraText(const QString& v) { extraTexts_.append(v); }

  // Cheque texts, printed in order.
  const QStringList& cheques() const { return cheques_; }
  void addCheque(const QString& v) { cheques_.append(v); }

 private:
  int resultCode_ = 0;
  int resultKind_ = Error;
  tr::Tr message_;
  QString cardNumber_;
  QString derivedCardNumber_;
  QString authCode_;
  QString cardTypeName_;
  bool ownCard_ = false;
  QString terminalId_;
  QString rrn_;
  QString cardHash_;
  QString par_;
  int entryKind_ = 0;
  QString details_;
  QStringList extraTexts_;
  QStringList cheques_;
};
