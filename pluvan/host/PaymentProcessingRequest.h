// What the host asks of a payment processing: the operation type, the amounts
// in minor units and the card and merchant data the cash desk collected.
#pragma once

#include <QString>

class PaymentProcessingRequest {
 public:
  // 1 sale; 2 and 3 refunds.
  int type() const { return type_; }
  void setType(int type) { type_ = type; }

  qint64 amount() const { return amount_; }
  void setAmount(qint64 amount) { amount_ = amount; }

  // Cash handed out with the payment; 0 when none.
  qint64 cashAdvance() const { return cashAdvance_; }
  void setCashAdvance(qint64 amount) { cashAdvance_ = amount; }

  // Track 2 of a card read by the cash desk, empty when the PIN pad reads the card.
  const QString& cardData() const { return cardData_; }
  void setCardData(const QString& data) { cardData_ = data; }

  const QString& discountCard() const { return discountCard_; }
  void setDiscountCard(const QString& card) { discountCard_ = card; }

  qint64 bonus() const { return bonus_; }
  void setBonus(qint64 bonus) { bonus_ = bonus; }

  const QString& merchantId() const { return merchantId_; }
  void setMerchantId(const QString& id) { merchantId_ = id; }

  // Reference number of the original operation (refunds and cancellations).
  const QString& rrn() const { return rrn_; }
  void setRrn(const QString& rrn) { rrn_ = rrn; }

  // Set when the cancellation concerns a refund.
  bool isRefund() const { return refund_; }
  void setRefund(bool refund) { refund_ = refund; }

  // Basket of an electronic certificate payment.
  const QString& basketId() const { return basketId_; }
  void setBasketId(const QString& id) { basketId_ = id; }

 private:
  int type_ = 0;
  qint64 amount_ = 0;
  qint64 cashAdvance_ = 0;
  QString cardData_;
  QString discountCard_;
  qint64 bonus_ = 0;
  QString merchantId_;
  QString rrn_;
  bool refund_ = false;
  QString basketId_;
};
