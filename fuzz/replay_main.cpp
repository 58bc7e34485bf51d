// Runs a fuzz harness over every file of its seed corpus, so that the
// regular (sanitized) test run replays all inputs the fuzzers ever found.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int ReplayFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 0;
}

int ReplayPath(const std::string& path, int& count) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    std::fprintf(stderr, "no such corpus: %s\n", path.c_str());
    return 1;
  }
  if (!S_ISDIR(st.st_mode)) {
    ++count;
    return ReplayFile(path);
  }
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return 1;
  int failures = 0;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    failures += ReplayPath(path + "/" + name, count);
  }
  closedir(dir);
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  int count = 0;
  int failures = 0;
  // An empty input always runs, so a harness without a corpus is still exercised.
  LLVMFuzzerTestOneInput(nullptr, 0);
  for (int i = 1; i < argc; ++i) failures += ReplayPath(argv[i], count);
  std::printf("replayed %d inputs\n", count);
  return failures == 0 ? 0 : 1;
}
