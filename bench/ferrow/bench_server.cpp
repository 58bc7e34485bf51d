// Serves one file (for any path) with Content-Length from 127.0.0.1 until
// killed; prints its port on the first line.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "test_http_server.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <file>\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ferrowtest::TestHttpServer server;
  server.SetPathReply("/file", ferrowtest::ScriptedReply::WithLength(body));
  body.clear();
  body.shrink_to_fit();
  std::printf("%u\n", server.port());
  std::fflush(stdout);
  server.Run();
  return 0;
}
