#include "quillet/launcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "src/pc/child_process.h"
#include "src/pc/param_args.h"
#include "src/pc/report.h"

namespace {

constexpr size_t kSavedCwdSize = 256;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

class Dir {
 public:
  explicit Dir(const char* path) : dir_(opendir(path)) {}
  ~Dir() {
    if (dir_ != nullptr) closedir(dir_);
  }
  Dir(const Dir&) = delete;
  Dir& operator=(const Dir&) = delete;
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

// Only regular files count: a folder that happens to carry the name is not
// something to compare or copy.
int OpenRegular(const char* path, struct stat* st) {
  if (path == nullptr || path[0] == '\0') return -1;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

// Reads up to size bytes; the count actually read.
size_t ReadAll(int fd, char* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = read(fd, buffer + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool WriteAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void CopyCut(char* out, const char* begin, size_t length) {
  if (out == nullptr) return;
  if (length > kFnameMax) length = kFnameMax;
  std::memcpy(out, begin, length);
  out[length] = '\0';
}

bool Exists(const char* name) { return access(name, F_OK) == 0; }

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void RunShell(const char* command) {
  int ignored = std::system(command);  // the result is not checked: the next step runs anyway
  (void)ignored;
}

}  // namespace

extern "C" void fnameSplit(const char* path, char* folder, char* name, char* extension) {
  if (path == nullptr) path = "";
  const char* base = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  const char* dot = std::strrchr(base, '.');
  const char* end = path + std::strlen(path);
  if (dot == nullptr) dot = end;
  CopyCut(folder, path, static_cast<size_t>(base - path));
  CopyCut(name, base, static_cast<size_t>(dot - base));
  CopyCut(extension, dot, static_cast<size_t>(end - dot));
}

extern "C" void fnameMerge(char* output, const char* folder, const char* name, const char* extension) {
  if (output == nullptr) return;
  std::string merged;
  for (const char* part : {folder, name, extension}) {
    if (part != nullptr) merged += part;
  }
  CopyCut(output, merged.data(), merged.size());
}

extern "C" int64_t FileLength(const char* file) {
  struct stat st{};
  int fd = OpenRegular(file, &st);
  if (fd < 0) return -1;
  close(fd);
  return static_cast<int64_t>(st.st_size);
}

extern "C" bool AreFilesDifferent(const char* a, const char* b) {
  struct stat st_a{}, st_b{};
  Fd fa(OpenRegular(a, &st_a));
  if (!fa.ok()) return false;
  Fd fb(OpenRegular(b, &st_b));
  if (!fb.ok()) return false;
  if (st_a.st_size <= 0 || st_b.st_size <= 0) return false;
  if (st_a.st_size != st_b.st_size) return true;
  size_t size = static_cast<size_t>(st_a.st_size);
  std::vector<char> da(size), db(size);
  size_t ra = ReadAll(fa.get(), da.data(), size);
  size_t rb = ReadAll(fb.get(), db.data(), size);
  if (ra != rb) return true;
  return std::memcmp(da.data(), db.data(), ra) != 0;
}

extern "C" bool CopyFile(const char* from, const char* to) {
  if (to == nullptr || to[0] == '\0') return false;
  struct stat st{};
  Fd source(OpenRegular(from, &st));
  if (!source.ok() || st.st_size <= 0) return false;
  std::vector<char> content(static_cast<size_t>(st.st_size));
  size_t got = ReadAll(source.get(), content.data(), content.size());
  if (got == 0) return false;
  // A new copy of a program stays runnable: it takes the source's rights.
  Fd target(open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777));
  if (!target.ok()) return false;
  return WriteAll(target.get(), content.data(), got);
}

extern "C" void UpdateExeFile(const char* mask, int folder) {
  if (mask == nullptr || std::strncmp(mask, "*.", 2) != 0 || mask[2] == '\0') return;
  const std::string suffix = std::string(".") + (mask + 2);

  std::vector<std::string> names;
  {
    Dir dir(pcc_GetPath(folder));
    if (dir.get() == nullptr) return;
    // The whole listing first: entries are deleted as they are installed.
    while (dirent* entry = readdir(dir.get())) names.emplace_back(entry->d_name);
  }
  for (const std::string& delivered : names) {
    // Only a name that ends in the extension is a delivery; "x.new.txt" is not
    // one and must not be copied onto "x.ne".
    if (delivered.size() <= suffix.size() || !EndsWith(delivered, suffix)) continue;
    const std::string installed = delivered.substr(0, delivered.size() - suffix.size());
    const std::string backup = installed + ".old";
    if (!AreFilesDifferent(installed.c_str(), delivered.c_str())) continue;
    // The delivery is removed only once it is really in place, and the
    // installed file is overwritten only once its backup exists: a failed
    // copy must leave the next run something to install and something to
    // go back to.
    if (!CopyFile(installed.c_str(), backup.c_str())) continue;
    if (!CopyFile(delivered.c_str(), installed.c_str())) continue;
    unlink(delivered.c_str());
  }
}

extern "C" int QuilletMain(int argc, char* argv[]) {
  char program_folder[kPccMaxPath + 1];
  pcc_FillCurrentPath(program_folder);
  pcc_SetPath(PathToProgram, program_folder);

  char saved_cwd[kSavedCwdSize];
  const bool have_cwd = getcwd(saved_cwd, sizeof saved_cwd) != nullptr;

  char own_folder[kFnameMax + 1] = "";
  if (argc > 0 && argv != nullptr && argv[0] != nullptr) {
    char folder[kFnameMax + 1];
    char name[kFnameMax + 1];
    char extension[kFnameMax + 1];
    fnameSplit(argv[0], folder, name, extension);
    fnameMerge(own_folder, folder, nullptr, nullptr);
  }

  // Exactly these operations, not "70", "021" or "7 ".
  const bool run_updater =
      argc > 1 && argv[1] != nullptr && (std::strcmp(argv[1], "7") == 0 || std::strcmp(argv[1], "21") == 0);

  pcc_GetParamArgs(argc, argv);

  if (own_folder[0] != '\0' && chdir(own_folder) != 0) {
    // Stay where we are; the names below then resolve in the caller's folder.
  }

  if (Exists("molvex.new")) {
    RunShell("mv -f molvex molvex.old");
    ReportString("molvex renamed to molvex.old");
    RunShell("mv -f molvex.new molvex");
    ReportString("molvex.new renamed to molvex");
  }

  UpdateExeFile("*.new", PathToProgram);

  pcc_ForkHiddenProcess("./dravik.out", argc, argv);

  if (run_updater) {
    if (!Exists("ferrow")) {
      ReportString("Can't find ferrow");
    } else {
      pid_t pid = 0;
      if (pcc_CallHiddenProcess("./ferrow", nullptr, &pid) == 0) pcc_WaitForProcess(pid);
    }
  }

  if (have_cwd && chdir(saved_cwd) != 0) {
    // Nothing runs after this; the folder does not matter any more.
  }
  return 0;
}
