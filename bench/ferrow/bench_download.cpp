// Downloads one URL into a file with the update client's HTTP client.
#include <cstdio>
#include <string>

#include "file_system.h"
#include "http_client.h"
#include "paths.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <url> <output file>\n", argv[0]);
    return 2;
  }
  pcc_SetPath(PathToLog, "/tmp/");
  TFileSystem root("/");
  THttpClient client("TERMINAL", "", 15000, &root);
  client.SetURL(argv[1]);
  const Error result = client.GetFile(argv[2], 0);
  if (result != 0) std::fprintf(stderr, "download failed: %u\n", result.GetCode());
  return result == 0 ? 0 : 1;
}
