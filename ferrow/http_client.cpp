#include "http_client.h"

#include <cinttypes>

#include "log.h"
#include "system.h"
#include "text.h"

namespace {

void Trace(const std::string& text) { TSystemTracer::Instance().Trace(text); }

constexpr size_t kFileFlushSize = 1 << 16;

uint64_t ParseChunkSize(const std::string& line) {
  // Read like "%lx": leading blanks, an optional 0x, then hexadecimal
  // digits. The value saturates instead of wrapping.
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i + 1 < line.size() && line[i] == '0' && (line[i + 1] == 'x' || line[i + 1] == 'X')) i += 2;
  uint64_t value = 0;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      break;
    }
    value = value > (UINT64_MAX >> 4) ? UINT64_MAX : (value << 4) | static_cast<uint64_t>(digit);
  }
  return value;
}

}  // namespace

const TPossibleInterface THttpClient::PossibleInterfaces[5] = {
    {9, "Ethernet", 5000}, {10, "WiFi", 5000}, {11, "GPRS", 80000}, {15, "USB", 3000}, {16, "COM", 3000},
};

THttpClient::THttpClient(const std::string& name, const std::string& url, uint32_t lineTimeout,
                         TFileSystem* fileSystem, bool noInterfaceHandling)
    : THttpClient(name, TUrl(url, 80), lineTimeout, fileSystem, noInterfaceHandling) {}

THttpClient::THttpClient(const std::string& name, const TUrl& url, uint32_t lineTimeout, TFileSystem* fileSystem,
                         bool noInterfaceHandling)
    : fileSystem_(fileSystem),
      url_(url),
      name_(name),
      lineTimeout_(lineTimeout),
      noInterfaceHandling_(noInterfaceHandling) {}

THttpClient::~THttpClient() = default;

TFileSystem& THttpClient::FileSystem() {
  return fileSystem_ != nullptr ? *fileSystem_ : TSystem::Instance().GetDefaultFileSystem();
}

Error THttpClient::Post(const std::string& body, std::string& reply, bool keepConnection) {
  return TalkToServer(body, reply, "", keepConnection);
}

Error THttpClient::GetFile(const std::string& fileName, uint32_t expectedSize) {
  std::string reply;
  expectedSize_ = expectedSize;
  return TalkToServer("", reply, fileName, false);
}

Error THttpClient::TalkToServer(const std::string& body, std::string& reply, const std::string& fileName,
                                bool keepConnection) {
  statistics_.Clear();
  reply.clear();
  if (fileName.empty()) expectedSize_ = 0;
  Error result = InitConnection();
  Trace("Connecting to " + url_.GetFullUrl() + ", result=" + std::to_string(result.GetCode()) + "\n\n");
  if (result != 0) return result;
  result = SendRequest(body);
  if (result == 0) result = ReceiveReply(reply, fileName);
  if (result != 0 || !keepConnection) {
    TerminateConnection();
    Trace("\n\nDisconnected.\n\n\n\n");
  }
  return result;
}

Error THttpClient::InitConnection() {
  if (!url_.IsValidSymbolicAddress()) return Error(ferrow_errors::kBadUrl);
  if (connection_ && connection_->GetState() == CONNECTION_CONNECTED) return Error();
  connection_.reset();
  return ConnectToHost();
}

Error THttpClient::ConnectToHost() {
  TSystem& system = TSystem::Instance();
  INetworkInterface* device = nullptr;
  Error error;
  const uint64_t openStart = TSystem::GetTimeMSec();
  for (int attempt = 0; attempt < 5; ++attempt) {
    const TPossibleInterface& row = PossibleInterfaces[interfaceIndex_];
    device = system.GetNetworkDevice(row.device);
    error = Error();
    if (device == nullptr) {
      error = Error(ferrow_errors::kNoInterface);
    } else if (!noInterfaceHandling_) {
      error = device->Open();
      statistics_.interfaceOpened = error == 0;
      const uint64_t deadline = TSystem::GetTimeMSec() + row.readyTimeMs;
      while (error == 0) {
        const int state = device->GetState();
        if (state == INTERFACE_READY) break;
        if (state == INTERFACE_FAILED) {
          error = Error(ferrow_errors::kInterfaceFailed);
          error.AddSubError(device->GetLastError().GetCode());
        } else if (TSystem::GetTimeMSec() >= deadline) {
          error = Error(ferrow_errors::kInterfaceNotReady);
        } else {
          TSystem::Idle();
        }
      }
    }
    if (error == 0) {
      statistics_.interfaceName = row.name;
      break;
    }
    if (error == ferrow_errors::kInterfaceStop) break;
    if (device != nullptr) device->Close();
    device = nullptr;
    interfaceIndex_ = (interfaceIndex_ + 1) % 5;
  }
  statistics_.interfaceOpenMs = static_cast<uint32_t>(TSystem::GetTimeMSec() - openStart);
  if (error != 0 || device == nullptr) return error != 0 ? error : Error(ferrow_errors::kNoInterface);

  uint32_t address = url_.GetAddr();
  if (address == 0 && !url_.GetHost().empty()) {
    error = device->Resolve(url_.GetHost(), address);
    if (error != 0) return error;
  }
  if (address == 0) return Error(ferrow_errors::kNoServerAddress);

  const uint64_t connectStart = TSystem::GetTimeMSec();
  Error connectError;
  std::unique_ptr<IConnection> connection = device->Connect(address, url_.GetPort(), connectError);
  if (!connection) {
    interfaceIndex_ = (interfaceIndex_ + 1) % 5;
    return Error(ferrow_errors::kNoConnection);
  }
  const uint64_t deadline = connectStart + ApplyTestTimeoutCap(kConnectTimeoutMs);
  for (;;) {
    const int state = connection->GetState();
    if (state == CONNECTION_CONNECTED) break;
    if (state != CONNECTION_CONNECTING) {
      error = connection->GetLastError();
      if (error == 0) error = Error(ferrow_errors::kConnectFailed);
    } else if (TSystem::GetTimeMSec() >= deadline) {
      error = Error(ferrow_errors::kConnectTimeout);
    }
    if (error != 0) {
      interfaceIndex_ = (interfaceIndex_ + 1) % 5;
      return error;
    }
    TSystem::Idle(connection->GetDescriptor(), true);
  }
  statistics_.connectMs = static_cast<uint32_t>(TSystem::GetTimeMSec() - connectStart);
  connection_ = std::make_unique<TBufferedConnection>(std::move(connection));
  return Error();
}

Error THttpClient::SendRequest(const std::string& body) {
  std::string header;
  if (!body.empty()) {
    header = ferrow_text::Format(
        "POST /%s HTTP/1.1\r\nHost: %s\r\nConnection: keep-alive\r\nUser-Agent: %s\r\n"
        "Accept: application/json, application/*+json\r\nContent-type: application/json;charset=UTF-8\r\n"
        "Content-Length: %lu\r\n\r\n",
        url_.GetDoc().c_str(), url_.GetHost().c_str(), name_.c_str(), static_cast<unsigned long>(body.size()));
  } else {
    header = ferrow_text::Format(
        "GET /%s HTTP/1.1\r\nHost: %s\r\nConnection: keep-alive\r\nUser-Agent: %s\r\n"
        "Accept: application/octet-stream\r\nContent-Type: application/octet-stream\r\n\r\n",
        url_.GetDoc().c_str(), url_.GetHost().c_str(), name_.c_str());
  }
  // The header has always been formatted into a fixed 1024-byte buffer; a
  // header that does not fit (a very long document path) is refused rather
  // than sent cut short.
  if (header.size() >= kRequestHeaderBuffer) return Error(ferrow_errors::kSendOrBody);
  const std::string request = header + body;
  const int32_t sent = connection_->Send(request.data(), request.size());
  if (sent < 0 || static_cast<size_t>(sent) < request.size()) return Error(ferrow_errors::kSendOrBody);
  Trace("Sent:\n-----\n" + request + "\n\n");
  return Error();
}

void THttpClient::WaitForInput() {
  // Bytes already in the read buffer are taken on the next pass; only an
  // empty buffer waits for the socket.
  if (!connection_->HasBufferedData()) TSystem::Idle(connection_->GetDescriptor());
}

Error THttpClient::ReadHeaderLine(uint32_t timeout, std::string& line) {
  line.clear();
  const uint64_t start = TSystem::GetTimeMSec();
  const uint64_t deadline = start + ApplyTestTimeoutCap(timeout);
  Error result(ferrow_errors::kLine);
  while (line.size() < kLineBuffer) {
    char byte;
    const int32_t got = connection_->Receive(&byte, 1);
    if (got < 0) break;
    if (got == 0) {
      if (TSystem::GetTimeMSec() >= deadline) break;
      WaitForInput();
      continue;
    }
    line.push_back(byte);
    if (line.size() >= 2 && line[line.size() - 2] == '\r' && byte == '\n') {
      line.resize(line.size() - 2);
      statistics_.lineReceived = true;
      result = Error();
      break;
    }
  }
  statistics_.lineReadMs += static_cast<uint32_t>(TSystem::GetTimeMSec() - start);
  return result;
}

Error THttpClient::ReceiveReply(std::string& reply, const std::string& fileName) {
  Trace("Received:\n---------\n");
  std::string line;
  Error result = ReadHeaderLine(lineTimeout_, line);
  if (result != 0) return result;
  Trace(line + "\n");
  if (line.size() < 12 || line.compare(0, 4, "HTTP") != 0 || line.compare(9, 3, "200") != 0) {
    reply = line;
    return Error(ferrow_errors::kStatus);
  }
  bool chunked = false;
  int64_t contentLength = -1;
  for (;;) {
    result = ReadHeaderLine(kHeaderLineTimeoutMs, line);
    if (result != 0) return result;
    Trace(line + "\n");
    if (line.empty()) break;
    const size_t separator = line.find(": ");
    if (separator == std::string::npos) {
      reply = line;
      return Error(ferrow_errors::kHeader);
    }
    const std::string name = line.substr(0, separator);
    const std::string value = line.substr(separator + 2);
    if (value == "chunked") chunked = true;
    if (name == "Content-Length") contentLength = ferrow_text::DecimalToInt(value);
  }
  return ReadBody(chunked, contentLength, reply, fileName);
}

Error THttpClient::ReadBody(bool chunked, int64_t contentLength, std::string& reply, const std::string& fileName) {
  TFile file;
  if (!fileName.empty() && (chunked || contentLength > 0)) {
    file = FileSystem().OpenForWrite(fileName);
    if (!file.IsOpen()) return Error(ferrow_errors::kCreateFile);
  }
  TFile* target = file.IsOpen() ? &file : nullptr;
  Error result;
  if (!chunked) {
    if (contentLength > 0) result = ReadPortionIntoFileOrString(static_cast<uint64_t>(contentLength), target, reply);
  } else {
    std::string line;
    result = ReadHeaderLine(kHeaderLineTimeoutMs, line);
    uint64_t size = result == 0 ? ParseChunkSize(line) : 0;
    while (result == 0 && size > 0) {
      result = ReadPortionIntoFileOrString(size, target, reply);
      if (result != 0) break;
      result = ReadHeaderLine(kHeaderLineTimeoutMs, line);  // the end of the chunk
      if (result != 0) break;
      result = ReadHeaderLine(kHeaderLineTimeoutMs, line);  // the next size
      if (result != 0) break;
      size = ParseChunkSize(line);
    }
  }
  if (target != nullptr && !fileBuffer_.empty()) {
    if (!target->WriteAll(fileBuffer_.data(), fileBuffer_.size()) && result == 0) {
      result = Error(ferrow_errors::kCreateFile);
    }
    fileBuffer_.clear();
  }
  return result;
}

Error THttpClient::ReadPortionIntoFileOrString(uint64_t count, TFile* file, std::string& reply) {
  const uint32_t stallLimit = ApplyTestTimeoutCap(kBodyStallMs);
  uint64_t lastData = TSystem::GetTimeMSec();
  char block[kBodyBlock];
  while (count > 0) {
    const size_t want = count < kBodyBlock ? static_cast<size_t>(count) : kBodyBlock;
    const int32_t got = connection_->Receive(block, want);
    if (got < 0) return Error(ferrow_errors::kSendOrBody);
    if (got == 0) {
      if (TSystem::GetTimeMSec() - lastData >= stallLimit) return Error(ferrow_errors::kSendOrBody);
      WaitForInput();
      continue;
    }
    lastData = TSystem::GetTimeMSec();
    count -= static_cast<uint64_t>(got);
    if (file != nullptr) {
      fileBuffer_.append(block, static_cast<size_t>(got));
      if (fileBuffer_.size() >= kFileFlushSize) {
        if (!file->WriteAll(fileBuffer_.data(), fileBuffer_.size())) return Error(ferrow_errors::kCreateFile);
        fileBuffer_.clear();
      }
    } else {
      reply.append(block, static_cast<size_t>(got));
      Trace(std::string(block, static_cast<size_t>(got)));
    }
  }
  return Error();
}

void THttpClient::TerminateConnection() { connection_.reset(); }

Error THttpClient::ReadReplyFrom(std::unique_ptr<IConnection> connection, std::string& reply,
                                 const std::string& fileName) {
  reply.clear();
  connection_ = std::make_unique<TBufferedConnection>(std::move(connection));
  const Error result = ReceiveReply(reply, fileName);
  TerminateConnection();
  return result;
}
