#include "environment.h"

namespace {
std::unique_ptr<ITerminalEnvironment>& Holder() {
  static std::unique_ptr<ITerminalEnvironment> holder;
  return holder;
}
}  // namespace

ITerminalEnvironment& ITerminalEnvironment::Instance() {
  auto& holder = Holder();
  if (!holder) holder = std::make_unique<TDavizEnvironment>();
  return *holder;
}

void ITerminalEnvironment::ResetForTest() { Holder().reset(); }

std::string ITerminalEnvironment::GetServerURLsuffix() {
  const std::string profile = TIniFile("PROFILE.INI", PathToIni).GetString("URL", "block1");
  return "/" + GetConfigFile().GetString("URL", profile);
}
