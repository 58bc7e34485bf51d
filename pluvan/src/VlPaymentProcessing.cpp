#include "VlPaymentProcessing.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextCodec>
#include <QThread>

#include <algorithm>
#include <memory>

#include "Config.h"
#include "ExternalProcessThread.h"
#include "Session.h"

namespace {

const char kDefaultProcessingDir[] = "/vondra/cash/paysystems/vl/";
const char kDefaultConfigFile[] = "/vondra/cash/conf/corvelvl.conf";
// Test hosts point the object at a folder and a configuration of their own.
const char kProcessingDirVariable[] = "PLUVAN_TEST_PROCESSING_DIR";
const char kConfigFileVariable[] = "PLUVAN_TEST_CONFIG_FILE";

const char kConfigGroup[] = "velora";
const char kResponseFile[] = "e";
const char kChequeFile[] = "p";
const char kFallbackCodec[] = "ibm866";

// Host option numbers the processing declares.
constexpr quint32 kProcessingOptions[] = {0, 4, 6, 7, 9};
constexpr quint32 kPaymentProcessingOption = 0x80000;
constexpr quint32 kDiscountCardOption = 13;

constexpr int kDiscountCardLength = 40;
constexpr int kCashAdvanceDigits = 12;
constexpr int kDerivedCardNumberDigits = 13;
constexpr int kAbortChecks = 3;
constexpr unsigned long kAbortCheckPauseMs = 100;

// The lines of a response file: a missing line reads as empty, every line is
// trimmed (which also drops the carriage return of the line end).
class ResponseLines {
 public:
  explicit ResponseLines(const QString& text) : lines_(text.split(QLatin1Char('\n'))) {}
  qsizetype count() const { return lines_.size(); }
  QString at(qsizetype index) const {
    return index < lines_.size() ? lines_.at(index).trimmed() : QString();
  }
  // Line 0 is "code,message".
  QString codeText() const { return lines_.at(0).section(QLatin1Char(','), 0, 0).trimmed(); }
  QString messageText() const {
    const QString first = lines_.at(0);
    const qsizetype comma = first.indexOf(QLatin1Char(','));
    return comma < 0 ? QString() : first.mid(comma + 1).trimmed();
  }

 private:
  QStringList lines_;
};

// The shell of the terminal window reads the command as one text: a word
// that holds anything but the plain characters of card data, amounts and
// named arguments is quoted so that it stays one argument and is never run as
// a command of its own.
QString shellWord(const QString& word) {
  static const QString plain = QStringLiteral(
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./=:,+-@%");
  const bool isPlain = !word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) {
                         return plain.contains(c);
                       });
  if (isPlain) {
    return word;
  }
  QString quoted = word;
  quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
  return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QStringList merchantSuffix(const PaymentProcessingRequest& request) {
  if (request.merchantId().isEmpty()) {
    return {};
  }
  return {QStringLiteral("/d=") + request.merchantId()};
}

QString amountText(qint64 amount) { return QString::number(amount); }

// Track-like card numbers ("number=expiry and service data") carry the card's
// own number in the data after "=": its characters from the fifth to the
// last but one, zero-padded to 13 digits.
QString deriveCardNumber(const QString& cardNumber) {
  const QStringList parts = cardNumber.split(QLatin1Char('='));
  if (parts.size() != 2 || parts.at(1).size() <= 5) {
    return {};
  }
  const QString& data = parts.at(1);
  return data.mid(4, data.size() - 5).rightJustified(kDerivedCardNumberDigits, QLatin1Char('0'));
}

int entryKindOf(const QString& entryMode) {
  if (entryMode == QLatin1String("Q")) {
    return 2;
  }
  if (entryMode == QLatin1String("P")) {
    return 3;
  }
  return 1;
}

QString detailsJson(const QString& entryMode, const QString& operationFlags) {
  QJsonObject details;
  details.insert(QStringLiteral("cardEntryMode"), entryMode);
  details.insert(QStringLiteral("operationFlags"), operationFlags);
  return QString::fromUtf8(QJsonDocument(details).toJson(QJsonDocument::Compact));
}

void addBasketId(PaymentProcessingAnswer& answer, const QString& basketId) {
  QJsonObject details = QJsonDocument::fromJson(answer.details().toUtf8()).object();
  details.insert(QStringLiteral("ecBasketId"), basketId);
  answer.setDetails(QString::fromUtf8(QJsonDocument(details).toJson(QJsonDocument::Compact)));
}

}  // namespace

VlPaymentProcessing::VlPaymentProcessing(QObject* parent)
    : QObject(parent),
      logger_(logging::Logger::logger(QString::fromLatin1(kConfigGroup))),
      processingDir_(QString::fromLatin1(kDefaultProcessingDir)),
      abortFileName_(QStringLiteral("POLLING.OFF")),
      abortAckFileName_(QStringLiteral("POLLING.OK")) {
  const QString dirOverride = qEnvironmentVariable(kProcessingDirVariable);
  if (!dirOverride.isEmpty()) {
    processingDir_ = dirOverride.endsWith(QLatin1Char('/')) ? dirOverride : dirOverride + QLatin1Char('/');
  }
  QString configFile = qEnvironmentVariable(kConfigFileVariable);
  if (configFile.isEmpty()) {
    configFile = QString::fromLatin1(kDefaultConfigFile);
  }

  Config* config = Config::getInstance();
  config->registerFile(QString::fromLatin1(kConfigGroup), configFile);

  const QString encoding = config->getString(QStringLiteral("velora.main:encoding"), QStringLiteral("koi8-r"));
  codec_ = QTextCodec::codecForName(encoding.toLatin1());
  if (codec_ == nullptr) {
    logger_->warn(QStringLiteral("Не удалось получить кодировку '%1'. Будет использована кодировка по "
                                 "умолчанию(ibm866)")
                      .arg(encoding));
    codec_ = QTextCodec::codecForName(kFallbackCodec);
  } else {
    logger_->info(QStringLiteral(" используемая кодировка: %1").arg(encoding));
  }

  dialogsOnPinpad_ = config->getBool(QStringLiteral("velora.main:dialogsOnPinpad"), true);
  logger_->info(QStringLiteral(" диалоги на пинпаде: %1")
                    .arg(dialogsOnPinpad_ ? QStringLiteral("да") : QStringLiteral("нет")));

  secondChequeLimit_ = config->getInt(QStringLiteral("velora.main:limit"), 0);

  timeout_ = config->getInt(QStringLiteral("velora.main:timeout"), 300);
  logger_->info(QStringLiteral(" время ожидания ответа от пинпада: %1 сек.").arg(timeout_));

  totalsTimeout_ = config->getInt(QStringLiteral("velora.main:totalsTimeout"), -1);
  if (totalsTimeout_ < 0) {
    totalsTimeout_ = timeout_;
  }
  logger_->info(
      QStringLiteral(" время ожидания ответа от пинпада для сверки итогов: %1 сек.").arg(totalsTimeout_));

  for (quint32 option : kProcessingOptions) {
    setOption(OptionSet::Processing, option);
  }
  setOption(OptionSet::PaymentProcessing, kPaymentProcessingOption);
  if (config->getBool(QStringLiteral("velora.VeloLoyalty:registerDiscountCard"), false)) {
    setOption(OptionSet::Processing, kDiscountCardOption);
  }
}

VlPaymentProcessing::~VlPaymentProcessing() = default;

QString VlPaymentProcessing::pathOf(const QString& name) const { return processingDir_ + name; }

bool VlPaymentProcessing::isPaymentEnable(int type) const { return type >= 1 && type <= 3; }

bool VlPaymentProcessing::isCancelEnable(int type) const { return type == 1; }

PaymentProcessingAnswer VlPaymentProcessing::refused(const tr::Tr& message) const {
  logger_->error(message.ui());
  PaymentProcessingAnswer answer;
  answer.setResultKind(PaymentProcessingAnswer::Error);
  answer.setMessage(message);
  return answer;
}

QStringList VlPaymentProcessing::saleArguments(const PaymentProcessingRequest& request,
                                               const QString& cardData) const {
  QStringList arguments{QStringLiteral("1"), amountText(request.amount()), QStringLiteral("0")};
  if (!cardData.isEmpty()) {
    arguments << cardData;
  }
  return arguments;
}

PaymentProcessingAnswer VlPaymentProcessing::payment(const PaymentProcessingRequest& request) {
  logger_->info(QStringLiteral("Оплата/возврат"));
  PaymentProcessingAnswer answer;
  if (request.type() == 1) {
    QStringList arguments = saleArguments(request, request.cardData());
    if (hasOption(OptionSet::Processing, kDiscountCardOption) && !request.discountCard().isEmpty()) {
      arguments << QStringLiteral("/L=") + request.discountCard().left(kDiscountCardLength)
                << QStringLiteral("/B=") + QString::number(request.bonus());
    }
    answer = execute(arguments + merchantSuffix(request), timeout_);
  } else if (request.type() == 2 || request.type() == 3) {
    answer = execute(QStringList{QStringLiteral("3"), amountText(request.amount()), QStringLiteral("0"),
                                 QStringLiteral("0"), request.rrn()} +
                         merchantSuffix(request),
                     timeout_);
  }
  processAnswer(answer, request);
  return answer;
}

PaymentProcessingAnswer VlPaymentProcessing::cancel(const PaymentProcessingRequest& request) {
  logger_->info(QStringLiteral("Отмена последней операции"));
  if (!request.merchantId().isEmpty() || request.isRefund()) {
    return execute(QStringList{QStringLiteral("3"), amountText(request.amount()), QStringLiteral("0"),
                               QStringLiteral("QSELECT"), request.rrn()} +
                       merchantSuffix(request),
                   timeout_);
  }
  return execute({QStringLiteral("13"), amountText(request.amount())}, timeout_);
}

PaymentProcessingAnswer VlPaymentProcessing::paymentByBiometry(const PaymentProcessingRequest& request) {
  logger_->info(QStringLiteral("Оплата/возврат по биометрии"));
  if (request.type() != 1) {
    logger_->info(QStringLiteral("Полноценный возврат по биометрии не поддерживается. Возврат будет "
                                 "произведен в обычном режиме"));
    return payment(request);
  }
  if (request.cashAdvance() != 0) {
    return refused(tr::Tr(QStringLiteral("vlPaymentProcessingNotSupportedCashAdvanceWithPaymentByBiometry"),
                          QStringLiteral("Процессинг не поддерживает выдачу наличных\nсовместно с оплатой по "
                                         "биометрии")));
  }
  QStringList arguments{QStringLiteral("39"), amountText(request.amount())};
  if (!request.cardData().isEmpty()) {
    arguments << request.cardData();
  }
  PaymentProcessingAnswer answer = execute(arguments + merchantSuffix(request), timeout_);
  processAnswer(answer, request);
  return answer;
}

PaymentProcessingAnswer VlPaymentProcessing::cancelByBiometry(const PaymentProcessingRequest& request) {
  return cancel(request);
}

PaymentProcessingAnswer VlPaymentProcessing::paymentByElectronicCertificate(
    const PaymentProcessingRequest& request) {
  logger_->info(QStringLiteral("Оплата/возврат по Электронному Сертификату НСПК"));
  const QStringList certificateArguments{QStringLiteral("/a=") + amountText(request.amount()),
                                         QStringLiteral("/b=") + request.basketId()};
  PaymentProcessingAnswer answer;
  if (request.type() == 1) {
    if (request.cashAdvance() != 0) {
      return refused(tr::Tr(
          QStringLiteral("vlPaymentProcessingNotSupportedCashAdvanceWithPaymentByElectronicCertificate"),
          QStringLiteral("Процессинг не поддерживает выдачу наличных\nсовместно с оплатой по Электронному "
                         "Сертификату НСПК")));
    }
    answer = execute(QStringList{QStringLiteral("88"), amountText(request.amount())} + certificateArguments +
                         merchantSuffix(request),
                     timeout_);
  } else if (request.type() == 3) {
    answer = execute(QStringList{QStringLiteral("89"), amountText(request.amount()), QStringLiteral("0"),
                                 QStringLiteral("0"), request.rrn()} +
                         certificateArguments + merchantSuffix(request),
                     timeout_);
  } else {
    return answer;
  }
  processAnswer(answer, request);
  addBasketId(answer, request.basketId());
  return answer;
}

PaymentProcessingAnswer VlPaymentProcessing::paymentWithCashAdvance(const PaymentProcessingRequest& request) {
  logger_->info(QStringLiteral("Оплата с выдачей наличных"));
  PaymentProcessingAnswer answer;
  if (request.type() == 1) {
    QStringList arguments{
        QStringLiteral("61"), amountText(request.amount()),
        QStringLiteral("/a=") +
            amountText(request.cashAdvance()).rightJustified(kCashAdvanceDigits, QLatin1Char('0'))};
    if (!request.cardData().isEmpty()) {
      arguments << request.cardData();
    }
    answer = execute(arguments + merchantSuffix(request), timeout_);
  }
  processAnswer(answer, request);
  return answer;
}

PaymentProcessingAnswer VlPaymentProcessing::printCopy(const PaymentProcessingRequest&) {
  logger_->info(QStringLiteral("Печать копии чека не поддерживается"));
  return refused(tr::Tr(QStringLiteral("vlPaymentProcessingNotSupported"), QStringLiteral("Не поддерживается")));
}

PaymentProcessingAnswer VlPaymentProcessing::checkTotals(int number) {
  logger_->info(QStringLiteral("Сверка итогов"));
  return execute({QStringLiteral("7"), QString::number(number), QStringLiteral("0")}, totalsTimeout_);
}

PaymentProcessingAnswer VlPaymentProcessing::printReport() {
  logger_->info(QStringLiteral("Печать полного отчета"));
  return execute({QStringLiteral("9"), QStringLiteral("1")}, timeout_);
}

PaymentProcessingAnswer VlPaymentProcessing::printShortReport() {
  logger_->info(QStringLiteral("Печать краткого отчета"));
  return execute({QStringLiteral("9"), QStringLiteral("0")}, timeout_);
}

PaymentProcessingAnswer VlPaymentProcessing::readCardTrack2() {
  logger_->info(QStringLiteral("Чтение второй дорожки"));
  return execute({QStringLiteral("20")}, timeout_);
}

PaymentProcessingAnswer VlPaymentProcessing::discountCard() { return readCardTrack2(); }

PaymentProcessingAnswer VlPaymentProcessing::getHashedCardNumber() { return readCardTrack2(); }

PaymentProcessingAnswer VlPaymentProcessing::getPar() { return readCardTrack2(); }

void VlPaymentProcessing::cancelCardRequest() {
  logger_->info(QStringLiteral("Отмена запроса карты"));
  execute({QStringLiteral("31")}, timeout_);
}

bool VlPaymentProcessing::interruptPayment() {
  logger_->info(QStringLiteral("Прерывание операции"));
  {
    QFile abortFile(pathOf(abortFileName_));
    if (!abortFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      logger_->error(QStringLiteral("Невозможно открыть файл для прерывания операции"));
      return false;
    }
    if (abortFile.write("ABORT") != 5 || !abortFile.flush()) {
      logger_->error(QStringLiteral("Невозможно записать данные в файл для прерывания операции"));
      return false;
    }
  }
  for (int check = 0; check < kAbortChecks; ++check) {
    QThread::msleep(kAbortCheckPauseMs);
    if (QFileInfo::exists(pathOf(abortAckFileName_))) {
      return true;
    }
  }
  return false;
}

bool VlPaymentProcessing::readFile(const QString& path, QString& text) const {
  logger_->info(QStringLiteral("Чтение файла '%1'").arg(path));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    logger_->warn(QStringLiteral("Не удалось открыть файл '%1'").arg(path));
    return false;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    logger_->warn(QStringLiteral("Не удалось открыть файл '%1'").arg(path));
    return false;
  }
  text = codec_->toUnicode(bytes);
  return true;
}

bool VlPaymentProcessing::checkExecFile(const QString& program, tr::Tr& message) const {
  const QString path = QDir::cleanPath(QDir(processingDir_).absoluteFilePath(program));
  const QFileInfo info(path);
  if (!info.exists()) {
    message = tr::Tr(QStringLiteral("vlPaymentProcessingExecutableNotFound"),
                     QStringLiteral("Не найден исполняемый файл '%1'"))
                  .arg(path);
    return false;
  }
  if (!info.isFile() || !info.isExecutable()) {
    message = tr::Tr(QStringLiteral("vlPaymentProcessingWrongFilePermissions"),
                     QStringLiteral("Файл '%1' не имеет прав на исполнение"))
                  .arg(path);
    return false;
  }
  return true;
}

PaymentProcessingAnswer VlPaymentProcessing::execute(const QStringList& arguments, int seconds) {
  PaymentProcessingAnswer answer;
  logger_->info(QStringLiteral("Запуск программы с параметрами: '%1'").arg(arguments.join(QLatin1Char(' '))));

  // A stale answer, cheque or abort request of an earlier run must never be
  // taken for this run's.
  for (const QString& name : {QString::fromLatin1(kResponseFile), QString::fromLatin1(kChequeFile),
                              abortFileName_, abortAckFileName_}) {
    QFile::remove(pathOf(name));
  }

  QString program;
  QStringList runnerArguments;
  if (dialogsOnPinpad_) {
    program = QStringLiteral("./molvex");
    runnerArguments << QStringLiteral("-s") << program << arguments;
  } else {
    program = QStringLiteral("./vl_call.sh");
    QStringList words;
    for (const QString& argument : arguments) {
      words << shellWord(argument);
    }
    runnerArguments << QStringLiteral("xterm") << QStringLiteral("-fa") << QStringLiteral("'Monospace'")
                    << QStringLiteral("-fs") << QStringLiteral("14") << QStringLiteral("-maximized")
                    << QStringLiteral("-e") << QStringLiteral("%1 %2").arg(program, words.join(QLatin1Char(' ')));
  }
  logger_->debug(QStringLiteral("sudo ") + runnerArguments.join(QLatin1Char(' ')));

  tr::Tr problem;
  if (!checkExecFile(program, problem)) {
    logger_->error(problem.ui());
    answer.setMessage(problem);
    return answer;
  }

  ExternalProcessThread runner(QStringLiteral("sudo"), runnerArguments, static_cast<qint64>(seconds) * 1000,
                               processingDir_);
  int progress = 0;
  Session* session = Session::getInstance();
  runner.createTimer([&progress, session] {
    progress = std::min(100, progress + 1);
    session->setProgress(progress);
  });
  session->setProgress(0);
  if (!runner.exec()) {
    if (runner.error() == ExternalProcessThread::Timedout) {
      answer.setMessage(tr::Tr(QStringLiteral("vlPaymentProcessingTimeout"),
                               QStringLiteral("Истёк таймаут выполнения команды. Процесс принудительно завершен")));
    } else {
      answer.setMessage(
          tr::Tr(QStringLiteral("vlPaymentProcessingPaymentError"), QStringLiteral("Ошибка процесса оплаты")));
    }
    logger_->error(answer.message().ui());
    return answer;
  }
  session->setProgress(100);
  logger_->debug(QStringLiteral("Вывод команды, stdout: '%1'").arg(runner.standardOutput()));
  if (runner.exitCode() != 0) {
    // molvex exits with 99 for every failed operation; the response file
    // says what went wrong.
    logger_->warn(QStringLiteral("Команда завершена с кодом ошибки (%1), stderror: '%2'")
                      .arg(runner.exitCode())
                      .arg(runner.standardError()));
  }

  QString responseText;
  if (!readFile(pathOf(QString::fromLatin1(kResponseFile)), responseText)) {
    answer.setMessage(tr::Tr(QStringLiteral("vlPaymentProcessingStatusReadError"),
                             QStringLiteral("Ошибка чтения файла статуса операции")));
    logger_->error(answer.message().ui());
    return answer;
  }
  const ResponseLines lines(responseText);
  if (lines.count() <= 5) {
    answer.setMessage(tr::Tr(QStringLiteral("vlPaymentProcessingStatusParseError"),
                             QStringLiteral("Ошибка разбора файла статуса")));
    logger_->error(answer.message().ui());
    return answer;
  }
  bool codeOk = false;
  const int code = lines.codeText().toInt(&codeOk, 10);
  if (!codeOk) {
    answer.setMessage(tr::Tr(QStringLiteral("vlPaymentProcessingStatusCodeGetError"),
                             QStringLiteral("Ошибка получения кода статуса")));
    logger_->error(answer.message().ui());
    return answer;
  }

  answer.setResultCode(code);
  answer.setMessage(tr::Tr(QString(), lines.messageText()));
  answer.setCardNumber(lines.at(1));
  answer.setAuthCode(lines.at(3));
  answer.setCardTypeName(lines.at(5));
  bool ownCardOk = false;
  answer.setOwnCard(lines.at(6).toInt(&ownCardOk, 10) == 1 && ownCardOk);
  answer.setTerminalId(lines.at(7));
  answer.setRrn(lines.at(9));
  answer.setCardHash(lines.at(10));
  const QString operationFlags = lines.at(20);
  answer.setPaymentAccountReference(lines.at(25));
  const QString entryMode = lines.at(27);
  answer.setEntryKind(entryKindOf(entryMode));
  answer.setDetails(detailsJson(entryMode, operationFlags));
  if (!lines.at(31).isEmpty()) {
    answer.addExtraText(lines.at(31));
  }

  bool withCheque = true;
  switch (code) {
    case 0:
      answer.setResultKind(PaymentProcessingAnswer::Success);
      break;
    case 99:
      answer.setResultKind(PaymentProcessingAnswer::Failed);
      break;
    case 2002:
      answer.setResultKind(PaymentProcessingAnswer::Interrupted);
      break;
    case 4321:
      answer.setResultKind(PaymentProcessingAnswer::RemoveCard);
      answer.setMessage(tr::Tr(QStringLiteral("vlPaymentProcessingRemoveCard"),
                               QStringLiteral("Извлеките карту из пин-пада")));
      withCheque = false;
      break;
    case 4353:
      answer.setResultKind(PaymentProcessingAnswer::RetryWithCardHash);
      withCheque = false;
      break;
    case 4414:
      answer.setResultKind(PaymentProcessingAnswer::Error);
      answer.setMessage(tr::Tr(QStringLiteral("vlPaymentProcessingCancelCard"),
                               QStringLiteral("Операция отклонена картой")));
      withCheque = false;
      break;
    case 4455:
      answer.setResultKind(PaymentProcessingAnswer::Error);
      answer.setMessage(tr::Tr(QStringLiteral("vlPaymentProcessingTryAgainWithCorrectPinCode"),
                               QStringLiteral("Повторите операцию с корректным вводом ПИН-кода")));
      withCheque = false;
      break;
    case 4457:
      answer.setResultKind(PaymentProcessingAnswer::Error);
      answer.setMessage(tr::Tr(QStringLiteral("vlPaymentProcessingChooseAnotherCard"),
                               QStringLiteral("Выберите другую карту или измените способ оплаты")));
      withCheque = false;
      break;
    default:
      answer.setResultKind(PaymentProcessingAnswer::Error);
      break;
  }
  if (!withCheque) {
    return answer;
  }

  answer.setDerivedCardNumber(deriveCardNumber(answer.cardNumber()));
  logger_->info(QStringLiteral("Код статуса: %1; Описание: %2; Выполнено %3")
                    .arg(QString::number(code), answer.message().ui(),
                         answer.resultKind() == PaymentProcessingAnswer::Success ? QStringLiteral("успешно")
                                                                                 : QStringLiteral("с ошибкой")));
  logger_->info(QStringLiteral("Номер карты: %1; Тип карты: %2; Код авторизации: %3")
                    .arg(answer.cardNumber(), answer.cardTypeName(), answer.authCode()));
  QString cheque;
  if (readFile(pathOf(QString::fromLatin1(kChequeFile)), cheque)) {
    answer.addCheque(cheque);
    logger_->info(QStringLiteral("Слип: '%1'").arg(cheque));
  }
  if (answer.resultKind() != PaymentProcessingAnswer::Success && answer.message().ui().isEmpty()) {
    answer.setMessage(tr::Tr(QStringLiteral("vlPaymentProcessingOperationError"),
                             QStringLiteral("Ошибка при выполнении операции")));
  }
  return answer;
}

void VlPaymentProcessing::processAnswer(PaymentProcessingAnswer& answer, const PaymentProcessingRequest& request) {
  if (answer.resultCode() == 4353 && !request.cardData().isEmpty()) {
    // The PIN pad wants the card identified by its hash rather than by the
    // track the cash desk read: run the sale once more that way.
    answer = execute(saleArguments(request, answer.cardHash()) + merchantSuffix(request), timeout_);
  }
  if (!answer.cheques().isEmpty()) {
    if (!(secondChequeLimit_ > 0 && request.amount() < secondChequeLimit_)) {
      answer.addCheque(answer.cheques().first());
    }
  }
}
