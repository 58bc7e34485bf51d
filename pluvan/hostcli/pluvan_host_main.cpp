// pluvan-host: a minimal POS host for trying the plug-in by hand. It loads the
// plug-in, takes one processing object from "getObject", runs one operation
// and prints the answer as JSON.
//
//   pluvan-host <plug-in file> <operation> [name=value ...]
//
// operations: payment cancel paymentByBiometry cancelByBiometry
//   paymentByElectronicCertificate paymentWithCashAdvance printCopy
//   checkTotals printReport printShortReport readCardTrack2 discountCard
//   getHashedCardNumber getPar cancelCardRequest interruptPayment
// request fields: type amount cashAdvance cardData discountCard bonus
//   merchantId rrn refund basketId number (for checkTotals)
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPluginLoader>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>

#include "AbstractPaymentProcessing.h"

namespace {

QJsonObject toJson(const PaymentProcessingAnswer& a) {
  QJsonObject o;
  o.insert(QStringLiteral("resultCode"), a.resultCode());
  o.insert(QStringLiteral("resultKind"), a.resultKind());
  o.insert(QStringLiteral("messageId"), a.message().id());
  o.insert(QStringLiteral("message"), a.message().ui());
  o.insert(QStringLiteral("cardNumber"), a.cardNumber());
  o.insert(QStringLiteral("derivedCardNumber"), a.derivedCardNumber());
  o.insert(QStringLiteral("authCode"), a.authCode());
  o.insert(QStringLiteral("cardTypeName"), a.cardTypeName());
  o.insert(QStringLiteral("ownCard"), a.isOwnCard());
  o.insert(QStringLiteral("terminalId"), a.terminalId());
  o.insert(QStringLiteral("rrn"), a.rrn());
  o.insert(QStringLiteral("cardHash"), a.cardHash());
  o.insert(QStringLiteral("paymentAccountReference"), a.paymentAccountReference());
  o.insert(QStringLiteral("entryKind"), a.entryKind());
  o.insert(QStringLiteral("details"), a.details());
  o.insert(QStringLiteral("extraTexts"), QJsonArray::fromStringList(a.extraTexts()));
  o.insert(QStringLiteral("cheques"), QJsonArray::fromStringList(a.cheques()));
  return o;
}

int usage() {
  std::fprintf(stderr, "usage: pluvan-host <plug-in file> <operation> [name=value ...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 3) {
    return usage();
  }

  PaymentProcessingRequest request;
  int number = 0;
  for (qsizetype i = 3; i < args.size(); ++i) {
    const qsizetype equals = args[i].indexOf(QLatin1Char('='));
    if (equals <= 0) {
      return usage();
    }
    const QString name = args[i].left(equals);
    const QString value = args[i].mid(equals + 1);
    if (name == QLatin1String("type")) request.setType(value.toInt());
    else if (name == QLatin1String("amount")) request.setAmount(value.toLongLong());
    else if (name == QLatin1String("cashAdvance")) request.setCashAdvance(value.toLongLong());
    else if (name == QLatin1String("cardData")) request.setCardData(value);
    else if (name == QLatin1String("discountCard")) request.setDiscountCard(value);
    else if (name == QLatin1String("bonus")) request.setBonus(value.toLongLong());
    else if (name == QLatin1String("merchantId")) request.setMerchantId(value);
    else if (name == QLatin1String("rrn")) request.setRrn(value);
    else if (name == QLatin1String("refund")) request.setRefund(value == QLatin1String("1"));
    else if (name == QLatin1String("basketId")) request.setBasketId(value);
    else if (name == QLatin1String("number")) number = value.toInt();
    else return usage();
  }

  QPluginLoader loader(args[1]);
  QObject* factory = loader.instance();
  if (factory == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(args[1]), qPrintable(loader.errorString()));
    return 1;
  }
  AbstractPaymentProcessing* raw = nullptr;
  if (!QMetaObject::invokeMethod(factory, "getObject", Qt::DirectConnection,
                                 Q_RETURN_ARG(AbstractPaymentProcessing*, raw)) ||
      raw == nullptr) {
    std::fprintf(stderr, "getObject failed\n");
    return 1;
  }
  const std::unique_ptr<AbstractPaymentProcessing> processing(raw);
  AbstractPaymentProcessing& p = *processing;

  using Run = std::function<PaymentProcessingAnswer()>;
  const std::map<QString, Run> operations = {
      {QStringLiteral("payment"), [&] { return p.payment(request); }},
      {QStringLiteral("cancel"), [&] { return p.cancel(request); }},
      {QStringLiteral("paymentByBiometry"), [&] { return p.paymentByBiometry(request); }},
      {QStringLiteral("cancelByBiometry"), [&] { return p.cancelByBiometry(request); }},
      {QStringLiteral("paymentByElectronicCertificate"), [&] { return p.paymentByElectronicCertificate(request); }},
      {QStringLiteral("paymentWithCashAdvance"), [&] { return p.paymentWithCashAdvance(request); }},
      {QStringLiteral("printCopy"), [&] { return p.printCopy(request); }},
      {QStringLiteral("checkTotals"), [&] { return p.checkTotals(number); }},
      {QStringLiteral("printReport"), [&] { return p.printReport(); }},
      {QStringLiteral("printShortReport"), [&] { return p.printShortReport(); }},
      {QStringLiteral("readCardTrack2"), [&] { return p.readCardTrack2(); }},
      {QStringLiteral("discountCard"), [&] { return p.discountCard(); }},
      {QStringLiteral("getHashedCardNumber"), [&] { return p.getHashedCardNumber(); }},
      {QStringLiteral("getPar"), [&] { return p.getPar(); }},
  };

  QJsonObject out;
  if (args[2] == QLatin1String("cancelCardRequest")) {
    p.cancelCardRequest();
  } else if (args[2] == QLatin1String("interruptPayment")) {
    out.insert(QStringLiteral("acknowledged"), p.interruptPayment());
  } else {
    const auto it = operations.find(args[2]);
    if (it == operations.end()) {
      return usage();
    }
    out = toJson(it->second());
  }
  std::printf("%s\n", QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
  return 0;
}
