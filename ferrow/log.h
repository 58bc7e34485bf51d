// The update client's records: "launcher.log", the conversation trace
// "t2trace.txt" and the raw per-connection traces.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TFileSystem;

// One line in "launcher.log" of the log folder (printf rules, 256-byte
// buffer, no line break added). The file is deleted once it grows past
// 100000 bytes; the next record starts a new one.
void ReportString(const char* format, ...) __attribute__((format(printf, 1, 2)));

class TLogEvent {
 public:
  TLogEvent(uint32_t code, std::string data) : code_(code), data_(std::move(data)) {}
  virtual ~TLogEvent() = default;
  virtual bool NeedsHexDump() const { return false; }
  virtual std::string GetEventMarker() const { return ""; }
  uint32_t GetCode() const { return code_; }
  const std::string& GetData() const { return data_; }

 private:
  uint32_t code_;
  std::string data_;
};

class TSysTraceLine : public TLogEvent {
 public:
  explicit TSysTraceLine(std::string text) : TLogEvent(0, ""), text_(std::move(text)) {}
  std::string GetEventMarker() const override { return text_; }

 private:
  std::string text_;
};

class T_LE_Connected : public TLogEvent {
 public:
  explicit T_LE_Connected(std::string peer = "") : TLogEvent(0, std::move(peer)) {}
  std::string GetEventMarker() const override { return "Connected"; }
};

class T_LE_Disconnected : public TLogEvent {
 public:
  T_LE_Disconnected() : TLogEvent(0, "") {}
  std::string GetEventMarker() const override { return "Disconnected\n"; }
};

class T_LE_Sent : public TLogEvent {
 public:
  explicit T_LE_Sent(std::string bytes) : TLogEvent(0, std::move(bytes)) {}
  bool NeedsHexDump() const override { return true; }
  std::string GetEventMarker() const override { return ">"; }
};

class T_LE_Received : public TLogEvent {
 public:
  explicit T_LE_Received(std::string bytes) : TLogEvent(0, std::move(bytes)) {}
  bool NeedsHexDump() const override { return true; }
  std::string GetEventMarker() const override { return "<"; }
};

class T_LE_ComError : public TLogEvent {
 public:
  explicit T_LE_ComError(uint32_t code) : TLogEvent(code, "") {}
  std::string GetEventMarker() const override;
};

enum SYSTRACE_TARGET {
  SYSTRACE_NONE = 0,
  SYSTRACE_PRINTER = 1,
  SYSTRACE_SERIAL = 2,
  SYSTRACE_FILE = 3,
};

class TSystemTracer {
 public:
  static TSystemTracer& Instance();
  void Enable(SYSTRACE_TARGET target);
  bool IsEnabled() const { return enabled_; }
  void LogData(const TLogEvent& event);
  void Trace(const std::string& text) { LogData(TSysTraceLine(text)); }

 private:
  SYSTRACE_TARGET target_ = SYSTRACE_NONE;
  bool enabled_ = false;
};

class TLoggerToFile {
 public:
  // A logger without a file system writes nothing.
  TLoggerToFile(const std::string& name, TFileSystem* fileSystem, uint32_t maximumSize);
  virtual ~TLoggerToFile() = default;
  void LogData(const TLogEvent& event);
  void SetFileName(const std::string& name) { name_ = name.substr(0, 255); }
  bool IsLogging() const { return fileSystem_ != nullptr; }

 private:
  void TrimIfNeeded();
  std::string name_;
  TFileSystem* fileSystem_;
  uint32_t maximumSize_;
};

// The hexadecimal dump of one event as written into a connection trace.
std::string FormatHexDump(const std::string& data, const std::string& marker);
