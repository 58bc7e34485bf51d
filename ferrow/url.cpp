#include "url.h"

#include "text.h"

TUrl::TUrl(uint32_t address, uint16_t port, const std::string& document)
    : address_(address), port_(port), document_(document) {
  host_ = ferrow_text::Format("%u.%u.%u.%u", (address >> 24) & 255u, (address >> 16) & 255u, (address >> 8) & 255u,
                              address & 255u);
}

void TUrl::Clear() {
  address_ = 0;
  port_ = 0;
  protocol_.clear();
  host_.clear();
  document_.clear();
}

void TUrl::Parse(const std::string& text, uint16_t defaultPort) {
  Clear();
  size_t hostStart = 0;
  const size_t scheme = text.find("://");
  if (scheme != std::string::npos) {
    protocol_ = text.substr(0, scheme);
    hostStart = scheme + 3;
  }
  size_t hostEnd = text.find('/', hostStart);
  if (hostEnd != std::string::npos) {
    document_ = text.substr(hostEnd + 1);
  } else {
    hostEnd = text.size();
  }
  const size_t colon = text.find(':', hostStart);
  // A colon that only appears in the document is no port separator.
  if (colon == std::string::npos || colon > hostEnd) {
    host_ = text.substr(hostStart, hostEnd - hostStart);
    port_ = defaultPort;
    ParseHost();
    return;
  }
  const std::string portText = text.substr(colon + 1, hostEnd - colon - 1);
  if (portText.empty() || portText.size() > 5) return;
  uint32_t port = 0;
  for (char c : portText) port = port * 10 + static_cast<uint32_t>(static_cast<unsigned char>(c) - '0');
  if (port > 65535) return;
  port_ = static_cast<uint16_t>(port);
  host_ = text.substr(hostStart, colon - hostStart);
  ParseHost();
}

void TUrl::ParseHost() {
  address_ = 0;
  size_t dots[3];
  size_t found = 0;
  for (size_t i = 0; i < host_.size() && found < 4; ++i) {
    if (host_[i] == '.') {
      if (found == 3) return;
      dots[found++] = i;
    }
  }
  if (found != 3) return;
  const size_t starts[4] = {0, dots[0] + 1, dots[1] + 1, dots[2] + 1};
  const size_t ends[4] = {dots[0], dots[1], dots[2], host_.size()};
  uint32_t address = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t length = ends[i] - starts[i];
    if (length > 3 || (i > 0 && length < 1)) return;
    // The characters are not checked to be digits: each one is taken as a
    // digit, as the conversion always did.
    uint32_t value = 0;
    for (size_t k = starts[i]; k < ends[i]; ++k) {
      value = value * 10 + static_cast<uint32_t>(static_cast<unsigned char>(host_[k]) - '0');
    }
    if (value > 255) return;
    address = (address << 8) | value;
  }
  address_ = address;
}

std::string TUrl::GetFullUrl() const {
  std::string text;
  if (!protocol_.empty()) text = protocol_ + "://";
  text += host_ + ":" + std::to_string(port_);
  if (!document_.empty()) text += "/" + document_;
  return text;
}

TUrlPool::TUrlPool(const std::string& list, uint16_t defaultPort) {
  std::string line;
  bool pending = false;
  for (size_t i = 0; i < list.size(); ++i) {
    const char c = list[i];
    if (c == '\r' || c == '\n') {
      urls_.emplace_back(line, defaultPort);
      line.clear();
      pending = false;
      const char other = c == '\r' ? '\n' : '\r';
      if (i + 1 < list.size() && list[i + 1] == other) ++i;
    } else {
      line.push_back(c);
      pending = true;
    }
  }
  if (pending) urls_.emplace_back(line, defaultPort);
}

const TUrl& TUrlPool::GetCurrentUrl() const { return urls_.empty() ? empty_ : urls_[current_]; }

const TUrl& TUrlPool::GetNextUrl() {
  if (urls_.empty()) return empty_;
  current_ = (current_ + 1) % urls_.size();
  return urls_[current_];
}

void TUrlPool::AddUrl(const TUrl& url) {
  if (url.IsValidDigitalAddress()) urls_.push_back(url);
}

void TUrlPool::DeleteUrl(size_t index) {
  if (index >= urls_.size()) return;
  urls_.erase(urls_.begin() + static_cast<std::ptrdiff_t>(index));
  if (current_ >= urls_.size()) current_ = 0;
}

std::string TUrlPool::GetAllUrls() const {
  std::string text;
  for (const auto& url : urls_) text += url.GetFullUrl() + "\r\n";
  return text;
}

std::string RemoveProtocolAndDocFromUrl(const std::string& text) {
  std::string result = text;
  const size_t protocol = result.find("http://");
  if (protocol != std::string::npos) result.erase(protocol, 7);
  const size_t slash = result.find('/');
  if (slash != std::string::npos) result.erase(slash);
  return result;
}
