// The plug-in as the POS host sees it: loaded with QPluginLoader, processing
// objects taken from "getObject", operations run against a fake molvex (a
// shell script that records its arguments and leaves the response and cheque
// files the case needs) started through a fake sudo that simply runs its
// arguments.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QPluginLoader>
#include <QTextCodec>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "AbstractPaymentProcessing.h"
#include "BasicPaymentProcessing.h"
#include "Session.h"
#include "test_support.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::ReadLines;
using testsupport::TempDir;
using testsupport::WriteFile;
using testsupport::WriteScript;
using Args = std::vector<std::string>;

// ---- host side: application, log capture, plug-in ----

struct LogLine {
  QString category;
  QtMsgType type;
  QString text;
};

QMutex gLogMutex;
std::vector<LogLine> gLog;

void captureMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  QMutexLocker lock(&gLogMutex);
  gLog.push_back({QString::fromUtf8(context.category ? context.category : ""), type, text});
}

class HostEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    app_ = std::make_unique<QCoreApplication>(argc_, argv_);
    qInstallMessageHandler(captureMessage);
  }
  void TearDown() override {
    qInstallMessageHandler(nullptr);
    app_.reset();
  }

 private:
  int argc_ = 1;
  char name_[19] = "pluvan_plugin_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QCoreApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const gHost =
    ::testing::AddGlobalTestEnvironment(new HostEnvironment);

// The loader stays loaded for the whole run, as the host keeps its plug-ins.
QPluginLoader& loader() {
  static QPluginLoader instance(QStringLiteral(PLUVAN_PLUGIN_PATH));
  return instance;
}

bool logged(const QString& text) {
  QMutexLocker lock(&gLogMutex);
  for (const LogLine& line : gLog) {
    if (line.category == QLatin1String("velora") && line.text == text) {
      return true;
    }
  }
  return false;
}

std::string str(const QString& s) { return s.toStdString(); }

QByteArray encode(const char* codec, const QString& text) {
  return QTextCodec::codecForName(codec)->fromUnicode(text);
}

// A response file as molvex writes it: lines joined by CR LF, no line end
// after the last one.
std::string responseFile(const std::vector<QString>& lines, const char* codec = "KOI8-R") {
  QString text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) {
      text += QStringLiteral("\r\n");
    }
    text += lines[i];
  }
  return encode(codec, text).toStdString();
}

// A full 33-line answer of an approved purchase.
std::vector<QString> approvedLines() {
  std::vector<QString> lines(33);
  lines[0] = QStringLiteral("0,Одобрено");
  lines[1] = QStringLiteral("411111******1111=2512101123456789");
  lines[2] = QStringLiteral("ABCDEF");
  lines[3] = QStringLiteral("123456");
  lines[4] = QStringLiteral("  42");
  lines[5] = QStringLiteral("Visa");
  lines[6] = QStringLiteral("1");
  lines[7] = QStringLiteral("00112233");
  lines[8] = QStringLiteral("20240131235959");
  lines[9] = QStringLiteral("401234567890");
  lines[10] = QStringLiteral("A1B2C3D4E5F60718293A4B5C6D7E8F9001122334");
  lines[19] = QStringLiteral("0000002A");
  lines[20] = QStringLiteral("00008000");
  lines[25] = QStringLiteral("PAR0123456789");
  lines[26] = QStringLiteral("2");
  lines[27] = QStringLiteral("Q");
  lines[31] = QStringLiteral("LOYALTY-77");
  return lines;
}

PaymentProcessingRequest request(int type, qint64 amount) {
  PaymentProcessingRequest r;
  r.setType(type);
  r.setAmount(amount);
  return r;
}

// ---- the fixture: a processing folder, a fake sudo first on PATH ----

class PluvanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mkdir(proc_.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(bin_.c_str(), 0755), 0);
    // No privilege change in tests: sudo records what it was asked to run
    // and runs it.
    WriteScript(bin_ + "/sudo",
                "printf '%s\\n' \"$@\" > sudo.args\n"
                "if [ \"$1\" = -s ]; then shift; fi\n"
                "exec \"$@\"\n");
    // The terminal window runs the command text after -e through the shell.
    WriteScript(bin_ + "/xterm",
                "while [ $# -gt 1 ] && [ \"$1\" != -e ]; do shift; done\n"
                "shift\nexec sh -c \"$1\"\n");
    const char* path = std::getenv("PATH");
    savedPath_ = path ? path : "";
    setenv("PATH", (bin_ + ":" + savedPath_).c_str(), 1);
    setenv("PLUVAN_TEST_PROCESSING_DIR", (proc_ + "/").c_str(), 1);
    setenv("PLUVAN_TEST_CONFIG_FILE", conf_.c_str(), 1);
    {
      QMutexLocker lock(&gLogMutex);
      gLog.clear();
    }
    ASSERT_TRUE(loader().load()) << str(loader().errorString());
  }

  void TearDown() override {
    Session::getInstance()->setProgressListener(nullptr);
    setenv("PATH", savedPath_.c_str(), 1);
    unsetenv("PLUVAN_TEST_PROCESSING_DIR");
    unsetenv("PLUVAN_TEST_CONFIG_FILE");
  }

  // A processing object made by the plug-in with this configuration file
  // content (the [main] section is the usual place of the keys).
  std::unique_ptr<AbstractPaymentProcessing> makeProcessing(const std::string& config = "") {
    WriteFile(conf_, config);
    QObject* factory = loader().instance();
    EXPECT_NE(factory, nullptr);
    AbstractPaymentProcessing* object = nullptr;
    if (factory != nullptr) {
      EXPECT_TRUE(QMetaObject::invokeMethod(factory, "getObject", Qt::DirectConnection,
                                            Q_RETURN_ARG(AbstractPaymentProcessing*, object)));
    }
    return std::unique_ptr<AbstractPaymentProcessing>(object);
  }

  // Installs the fake molvex. Run n records its arguments in args.n and
  // leaves e.n and p.n (when the test wrote them) as "e" and "p"; then body
  // runs.
  void installMolvex(const std::string& body = "exit 0\n", unsigned mode = 0755) {
    WriteScript(proc_ + "/molvex",
                "n=$(( $(cat count 2>/dev/null || echo 0) + 1 ))\n"
                "echo $n > count\n"
                ": > args.$n\n"
                "for a in \"$@\"; do printf '%s\\n' \"$a\" >> args.$n; done\n"
                "[ -f e.$n ] && cp e.$n e\n"
                "[ -f p.$n ] && cp p.$n p\n" +
                    body);
    chmod((proc_ + "/molvex").c_str(), mode);
  }

  void answerRun(int run, const std::string& response, const std::string& cheque = "") {
    WriteFile(proc_ + "/e." + std::to_string(run), response);
    if (!cheque.empty()) {
      WriteFile(proc_ + "/p." + std::to_string(run), cheque);
    }
  }

  int runs() const {
    const std::string count = ReadFile(proc_ + "/count");
    return count.empty() ? 0 : std::stoi(count);
  }
  Args argsOf(int run) const { return ReadLines(proc_ + "/args." + std::to_string(run)); }

  // Forgets the runs of an earlier case in the same test.
  void freshRuns() {
    for (const char* name : {"count", "args.1", "args.2", "e.1", "e.2", "p.1", "p.2"}) {
      std::remove((proc_ + "/" + name).c_str());
    }
  }

  TempDir tmp_;
  std::string proc_ = tmp_ / "vl";
  std::string bin_ = tmp_ / "bin";
  std::string conf_ = tmp_ / "corvelvl.conf";
  std::string savedPath_;
};

// ---- plug-in object ----

TEST_F(PluvanTest, PluginMetadataAndProcessingObjectIdentity) {
  const QJsonObject meta = loader().metaData();
  EXPECT_EQ(meta.value(QStringLiteral("IID")).toString(), QStringLiteral("VlPaymentProcessingRegisterFactory"));
  EXPECT_EQ(meta.value(QStringLiteral("className")).toString(), QStringLiteral("VlPaymentProcessingFactory"));

  auto first = makeProcessing();
  auto second = makeProcessing();
  ASSERT_TRUE(first && second);
  EXPECT_NE(first.get(), second.get()) << "every getObject call makes a new object";

  auto* object = dynamic_cast<QObject*>(first.get());
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->parent(), nullptr);
  for (const char* name : {"VlPaymentProcessing", "BasicPaymentProcessing", "CorvelPaymentProcessing/1.0"}) {
    EXPECT_NE(object->qt_metacast(name), nullptr) << name;
  }
  EXPECT_EQ(object->qt_metacast("SomethingElse"), nullptr);
  EXPECT_NE(qobject_cast<BasicPaymentProcessing*>(object), nullptr);

  for (int type = 0; type <= 4; ++type) {
    EXPECT_EQ(first->isPaymentEnable(type), type >= 1 && type <= 3) << type;
    EXPECT_EQ(first->isCancelEnable(type), type == 1) << type;
  }
}

TEST_F(PluvanTest, DeclaresHostOptionsAndDiscountCardOnlyWhenConfigured) {
  using Set = BasicPaymentProcessing::OptionSet;
  for (bool discount : {false, true}) {
    SCOPED_TRACE(discount);
    auto processing = makeProcessing(discount ? "[VeloLoyalty]\nregisterDiscountCard=true\n" : "");
    auto* basic = dynamic_cast<BasicPaymentProcessing*>(processing.get());
    ASSERT_NE(basic, nullptr);
    for (quint32 option : {0u, 4u, 6u, 7u, 9u}) {
      EXPECT_TRUE(basic->hasOption(Set::Processing, option)) << option;
    }
    EXPECT_FALSE(basic->hasOption(Set::Processing, 1));
    EXPECT_TRUE(basic->hasOption(Set::PaymentProcessing, 0x80000));
    EXPECT_FALSE(basic->hasOption(Set::Processing, 0x80000));
    EXPECT_EQ(basic->hasOption(Set::Processing, 13), discount);
  }
}

TEST_F(PluvanTest, ConfigurationDefaultsAreLogged) {
  auto processing = makeProcessing();  // empty file: every key takes its default
  EXPECT_TRUE(logged(QStringLiteral(" используемая кодировка: koi8-r")));
  EXPECT_TRUE(logged(QStringLiteral(" диалоги на пинпаде: да")));
  EXPECT_TRUE(logged(QStringLiteral(" время ожидания ответа от пинпада: 300 сек.")));
  EXPECT_TRUE(logged(QStringLiteral(" время ожидания ответа от пинпада для сверки итогов: 300 сек.")));

  auto configured = makeProcessing("[main]\ndialogsOnPinpad=false\ntimeout=60\ntotalsTimeout=900\n");
  EXPECT_TRUE(logged(QStringLiteral(" диалоги на пинпаде: нет")));
  EXPECT_TRUE(logged(QStringLiteral(" время ожидания ответа от пинпада: 60 сек.")));
  EXPECT_TRUE(logged(QStringLiteral(" время ожидания ответа от пинпада для сверки итогов: 900 сек.")));
}

// ---- command lines of the operations ----

struct ArgumentCase {
  const char* name;
  std::string config;
  std::function<PaymentProcessingAnswer(AbstractPaymentProcessing&)> operation;
  Args expected;
};

PaymentProcessingRequest withDetails(PaymentProcessingRequest r, const QString& card, const QString& merchant,
                                     const QString& rrn = QString()) {
  r.setCardData(card);
  r.setMerchantId(merchant);
  r.setRrn(rrn);
  return r;
}

TEST_F(PluvanTest, OperationsRunMolvexWithTheirArgumentLists) {
  const QString discount = QStringLiteral("D").repeated(30) + QStringLiteral("0123456789ABCDEFGHIJ");
  const std::string loyalty = "[VeloLoyalty]\nregisterDiscountCard=true\n";
  auto sale = [](qint64 amount) { return request(1, amount); };
  auto refund = [](int type, qint64 amount, const char* rrn, const char* merchant) {
    PaymentProcessingRequest r = request(type, amount);
    r.setRrn(QString::fromLatin1(rrn));
    r.setMerchantId(QString::fromLatin1(merchant));
    return r;
  };
  auto discountSale = [&] {
    PaymentProcessingRequest r = withDetails(sale(100), QStringLiteral("4111=2512"), QStringLiteral("2"));
    r.setDiscountCard(discount);
    r.setBonus(15);
    return r;
  };
  auto cashAdvance = [](qint64 amount, qint64 cash, const QString& card, const QString& merchant) {
    PaymentProcessingRequest r = withDetails(request(1, amount), card, merchant);
    r.setCashAdvance(cash);
    return r;
  };
  auto certificate = [](int type) {
    PaymentProcessingRequest r = request(type, 700);
    r.setBasketId(QStringLiteral("BASKET-1"));
    r.setRrn(QStringLiteral("555444333222"));
    r.setMerchantId(QStringLiteral("3"));
    return r;
  };
  auto cancelRequest = [](const char* merchant, bool refundFlag) {
    PaymentProcessingRequest r = request(1, 500);
    r.setRrn(QStringLiteral("111222333444"));
    r.setMerchantId(QString::fromLatin1(merchant));
    r.setRefund(refundFlag);
    return r;
  };

  const std::vector<ArgumentCase> cases = {
      {"plain sale", "", [&](auto& p) { return p.payment(sale(12345)); }, {"1", "12345", "0"}},
      {"sale with card data and merchant", "",
       [&](auto& p) { return p.payment(withDetails(sale(100), QStringLiteral("4111=2512"), QStringLiteral("7"))); },
       {"1", "100", "0", "4111=2512", "/d=7"}},
      {"discount card with the loyalty option", loyalty, [&](auto& p) { return p.payment(discountSale()); },
       {"1", "100", "0", "4111=2512", "/L=" + str(discount.left(40)), "/B=15", "/d=2"}},
      {"discount card without the loyalty option", "", [&](auto& p) { return p.payment(discountSale()); },
       {"1", "100", "0", "4111=2512", "/d=2"}},
      {"refund type 2", "", [&](auto& p) { return p.payment(refund(2, 1000, "123456789012", "2")); },
       {"3", "1000", "0", "0", "123456789012", "/d=2"}},
      {"refund type 3 without merchant", "", [&](auto& p) { return p.payment(refund(3, 1000, "123456789012", "")); },
       {"3", "1000", "0", "0", "123456789012"}},
      {"cancel of a sale", "", [&](auto& p) { return p.cancel(cancelRequest("", false)); }, {"13", "500"}},
      {"cancel with merchant", "", [&](auto& p) { return p.cancel(cancelRequest("4", false)); },
       {"3", "500", "0", "QSELECT", "111222333444", "/d=4"}},
      {"cancel of a refund", "", [&](auto& p) { return p.cancel(cancelRequest("", true)); },
       {"3", "500", "0", "QSELECT", "111222333444"}},
      {"cancel by biometry", "", [&](auto& p) { return p.cancelByBiometry(cancelRequest("", false)); },
       {"13", "500"}},
      {"biometric sale", "",
       [&](auto& p) {
         return p.paymentByBiometry(withDetails(sale(700), QStringLiteral("4111=2512"), QStringLiteral("1")));
       },
       {"39", "700", "4111=2512", "/d=1"}},
      {"biometric refund runs an ordinary refund", "",
       [&](auto& p) { return p.paymentByBiometry(refund(2, 300, "999888777666", "")); },
       {"3", "300", "0", "0", "999888777666"}},
      {"certificate sale", "", [&](auto& p) { return p.paymentByElectronicCertificate(certificate(1)); },
       {"88", "700", "/a=700", "/b=BASKET-1", "/d=3"}},
      {"certificate refund type 3", "", [&](auto& p) { return p.paymentByElectronicCertificate(certificate(3)); },
       {"89", "700", "0", "0", "555444333222", "/a=700", "/b=BASKET-1", "/d=3"}},
      {"cash advance", "",
       [&](auto& p) { return p.paymentWithCashAdvance(cashAdvance(50000, 10000, QString(), QString())); },
       {"61", "50000", "/a=000000010000"}},
      {"cash advance with card data and merchant", "",
       [&](auto& p) {
         return p.paymentWithCashAdvance(
             cashAdvance(50000, 123456789012345, QStringLiteral("4111=2512"), QStringLiteral("5")));
       },
       {"61", "50000", "/a=123456789012345", "4111=2512", "/d=5"}},
      {"totals", "", [&](auto& p) { return p.checkTotals(2); }, {"7", "2", "0"}},
      {"full report", "", [&](auto& p) { return p.printReport(); }, {"9", "1"}},
      {"short report", "", [&](auto& p) { return p.printShortReport(); }, {"9", "0"}},
      {"card reading", "", [&](auto& p) { return p.readCardTrack2(); }, {"20"}},
      {"discount card reading", "", [&](auto& p) { return p.discountCard(); }, {"20"}},
      {"hashed card number", "", [&](auto& p) { return p.getHashedCardNumber(); }, {"20"}},
      {"payment account reference", "", [&](auto& p) { return p.getPar(); }, {"20"}},
      {"card request cancel", "",
       [&](auto& p) {
         p.cancelCardRequest();
         return PaymentProcessingAnswer();
       },
       {"31"}},
  };

  installMolvex();
  for (const ArgumentCase& c : cases) {
    SCOPED_TRACE(c.name);
    freshRuns();
    answerRun(1, responseFile(approvedLines()));
    auto processing = makeProcessing(c.config);
    ASSERT_TRUE(processing);
    c.operation(*processing);
    EXPECT_EQ(runs(), 1);
    EXPECT_EQ(argsOf(1), c.expected);
    // molvex itself is started through sudo, with its dialogues on the PIN pad.
    Args sudoArgs{"-s", "./molvex"};
    sudoArgs.insert(sudoArgs.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(ReadLines(proc_ + "/sudo.args"), sudoArgs);
  }
}

TEST_F(PluvanTest, OperationsThatRunNothingAnswerAtOnce) {
  struct Case {
    const char* name;
    std::function<PaymentProcessingAnswer(AbstractPaymentProcessing&)> operation;
    const char* id;
    const char* text;
  };
  auto withCash = [](int type) {
    PaymentProcessingRequest r = request(type, 700);
    r.setCashAdvance(1);
    return r;
  };
  const std::vector<Case> cases = {
      {"biometric sale with cash advance", [&](auto& p) { return p.paymentByBiometry(withCash(1)); },
       "vlPaymentProcessingNotSupportedCashAdvanceWithPaymentByBiometry",
       "Процессинг не поддерживает выдачу наличных\nсовместно с оплатой по биометрии"},
      {"certificate sale with cash advance", [&](auto& p) { return p.paymentByElectronicCertificate(withCash(1)); },
       "vlPaymentProcessingNotSupportedCashAdvanceWithPaymentByElectronicCertificate",
       "Процессинг не поддерживает выдачу наличных\nсовместно с оплатой по Электронному Сертификату НСПК"},
      {"copy of a cheque", [&](auto& p) { return p.printCopy(request(1, 700)); }, "vlPaymentProcessingNotSupported",
       "Не поддерживается"},
      {"payment of an unknown type", [&](auto& p) { return p.payment(request(4, 700)); }, "", ""},
      {"certificate of type 2", [&](auto& p) { return p.paymentByElectronicCertificate(request(2, 700)); }, "", ""},
      {"cash advance refund", [&](auto& p) { return p.paymentWithCashAdvance(withCash(2)); }, "", ""},
  };
  installMolvex();
  auto processing = makeProcessing();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PaymentProcessingAnswer answer = c.operation(*processing);
    EXPECT_EQ(runs(), 0);
    EXPECT_EQ(answer.resultKind(), PaymentProcessingAnswer::Error);
    EXPECT_EQ(str(answer.message().id()), c.id);
    EXPECT_EQ(str(answer.message().defaultText()), c.text);
    EXPECT_TRUE(answer.cheques().isEmpty());
  }
}

// ---- the response file ----

TEST_F(PluvanTest, FullResponseFillsTheAnswer) {
  installMolvex();
  answerRun(1, responseFile(approvedLines()), encode("KOI8-R", QStringLiteral("ЧЕК\r\nИТОГ 1.00\r\n")).toStdString());
  auto processing = makeProcessing();
  const PaymentProcessingAnswer a = processing->readCardTrack2();

  EXPECT_EQ(a.resultCode(), 0);
  EXPECT_EQ(a.resultKind(), PaymentProcessingAnswer::Success);
  EXPECT_EQ(a.message().ui(), QStringLiteral("Одобрено"));
  EXPECT_TRUE(a.message().id().isEmpty());
  EXPECT_EQ(str(a.cardNumber()), "411111******1111=2512101123456789");
  EXPECT_EQ(str(a.derivedCardNumber()), "0010112345678");
  EXPECT_EQ(str(a.authCode()), "123456");
  EXPECT_EQ(str(a.cardTypeName()), "Visa");
  EXPECT_TRUE(a.isOwnCard());
  EXPECT_EQ(str(a.terminalId()), "00112233");
  EXPECT_EQ(str(a.rrn()), "401234567890");
  EXPECT_EQ(str(a.cardHash()), "A1B2C3D4E5F60718293A4B5C6D7E8F9001122334");
  EXPECT_EQ(str(a.paymentAccountReference()), "PAR0123456789");
  EXPECT_EQ(a.entryKind(), 2);
  EXPECT_EQ(str(a.details()), R"({"cardEntryMode":"Q","operationFlags":"00008000"})");
  EXPECT_EQ(a.extraTexts(), QStringList{QStringLiteral("LOYALTY-77")});
  ASSERT_EQ(a.cheques().size(), 1) << "card reading gets no second copy";
  EXPECT_EQ(a.cheques().first(), QStringLiteral("ЧЕК\r\nИТОГ 1.00\r\n"));
  EXPECT_TRUE(logged(QStringLiteral("Код статуса: 0; Описание: Одобрено; Выполнено успешно")));
}

TEST_F(PluvanTest, SixLineResponseLeavesTheLaterValuesEmpty) {
  installMolvex();
  answerRun(1, responseFile({QStringLiteral("0,Одобрено"), QStringLiteral("4111"), QString(), QStringLiteral("A1"),
                             QString(), QStringLiteral("MIR")}));
  auto processing = makeProcessing();
  const PaymentProcessingAnswer a = processing->readCardTrack2();
  EXPECT_EQ(a.resultKind(), PaymentProcessingAnswer::Success);
  EXPECT_EQ(str(a.cardTypeName()), "MIR");
  EXPECT_FALSE(a.isOwnCard());
  EXPECT_TRUE(a.rrn().isEmpty());
  EXPECT_TRUE(a.paymentAccountReference().isEmpty());
  EXPECT_TRUE(a.derivedCardNumber().isEmpty());
  EXPECT_EQ(a.entryKind(), 1);
  EXPECT_TRUE(a.extraTexts().isEmpty());
  EXPECT_EQ(str(a.details()), R"({"cardEntryMode":"","operationFlags":""})");
}

TEST_F(PluvanTest, CardValuesDerivedFromTheirLines) {
  struct Case {
    const char* cardNumber;
    const char* derived;
    const char* ownCard;
    bool own;
    const char* entryMode;
    int entryKind;
  };
  const std::vector<Case> cases = {
      {"4111=12345", "", "0", false, "P", 3},          // data of 5 characters: nothing derived
      {"4111=123456", "0000000000005", "01", true, "Q", 2},
      {"4111=1234567890123456789012", "56789012345678901", "1x", false, "QQ", 1},  // longer than 13: not cut
      {"4111=1234=5678", "", "2", false, "C", 1},     // three parts
      {"4111123456", "", "", false, "", 1},
  };
  installMolvex();
  auto processing = makeProcessing();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cardNumber);
    freshRuns();
    std::vector<QString> lines = approvedLines();
    lines[1] = QString::fromLatin1(c.cardNumber);
    lines[6] = QString::fromLatin1(c.ownCard);
    lines[27] = QString::fromLatin1(c.entryMode);
    answerRun(1, responseFile(lines));
    const PaymentProcessingAnswer a = processing->readCardTrack2();
    EXPECT_EQ(str(a.derivedCardNumber()), c.derived);
    EXPECT_EQ(a.isOwnCard(), c.own);
    EXPECT_EQ(a.entryKind(), c.entryKind);
  }
}

TEST_F(PluvanTest, ResultCodesGiveTheirKindMessageAndCheque) {
  struct Case {
    const char* firstLine;
    int code;
    int kind;
    const char* id;
    const char* text;
    bool cheque;
  };
  const std::vector<Case> cases = {
      {"0,Одобрено", 0, 0, "", "Одобрено", true},
      {"99,Сбой", 99, 12, "", "Сбой", true},
      {"2002,Прервано", 2002, 11, "", "Прервано", true},
      {"4321,x", 4321, 8, "vlPaymentProcessingRemoveCard", "Извлеките карту из пин-пада", false},
      {"4353,Нужен хэш", 4353, 4, "", "Нужен хэш", false},
      {"4414,Отказ", 4414, 1, "vlPaymentProcessingCancelCard", "Операция отклонена картой", false},
      {"4455,x", 4455, 1, "vlPaymentProcessingTryAgainWithCorrectPinCode",
       "Повторите операцию с корректным вводом ПИН-кода", false},
      {"4457,x", 4457, 1, "vlPaymentProcessingChooseAnotherCard", "Выберите другую карту или измените способ оплаты",
       false},
      {"4405,Операция отклонена", 4405, 1, "", "Операция отклонена", true},
      {"4405,", 4405, 1, "vlPaymentProcessingOperationError", "Ошибка при выполнении операции", true},
      {"99", 99, 12, "vlPaymentProcessingOperationError", "Ошибка при выполнении операции", true},
      {" 0 ,Одобрено, с запятой", 0, 0, "", "Одобрено, с запятой", true},
  };
  // molvex exits with 99 when the operation failed; the response file still counts.
  installMolvex("exit 99\n");
  auto processing = makeProcessing();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firstLine);
    freshRuns();
    std::vector<QString> lines = approvedLines();
    lines[0] = QString::fromUtf8(c.firstLine);
    answerRun(1, responseFile(lines), "SLIP\r\n");
    const PaymentProcessingAnswer a = processing->readCardTrack2();
    EXPECT_EQ(a.resultCode(), c.code);
    EXPECT_EQ(a.resultKind(), c.kind);
    EXPECT_EQ(str(a.message().id()), c.id);
    EXPECT_EQ(str(a.message().ui()), c.text);
    EXPECT_EQ(a.cheques().size(), c.cheque ? 1 : 0);
    EXPECT_EQ(a.derivedCardNumber().isEmpty(), !c.cheque);
  }
  EXPECT_TRUE(logged(QStringLiteral("Команда завершена с кодом ошибки (99), stderror: ''")));
}

TEST_F(PluvanTest, UnreadableResponsesAreErrors) {
  struct Case {
    const char* name;
    bool writeResponse;
    std::string response;
    const char* id;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"no response file", false, "", "vlPaymentProcessingStatusReadError", "Ошибка чтения файла статуса операции"},
      {"five lines", true, "0,OK\r\n1\r\n2\r\n3\r\n4", "vlPaymentProcessingStatusParseError",
       "Ошибка разбора файла статуса"},
      {"empty file", true, "", "vlPaymentProcessingStatusParseError", "Ошибка разбора файла статуса"},
      {"code not a number", true, "abc,x\r\n\r\n\r\n\r\n\r\n", "vlPaymentProcessingStatusCodeGetError",
       "Ошибка получения кода статуса"},
      {"code with trailing junk", true, "12ab,x\r\n\r\n\r\n\r\n\r\n", "vlPaymentProcessingStatusCodeGetError",
       "Ошибка получения кода статуса"},
  };
  installMolvex();
  auto processing = makeProcessing();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    freshRuns();
    if (c.writeResponse) {
      answerRun(1, c.response, "SLIP");
    }
    const PaymentProcessingAnswer a = processing->payment(request(1, 100));
    EXPECT_EQ(runs(), 1);
    EXPECT_EQ(a.resultKind(), PaymentProcessingAnswer::Error);
    EXPECT_EQ(str(a.message().id()), c.id);
    EXPECT_EQ(str(a.message().ui()), c.text);
    EXPECT_TRUE(a.cheques().isEmpty());
  }
}

TEST_F(PluvanTest, StaleFilesOfAnEarlierRunAreNeverRead) {
  // molvex dies before writing anything: the e, p and abort files of the
  // earlier run must be gone, not taken for this run's answer.
  installMolvex();
  WriteFile(proc_ + "/e", responseFile(approvedLines()));
  WriteFile(proc_ + "/p", "OLD SLIP");
  WriteFile(proc_ + "/POLLING.OFF", "ABORT");
  WriteFile(proc_ + "/POLLING.OK", "ABORT");
  auto processing = makeProcessing();
  const PaymentProcessingAnswer a = processing->payment(request(1, 100));
  EXPECT_EQ(str(a.message().id()), "vlPaymentProcessingStatusReadError");
  EXPECT_TRUE(a.cheques().isEmpty());
  EXPECT_FALSE(FileExists(proc_ + "/POLLING.OFF"));
  EXPECT_FALSE(FileExists(proc_ + "/POLLING.OK"));
}

// ---- text codecs ----

TEST_F(PluvanTest, TextsAreDecodedWithTheConfiguredCodec) {
  struct Case {
    const char* name;
    std::string config;
    const char* fileCodec;
    const char* log;
  };
  const std::vector<Case> cases = {
      {"default KOI8-R", "", "KOI8-R", " используемая кодировка: koi8-r"},
      {"configured cp866", "[main]\nencoding=ibm866\n", "IBM866", " используемая кодировка: ibm866"},
      {"unknown codec falls back to cp866", "[main]\nencoding=no-such-codec\n", "IBM866",
       "Не удалось получить кодировку 'no-such-codec'. Будет использована кодировка по умолчанию(ibm866)"},
  };
  installMolvex();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    freshRuns();
    std::vector<QString> lines = approvedLines();
    lines[5] = QStringLiteral("МИР Классик");
    answerRun(1, responseFile(lines, c.fileCodec), encode(c.fileCodec, QStringLiteral("Сумма: 1.00 руб.")).toStdString());
    auto processing = makeProcessing(c.config);
    EXPECT_TRUE(logged(QString::fromUtf8(c.log)));
    const PaymentProcessingAnswer a = processing->readCardTrack2();
    EXPECT_EQ(a.message().ui(), QStringLiteral("Одобрено"));
    EXPECT_EQ(a.cardTypeName(), QStringLiteral("МИР Классик"));
    ASSERT_EQ(a.cheques().size(), 1);
    EXPECT_EQ(a.cheques().first(), QStringLiteral("Сумма: 1.00 руб."));
  }
}

// ---- payment rules ----

TEST_F(PluvanTest, SecondChequeCopyFollowsTheLimit) {
  struct Case {
    const char* config;
    qint64 amount;
    bool chequeFile;
    int cheques;
  };
  const std::vector<Case> cases = {
      {"[main]\nlimit=100000\n", 50000, true, 1},
      {"[main]\nlimit=100000\n", 100000, true, 2},
      {"[main]\nlimit=100000\n", 150000, true, 2},
      {"[main]\nlimit=0\n", 1, true, 2},
      {"[main]\nlimit=-5\n", 1, true, 2},
      {"", 1, false, 0},
  };
  installMolvex();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.config) + " amount " + std::to_string(c.amount));
    freshRuns();
    answerRun(1, responseFile(approvedLines()), c.chequeFile ? "CHEQUE TEXT\r\n" : "");
    auto processing = makeProcessing(c.config);
    const PaymentProcessingAnswer a = processing->payment(request(1, c.amount));
    ASSERT_EQ(a.cheques().size(), c.cheques);
    for (const QString& cheque : a.cheques()) {
      EXPECT_EQ(cheque, QStringLiteral("CHEQUE TEXT\r\n"));
    }
  }
}

TEST_F(PluvanTest, CardHashRequestRerunsTheSaleWithTheHash) {
  installMolvex();
  std::vector<QString> first = approvedLines();
  first[0] = QStringLiteral("4353,Нужен хэш");
  first[10] = QStringLiteral("HASH0123456789");
  answerRun(1, responseFile(first), "NOT THIS ONE");
  answerRun(2, responseFile(approvedLines()), "SECOND RUN SLIP");
  auto processing = makeProcessing();

  PaymentProcessingRequest sale = withDetails(request(1, 2500), QStringLiteral("4111=2512"), QStringLiteral("9"));
  const PaymentProcessingAnswer a = processing->payment(sale);
  ASSERT_EQ(runs(), 2);
  EXPECT_EQ(argsOf(1), (Args{"1", "2500", "0", "4111=2512", "/d=9"}));
  EXPECT_EQ(argsOf(2), (Args{"1", "2500", "0", "HASH0123456789", "/d=9"}));
  EXPECT_EQ(a.resultKind(), PaymentProcessingAnswer::Success);
  EXPECT_EQ(a.cheques(), (QStringList{QStringLiteral("SECOND RUN SLIP"), QStringLiteral("SECOND RUN SLIP")}));

  // Without card data from the cash desk there is nothing to re-run.
  freshRuns();
  answerRun(1, responseFile(first));
  const PaymentProcessingAnswer b = processing->payment(request(1, 2500));
  EXPECT_EQ(runs(), 1);
  EXPECT_EQ(b.resultCode(), 4353);
  EXPECT_EQ(b.resultKind(), PaymentProcessingAnswer::RetryWithCardHash);
}

TEST_F(PluvanTest, CertificatePaymentsAddTheBasketToTheDetails) {
  installMolvex();
  auto processing = makeProcessing();
  for (int type : {1, 3}) {
    SCOPED_TRACE(type);
    freshRuns();
    answerRun(1, responseFile(approvedLines()));
    PaymentProcessingRequest r = request(type, 700);
    r.setBasketId(QStringLiteral("basket \"7\""));
    const PaymentProcessingAnswer a = processing->paymentByElectronicCertificate(r);
    const QJsonObject details = QJsonDocument::fromJson(a.details().toUtf8()).object();
    EXPECT_EQ(details.value(QStringLiteral("ecBasketId")).toString(), QStringLiteral("basket \"7\""));
    EXPECT_EQ(details.value(QStringLiteral("cardEntryMode")).toString(), QStringLiteral("Q"));
    EXPECT_EQ(details.value(QStringLiteral("operationFlags")).toString(), QStringLiteral("00008000"));
  }
}

// ---- running molvex ----

TEST_F(PluvanTest, ProgramThatCannotBeRunIsReportedWithItsPath) {
  struct Case {
    const char* name;
    bool install;
    unsigned mode;
    const char* id;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"missing", false, 0, "vlPaymentProcessingExecutableNotFound", "Не найден исполняемый файл '%1'"},
      {"not executable", true, 0644, "vlPaymentProcessingWrongFilePermissions",
       "Файл '%1' не имеет прав на исполнение"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove((proc_ + "/molvex").c_str());
    if (c.install) {
      installMolvex("exit 0\n", c.mode);
    }
    auto processing = makeProcessing();
    const PaymentProcessingAnswer a = processing->payment(request(1, 100));
    EXPECT_EQ(a.resultKind(), PaymentProcessingAnswer::Error);
    EXPECT_EQ(str(a.message().id()), c.id);
    EXPECT_EQ(str(a.message().defaultText()), c.text);
    EXPECT_EQ(a.message().args(), QStringList{QString::fromStdString(proc_ + "/molvex")});
    EXPECT_EQ(runs(), 0);
    EXPECT_FALSE(FileExists(proc_ + "/sudo.args")) << "nothing may be started";
  }
}

TEST_F(PluvanTest, TimeLimitEndsMolvex) {
  struct Case {
    const char* name;
    std::string config;
    bool totals;
    const char* molvex;
  };
  const std::vector<Case> cases = {
      {"operation time-out", "[main]\ntimeout=1\n", false, "exec sleep 30\n"},
      {"totals time-out", "[main]\ntimeout=300\ntotalsTimeout=1\n", true, "exec sleep 30\n"},
      {"negative totals time-out takes the operation's", "[main]\ntimeout=1\ntotalsTimeout=-1\n", true,
       "exec sleep 30\n"},
      // The ignored signal stays ignored across exec: only a kill ends it.
      {"program that ignores the request to stop", "[main]\ntimeout=1\n", false, "trap '' TERM\nexec sleep 30\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    freshRuns();
    installMolvex(c.molvex);
    answerRun(1, responseFile(approvedLines()));
    auto processing = makeProcessing(c.config);
    const auto start = std::chrono::steady_clock::now();
    const PaymentProcessingAnswer a = c.totals ? processing->checkTotals(1) : processing->payment(request(1, 100));
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 20) << "molvex must be ended at the time limit";
    EXPECT_EQ(a.resultKind(), PaymentProcessingAnswer::Error);
    EXPECT_EQ(str(a.message().id()), "vlPaymentProcessingTimeout");
    EXPECT_EQ(str(a.message().ui()), "Истёк таймаут выполнения команды. Процесс принудительно завершен");
    EXPECT_TRUE(a.cheques().isEmpty());
  }
}

TEST_F(PluvanTest, TotalsWaitsForItsOwnLongerTimeOut) {
  // The operation time-out alone would end this run; the totals time-out lets it finish.
  installMolvex("sleep 1.5\n");
  answerRun(1, responseFile(approvedLines()));
  auto processing = makeProcessing("[main]\ntimeout=1\ntotalsTimeout=10\n");
  const PaymentProcessingAnswer a = processing->checkTotals(1);
  EXPECT_EQ(a.resultKind(), PaymentProcessingAnswer::Success) << str(a.message().ui());
}

TEST_F(PluvanTest, ProgressIsReportedWhileMolvexRuns) {
  std::vector<int> reported;
  QMutex mutex;
  Session::getInstance()->setProgressListener([&](int value) {
    QMutexLocker lock(&mutex);
    reported.push_back(value);
  });
  installMolvex("sleep 1.3\n");
  answerRun(1, responseFile(approvedLines()));
  auto processing = makeProcessing();
  processing->readCardTrack2();
  QMutexLocker lock(&mutex);
  ASSERT_GE(reported.size(), 3u);
  EXPECT_EQ(reported.front(), 0);
  EXPECT_EQ(reported[1], 1) << "each timer tick raises the counter by one";
  EXPECT_EQ(reported.back(), 100);
}

TEST_F(PluvanTest, RunThatDoesNotEndNormallyIsAPaymentError) {
  installMolvex("kill -9 $$\n");
  answerRun(1, responseFile(approvedLines()));
  auto processing = makeProcessing();
  for (bool sudoMissing : {false, true}) {
    SCOPED_TRACE(sudoMissing ? "sudo cannot be started" : "molvex crashes");
    if (sudoMissing) {
      setenv("PATH", tmp_.path().c_str(), 1);
    }
    const PaymentProcessingAnswer a = processing->payment(request(1, 100));
    EXPECT_EQ(runs(), 1);
    EXPECT_EQ(a.resultKind(), PaymentProcessingAnswer::Error);
    EXPECT_EQ(str(a.message().id()), "vlPaymentProcessingPaymentError");
    EXPECT_EQ(str(a.message().ui()), "Ошибка процесса оплаты");
    EXPECT_TRUE(a.cheques().isEmpty());
  }
}

TEST_F(PluvanTest, DialoguesOnTheCashDeskRunTheScriptInATerminal) {
  installMolvex();
  WriteScript(proc_ + "/vl_call.sh", "exec ./molvex \"$@\"\n");
  auto processing = makeProcessing("[main]\ndialogsOnPinpad=false\n");

  answerRun(1, responseFile(approvedLines()));
  const PaymentProcessingAnswer a = processing->payment(request(1, 12345));
  EXPECT_EQ(a.resultKind(), PaymentProcessingAnswer::Success);
  EXPECT_EQ(ReadLines(proc_ + "/sudo.args"),
            (Args{"xterm", "-fa", "'Monospace'", "-fs", "14", "-maximized", "-e", "./vl_call.sh 1 12345 0"}));
  EXPECT_EQ(argsOf(1), (Args{"1", "12345", "0"}));

  // Request data reaches the terminal's shell as one quoted word each: it is
  // handed to molvex unchanged and never runs as a command.
  freshRuns();
  answerRun(1, responseFile(approvedLines()));
  const std::string card = "4111=2512; touch injected 'x' $(touch injected2)";
  processing->payment(withDetails(request(1, 100), QString::fromStdString(card), QStringLiteral("1")));
  EXPECT_EQ(argsOf(1), (Args{"1", "100", "0", card, "/d=1"}));
  EXPECT_FALSE(FileExists(proc_ + "/injected"));
  EXPECT_FALSE(FileExists(proc_ + "/injected2"));
}

TEST_F(PluvanTest, MissingScriptForTerminalDialoguesIsReported) {
  installMolvex();
  auto processing = makeProcessing("[main]\ndialogsOnPinpad=false\n");
  const PaymentProcessingAnswer a = processing->payment(request(1, 100));
  EXPECT_EQ(str(a.message().id()), "vlPaymentProcessingExecutableNotFound");
  EXPECT_EQ(a.message().args(), QStringList{QString::fromStdString(proc_ + "/vl_call.sh")});
  EXPECT_EQ(runs(), 0);
}

// ---- interruption ----

TEST_F(PluvanTest, InterruptionAcknowledgedByMolvex) {
  // molvex takes the abort request by renaming the file, then answers.
  installMolvex(
      "i=0\n"
      "while [ ! -f POLLING.OFF ] && [ $i -lt 200 ]; do sleep 0.02; i=$((i+1)); done\n"
      "mv POLLING.OFF POLLING.OK\n"
      "printf '2000,Прервано\\r\\n\\r\\n\\r\\n\\r\\n\\r\\n' > e\n");
  auto processing = makeProcessing();
  std::atomic<bool> acknowledged{false};
  std::thread cashier([&] {
    for (int i = 0; i < 200 && !FileExists(proc_ + "/args.1"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    acknowledged = processing->interruptPayment();
  });
  const PaymentProcessingAnswer a = processing->payment(request(1, 100));
  cashier.join();
  EXPECT_TRUE(acknowledged);
  EXPECT_EQ(ReadFile(proc_ + "/POLLING.OK"), "ABORT");
  EXPECT_EQ(a.resultCode(), 2000);
  EXPECT_EQ(a.resultKind(), PaymentProcessingAnswer::Error);
  EXPECT_TRUE(logged(QStringLiteral("Прерывание операции")));
}

TEST_F(PluvanTest, InterruptionNotAcknowledged) {
  auto processing = makeProcessing();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(processing->interruptPayment());
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(ms, 290) << "three looks 100 ms apart";
  EXPECT_EQ(ReadFile(proc_ + "/POLLING.OFF"), "ABORT");

  // A longer leftover request is replaced, not appended to.
  WriteFile(proc_ + "/POLLING.OFF", "CANCEL-AND-MORE");
  EXPECT_FALSE(processing->interruptPayment());
  EXPECT_EQ(ReadFile(proc_ + "/POLLING.OFF"), "ABORT");

  // No processing folder: the abort file cannot be written.
  testsupport::RemoveTree(proc_);
  EXPECT_FALSE(processing->interruptPayment());
  EXPECT_TRUE(logged(QStringLiteral("Невозможно открыть файл для прерывания операции")));
}

// ---- the hand-driven host program ----

TEST_F(PluvanTest, HostProgramRunsAnOperationAndPrintsTheAnswer) {
  installMolvex();
  answerRun(1, responseFile(approvedLines()), "SLIP");
  WriteFile(conf_, "[main]\nlimit=1000\n");
  testsupport::ProcessOptions options;
  options.env = {"PATH=" + bin_ + ":" + savedPath_, "PLUVAN_TEST_PROCESSING_DIR=" + proc_,
                 "PLUVAN_TEST_CONFIG_FILE=" + conf_};
  const testsupport::ProcessResult result = testsupport::RunProcess(
      {testsupport::BuiltProgram("pluvan-host"), PLUVAN_PLUGIN_PATH, "payment", "type=1", "amount=999",
       "merchantId=4"},
      options);
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(argsOf(1), (Args{"1", "999", "0", "/d=4"}));
  const QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(result.out)).object();
  EXPECT_EQ(answer.value(QStringLiteral("resultKind")).toInt(-1), 0);
  EXPECT_EQ(answer.value(QStringLiteral("message")).toString(), QStringLiteral("Одобрено"));
  EXPECT_EQ(answer.value(QStringLiteral("cheques")).toArray().size(), 1) << "below the second-copy limit";
}

}  // namespace
