// Server addresses: URL parsing and printing, and the pool of addresses a
// client rotates through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TUrl {
 public:
  TUrl() = default;
  TUrl(const std::string& text, uint16_t defaultPort) { Parse(text, defaultPort); }
  TUrl(uint32_t address, uint16_t port, const std::string& document);

  void Clear();
  void Parse(const std::string& text, uint16_t defaultPort);

  uint32_t GetAddr() const { return address_; }
  uint16_t GetPort() const { return port_; }
  const std::string& GetHost() const { return host_; }
  const std::string& GetDoc() const { return document_; }
  const std::string& GetProtocol() const { return protocol_; }
  std::string GetFullUrl() const;
  bool IsValidSymbolicAddress() const { return !host_.empty() && port_ != 0; }
  bool IsValidDigitalAddress() const { return address_ != 0 && port_ != 0; }

 private:
  void ParseHost();

  uint32_t address_ = 0;
  uint16_t port_ = 0;
  std::string protocol_;
  std::string host_;
  std::string document_;
};

class TUrlPool {
 public:
  TUrlPool(const std::string& list, uint16_t defaultPort);

  size_t Size() const { return urls_.size(); }
  const TUrl& GetCurrentUrl() const;
  const TUrl& GetNextUrl();
  void AddUrl(const TUrl& url);
  void DeleteUrl(size_t index);
  const TUrl& operator[](size_t index) const { return index < urls_.size() ? urls_[index] : empty_; }
  std::string GetAllUrls() const;

 private:
  TUrl empty_;
  std::vector<TUrl> urls_;
  size_t current_ = 0;
};

// Drops the first "http://" and everything from the first "/" on.
std::string RemoveProtocolAndDocFromUrl(const std::string& text);
