// Hashes one file the way the update client does and prints the hash, like
// sha1sum, so the script can time both on the same file.
#include <cstdio>
#include <string>
#include <vector>

#include "file_list.h"
#include "file_system.h"
#include "sha1.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <file>\n", argv[0]);
    return 2;
  }
  TFileSystem root("/");
  std::vector<uint8_t> hash;
  uint64_t size = 0;
  if (!HashFile(root, argv[1], hash, size)) return 1;
  std::printf("%s  %s\n", TSha1::ToHex(hash).c_str(), argv[1]);
  return 0;
}
