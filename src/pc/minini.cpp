#include "src/pc/minini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <memory>
#include <algorithm>

#include "src/pc/report.h"

namespace {

constexpr int kLineSize = 512;       // one line piece: at most 511 bytes
constexpr size_t kMaxKeyLine = 509;  // key, "=" and value, before the line feed
constexpr size_t kMaxKey = 508;
constexpr size_t kMaxSection = 507;

bool IsBlank(char c) { return c > 0 && static_cast<unsigned char>(c) <= 32; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const char* a, size_t alen, const char* b) {
  if (std::strlen(b) != alen) return false;
  for (size_t i = 0; i < alen; ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// A closing owner for stdio files.
struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// What one line piece is, as far as the reader and the writer care.
enum class LineKind { kOther, kHeader, kKey };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  const char* name = nullptr;   // header: section name; key line: key text
  size_t name_len = 0;
  const char* value = nullptr;  // key line: text after the separator, blanks skipped
  bool header_closed = false;   // header: a "]" follows
};

ParsedLine ParseLine(const char* line) {
  ParsedLine out;
  const char* p = SkipBlanks(line);
  if (*p == '[') {
    out.kind = LineKind::kHeader;
    const char* close = std::strchr(p + 1, ']');
    if (close != nullptr) {
      out.header_closed = true;
      out.name = p + 1;
      out.name_len = static_cast<size_t>(close - (p + 1));
    }
    return out;
  }
  if (*p == ';' || *p == '#' || *p == '\0') return out;
  const char* sep = std::strchr(p, '=');
  if (sep == nullptr) sep = std::strchr(p, ':');
  if (sep == nullptr) return out;
  const char* end = sep;
  while (end > p && IsBlank(end[-1])) --end;
  out.kind = LineKind::kKey;
  out.name = p;
  out.name_len = static_cast<size_t>(end - p);
  out.value = SkipBlanks(sep + 1);
  return out;
}

// The value as a reader sees it: trailing comment and blanks removed, and for
// a quoted value the quotes removed and escaped quotes resolved.
std::string CleanValue(const char* raw) {
  std::string v;
  bool quoted = false;
  for (const char* p = raw; *p != '\0'; ++p) {
    if ((p[0] == '\\' || p[0] == '"') && p[1] == '"') {
      v.push_back(p[0]);
      v.push_back(p[1]);
      ++p;
      continue;
    }
    if (*p == '"') quoted = !quoted;
    if (!quoted && (*p == ';' || *p == '#')) break;
    v.push_back(*p);
  }
  while (!v.empty() && IsBlank(v.back())) v.pop_back();
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
    std::string inner;
    for (size_t i = 1; i + 1 < v.size(); ++i) {
      if ((v[i] == '"' || v[i] == '\\') && i + 2 < v.size() && v[i + 1] == '"') {
        inner.push_back('"');
        ++i;
      } else {
        inner.push_back(v[i]);
      }
    }
    return inner;
  }
  return v;
}

bool IsSectionHeader(const ParsedLine& line, const char* section) {
  return line.kind == LineKind::kHeader && line.header_closed && SameName(line.name, line.name_len, section);
}

// Positions the stream behind the header of section (no-op for ""). False at end of file.
bool SeekSection(FILE* f, const char* section, char* buf) {
  if (*section == '\0') return true;
  while (std::fgets(buf, kLineSize, f) != nullptr) {
    if (IsSectionHeader(ParseLine(buf), section)) return true;
  }
  return false;
}

// Finds key in the current section; fills value on success.
bool FindKey(FILE* f, const char* section, const char* key, std::string& value) {
  char buf[kLineSize];
  if (!SeekSection(f, section, buf)) return false;
  while (std::fgets(buf, kLineSize, f) != nullptr) {
    ParsedLine line = ParseLine(buf);
    if (line.kind == LineKind::kHeader) return false;
    if (line.kind == LineKind::kKey && SameName(line.name, line.name_len, key)) {
      value = CleanValue(line.value);
      return true;
    }
  }
  return false;
}

std::string KeyLine(const char* key, const char* value) {
  std::string line(key, std::min(std::strlen(key), kMaxKey));
  line.push_back('=');
  bool quote = std::strpbrk(value, "\";#") != nullptr;
  size_t vlen = std::strlen(value);
  if (vlen > 0 && value[vlen - 1] == ' ') quote = true;
  std::string v;
  if (quote) {
    v.push_back('"');
    for (const char* p = value; *p != '\0'; ++p) {
      if (*p == '"') v.push_back('\\');
      v.push_back(*p);
    }
    v.push_back('"');
  } else {
    v = value;
  }
  if (line.size() + v.size() > kMaxKeyLine) v.resize(kMaxKeyLine - line.size());
  line += v;
  line.push_back('\n');
  return line;
}

std::string HeaderLine(const char* section) {
  return "[" + std::string(section, std::min(std::strlen(section), kMaxSection)) + "]\n";
}

std::string TempNameFor(const std::string& name) {
  std::string temp = name;
  if (!temp.empty()) temp.back() = '~';
  return temp;
}

// A writer that remembers whether what it wrote so far ends with a line feed.
class LineWriter {
 public:
  explicit LineWriter(FILE* f) : f_(f) {}
  void Put(const char* s, size_t n) {
    if (n == 0) return;
    if (std::fwrite(s, 1, n, f_) != n) failed_ = true;
    last_ = s[n - 1];
  }
  void Put(const std::string& s) { Put(s.data(), s.size()); }
  void EndLine() {
    if (last_ != '\0' && last_ != '\n') Put("\n", 1);
  }
  bool failed() const { return failed_ || std::ferror(f_) != 0; }

 private:
  FILE* f_;
  char last_ = '\0';
  bool failed_ = false;
};

// Copies the file with the key line put in its place, as a reader expects it.
void RewriteWithKey(FILE* in, LineWriter& out, const char* section, const char* key,
                    const std::string& key_line) {
  char buf[kLineSize];
  if (*section != '\0') {
    bool found = false;
    while (std::fgets(buf, kLineSize, in) != nullptr) {
      out.Put(buf, std::strlen(buf));
      if (IsSectionHeader(ParseLine(buf), section)) {
        found = true;
        break;
      }
    }
    if (!found) {
      out.EndLine();
      out.Put(HeaderLine(section));
      out.Put(key_line);
      return;
    }
  }
  bool written = false;
  while (!written && std::fgets(buf, kLineSize, in) != nullptr) {
    ParsedLine line = ParseLine(buf);
    if (line.kind == LineKind::kHeader) {
      out.Put(key_line);
      out.Put(buf, std::strlen(buf));
      written = true;
    } else if (line.kind == LineKind::kKey && SameName(line.name, line.name_len, key)) {
      out.Put(key_line);
      written = true;
    } else {
      out.Put(buf, std::strlen(buf));
    }
  }
  if (!written) {
    out.EndLine();
    out.Put(key_line);
    return;
  }
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) out.Put(buf, n);
}

// The file a write really replaces: the target of a symbolic link, so the link survives.
std::string ResolveTarget(const char* filename) {
  struct stat st {};
  if (lstat(filename, &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(filename, resolved) != nullptr) return resolved;
  }
  return filename;
}

// Writes the new content completely and safely to disk beside the INI file,
// then swaps it in, so a reader always finds either the old or the new file.
int ReplaceAtomically(FILE* in, const std::string& target, const char* section, const char* key,
                      const std::string& key_line) {
  std::string temp = TempNameFor(target);
  struct stat st {};
  bool have_stat = fstat(fileno(in), &st) == 0;
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  FILE* out_file = fdopen(fd, "w");
  if (out_file == nullptr) {
    close(fd);
    unlink(temp.c_str());
    return 0;
  }
  LineWriter out(out_file);
  RewriteWithKey(in, out, section, key, key_line);
  bool ok = !out.failed() && std::fflush(out_file) == 0 && fsync(fd) == 0;
  if (ok && have_stat) {
    ok = fchmod(fd, st.st_mode & 07777) == 0;
    if (fchown(fd, st.st_uid, st.st_gid) != 0) {
      // Only the owner may be kept by a privileged writer; the mode is what matters here.
    }
  }
  ok = (std::fclose(out_file) == 0) && ok;
  if (!ok) {
    unlink(temp.c_str());
    return 0;
  }
  if (rename(temp.c_str(), target.c_str()) != 0) {
    // A file that cannot be renamed over (a mount point of its own) is rewritten in place.
    ini_copy_from(target.c_str(), temp.c_str());
    unlink(temp.c_str());
  }
  return 1;
}

}  // namespace

extern "C" int ini_gets(const char* section, const char* key, const char* default_value, char* buffer,
                        int bufsize, const char* filename) {
  if (buffer == nullptr || bufsize <= 0 || key == nullptr) return 0;
  if (section == nullptr) section = "";
  std::string value = default_value != nullptr ? default_value : "";
  if (filename != nullptr) {
    FilePtr f(std::fopen(filename, "r"));
    if (f) {
      std::string found;
      if (FindKey(f.get(), section, key, found)) value = found;
    }
  }
  size_t n = std::min(value.size(), static_cast<size_t>(bufsize - 1));
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

extern "C" int ini_puts(const char* section, const char* key, const char* value, const char* filename) {
  if (key == nullptr || filename == nullptr) return 0;
  if (section == nullptr) section = "";
  if (value == nullptr) value = "";
  std::string key_line = KeyLine(key, value);
  std::string target = ResolveTarget(filename);

  FilePtr in(std::fopen(target.c_str(), "r"));
  if (!in) {
    FilePtr created(std::fopen(target.c_str(), "w"));
    if (!created) return 0;
    LineWriter out(created.get());
    if (*section != '\0') out.Put(HeaderLine(section));
    out.Put(key_line);
    bool ok = !out.failed() && std::fflush(created.get()) == 0;
    return ok ? 1 : 0;
  }
  std::string current;
  if (FindKey(in.get(), section, key, current) && current == value) return 1;
  std::rewind(in.get());
  return ReplaceAtomically(in.get(), target, section, key, key_line);
}

extern "C" void ini_copy_from(const char* target, const char* source) {
  // The source is opened first: an unreadable source must not empty the target.
  FilePtr in(std::fopen(source, "r"));
  if (!in) {
    ReportString("Cannot open %s. OS error %d", source, errno);
    return;
  }
  FilePtr out(std::fopen(target, "w"));
  if (!out) {
    ReportString("Cannot open %s. OS error %d", target, errno);
    return;
  }
  char buf[kLineSize];
  while (std::fgets(buf, kLineSize, in.get()) != nullptr) std::fputs(buf, out.get());
}
