#include "molvex/protocol/special_clients.h"

namespace {
SpecialClientMaker g_maker = nullptr;
}

void SetSpecialClientMaker(SpecialClientMaker maker) { g_maker = maker; }

std::unique_ptr<DavizCommand> MakeSpecialClient(const SpecialClientArgs& args) {
  if (g_maker != nullptr) {
    if (auto client = g_maker(args)) return client;
  }
  return std::make_unique<UnsupportedClient>();
}
