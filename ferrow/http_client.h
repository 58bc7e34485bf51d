// The update client's HTTP/1.1 client: one POST of a JSON document or one
// file download per exchange, over its own plain TCP connection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "connection.h"
#include "error.h"
#include "file_system.h"
#include "url.h"

struct THttpStatistics {
  bool interfaceOpened = false;
  bool lineReceived = false;
  uint32_t interfaceOpenMs = 0;
  uint32_t connectMs = 0;
  uint32_t lineReadMs = 0;
  std::string interfaceName;
  void Clear() { *this = THttpStatistics(); }
};

struct TPossibleInterface {
  int device;
  const char* name;
  uint32_t readyTimeMs;
};

class THttpClient {
 public:
  static constexpr size_t kRequestHeaderBuffer = 1024;
  static constexpr size_t kLineBuffer = 1024;
  static constexpr size_t kBodyBlock = 4096;
  static constexpr uint32_t kHeaderLineTimeoutMs = 15000;
  static constexpr uint32_t kBodyStallMs = 90000;
  static constexpr uint32_t kConnectTimeoutMs = 15000;
  static const TPossibleInterface PossibleInterfaces[5];

  // A null file system means the default file system.
  THttpClient(const std::string& name, const std::string& url, uint32_t lineTimeout, TFileSystem* fileSystem,
              bool noInterfaceHandling = false);
  THttpClient(const std::string& name, const TUrl& url, uint32_t lineTimeout, TFileSystem* fileSystem,
              bool noInterfaceHandling = false);
  ~THttpClient();

  // Without a port in the text the URL has none.
  void SetURL(const std::string& text) { url_.Parse(text, 0); }
  void SetName(const std::string& name) { name_ = name; }
  void SetFileSystem(TFileSystem* fileSystem) { fileSystem_ = fileSystem; }
  const TUrl& GetUrl() const { return url_; }

  Error Post(const std::string& body, std::string& reply, bool keepConnection = false);
  // Writes the reply body into fileName of the client's file system.
  Error GetFile(const std::string& fileName, uint32_t expectedSize);
  Error PutFile(const std::string&) { return Error(ferrow_errors::kHostName); }
  const THttpStatistics& GetStatistics() const { return statistics_; }
  // Reads one reply from a connection that is already open (the fuzz
  // harness feeds the reply reader from memory this way); the connection is
  // closed afterwards. An empty file name collects the body as text.
  Error ReadReplyFrom(std::unique_ptr<IConnection> connection, std::string& reply, const std::string& fileName);

 private:
  Error TalkToServer(const std::string& body, std::string& reply, const std::string& fileName, bool keepConnection);
  Error InitConnection();
  Error ConnectToHost();
  Error SendRequest(const std::string& body);
  Error ReceiveReply(std::string& reply, const std::string& fileName);
  Error ReadHeaderLine(uint32_t timeout, std::string& line);
  Error ReadBody(bool chunked, int64_t contentLength, std::string& reply, const std::string& fileName);
  Error ReadPortionIntoFileOrString(uint64_t count, TFile* file, std::string& reply);
  void TerminateConnection();
  TFileSystem& FileSystem();
  void WaitForInput();

  std::unique_ptr<TBufferedConnection> connection_;
  TFileSystem* fileSystem_;
  TUrl url_;
  std::string name_;
  uint32_t lineTimeout_;
  size_t interfaceIndex_ = 0;
  uint32_t expectedSize_ = 0;
  THttpStatistics statistics_;
  bool noInterfaceHandling_;
  // Bytes for the download file, written out in large pieces.
  std::string fileBuffer_;
};
