#include "log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>

#include "file_system.h"
#include "paths.h"
#include "system.h"
#include "text.h"

namespace {

constexpr off_t kLauncherLogLimit = 100000;

struct tm LocalNow() {
  const time_t now = ::time(nullptr);
  struct tm parts {};
  ::localtime_r(&now, &parts);
  return parts;
}

void AppendToFile(const std::string& path, const std::string& text) {
  TFile file(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
  if (file.IsOpen()) file.WriteAll(text.data(), text.size());
}

}  // namespace

void ReportString(const char* format, ...) {
  char message[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  const struct tm t = LocalNow();
  const std::string line = ferrow_text::Format("%02lu.%02lu.%04lu %02lu:%02lu:%02lu %s", (unsigned long)t.tm_mday,
                                               (unsigned long)(t.tm_mon + 1), (unsigned long)(t.tm_year + 1900),
                                               (unsigned long)t.tm_hour, (unsigned long)t.tm_min,
                                               (unsigned long)t.tm_sec, message);
  const std::string path = pcc_MakeFullPathTo("launcher.log", PathToLog);
  TFile file(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
  if (!file.IsOpen()) return;
  file.WriteAll(line.data(), line.size());
  const int64_t size = file.Length();
  file.Close();
  if (size > kLauncherLogLimit) ::unlink(path.c_str());
}

std::string T_LE_ComError::GetEventMarker() const {
  return ferrow_text::Format("Error %lu", (unsigned long)GetCode());
}

TSystemTracer& TSystemTracer::Instance() {
  static TSystemTracer tracer;
  return tracer;
}

void TSystemTracer::Enable(SYSTRACE_TARGET target) {
  target_ = target;
  enabled_ = target != SYSTRACE_NONE;
}

void TSystemTracer::LogData(const TLogEvent& event) {
  if (!enabled_) return;
  std::string text = event.GetEventMarker();
  if (!event.GetData().empty()) {
    text += "\n";
    if (event.NeedsHexDump()) {
      static const char kDigits[] = "0123456789ABCDEF";
      for (unsigned char c : event.GetData()) {
        text.push_back(kDigits[c >> 4]);
        text.push_back(kDigits[c & 15]);
      }
      text += "\n";
    } else {
      text += event.GetData();
    }
  }
  switch (target_) {
    case SYSTRACE_FILE: {
      TFileSystem logFolder(pcc_GetPath(PathToLog));
      AppendToFile(logFolder.MakeFullPath("t2trace.txt"), text);
      break;
    }
    case SYSTRACE_PRINTER:
    case SYSTRACE_SERIAL:  // this platform has no serial device for the trace
    case SYSTRACE_NONE:
      break;
  }
}

TLoggerToFile::TLoggerToFile(const std::string& name, TFileSystem* fileSystem, uint32_t maximumSize)
    : name_(name.substr(0, 255)), fileSystem_(fileSystem), maximumSize_(maximumSize) {}

void TLoggerToFile::TrimIfNeeded() {
  if (maximumSize_ == 0 || fileSystem_->GetFileLength(name_) < maximumSize_) return;
  // Keep the newest half: move the file aside and copy its tail back.
  if (fileSystem_->RenameFile(name_, "tmpflnm") != 0) return;
  TFile in = fileSystem_->OpenForRead("tmpflnm");
  TFile out = fileSystem_->OpenForWrite(name_);
  if (in.IsOpen() && out.IsOpen()) {
    const int64_t length = in.Length();
    const int64_t keep = maximumSize_ / 2;
    if (length > keep) ::lseek(in.fd(), static_cast<off_t>(length - keep), SEEK_SET);
    char piece[1000];
    for (;;) {
      const int64_t got = in.Read(piece, sizeof piece);
      if (got <= 0 || !out.WriteAll(piece, static_cast<size_t>(got))) break;
    }
  }
  in.Close();
  out.Close();
  fileSystem_->EraseFile("tmpflnm");
}

std::string FormatHexDump(const std::string& data, const std::string& marker) {
  std::string out;
  const bool longMarker = marker.size() > 1;
  const std::string continuation = "\r\n" + std::string(15, ' ') + (longMarker ? std::string(" ") : marker);
  if (longMarker) out += "\r\n" + std::string(16, ' ');
  for (size_t line = 0; line < data.size(); line += 16) {
    if (line > 0) out += continuation;
    const size_t count = data.size() - line < 16 ? data.size() - line : 16;
    for (size_t i = 0; i < 16; ++i) {
      if (i < count) {
        out += ferrow_text::Format("%02X", static_cast<unsigned char>(data[line + i]));
      } else {
        out += "  ";
      }
      out += i == 15 ? "|" : " ";
    }
    for (size_t i = 0; i < count; ++i) {
      const unsigned char c = static_cast<unsigned char>(data[line + i]);
      out.push_back(c < 32 ? '.' : static_cast<char>(c));
    }
  }
  return out;
}

void TLoggerToFile::LogData(const TLogEvent& event) {
  if (fileSystem_ == nullptr) return;
  TrimIfNeeded();
  const struct tm t = LocalNow();
  const std::string marker = event.GetEventMarker();
  std::string text = ferrow_text::Format("%02lu.%02lu %02lu:%02lu:%02lu %s", (unsigned long)t.tm_mday,
                                         (unsigned long)(t.tm_mon + 1), (unsigned long)t.tm_hour,
                                         (unsigned long)t.tm_min, (unsigned long)t.tm_sec, marker.c_str());
  if (event.NeedsHexDump()) {
    text += FormatHexDump(event.GetData(), marker);
  } else {
    text += event.GetData();
  }
  text += "\r\n";
  AppendToFile(fileSystem_->MakeFullPath(name_), text);
}
