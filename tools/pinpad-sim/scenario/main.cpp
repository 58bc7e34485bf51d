// pinpad-scenario: plays one scenario file as the PIN pad on a pseudo-terminal.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "pinpad_wire.h"
#include "scenario.h"
#include "scenario_runner.h"

namespace {

void Help() {
  std::printf(
      "Usage: pinpad-scenario --scenario FILE [--link PATH] [--set NAME=VALUE]... [--transcript FILE]\n"
      "\n"
      "Plays the PIN pad of one scenario against payment software on the PC. The PIN pad\n"
      "sits on a new pseudo-terminal; PATH (default ./ttyS99) becomes a symbolic link to\n"
      "it. For molvex, run the simulator in molvex's current folder and set ComPort=9 in\n"
      "pinpad.ini (port 9 is the target of ttyS99); NewProtocol=1 and Speed=115200 spare\n"
      "the framing and speed search. Start the simulator first, then run the operation,\n"
      "for example \"molvex 1 10000\"; the simulator serves the readiness test, the\n"
      "speed change and the identity upload whenever they come, plays the steps of the\n"
      "scenario in order, and exits with 0 when every expectation held, 1 otherwise\n"
      "(the reason on standard error).\n"
      "\n"
      "  --scenario FILE    the scenario to play (see the steps below)\n"
      "  --link PATH        where the symbolic link to the device goes\n"
      "  --set NAME=VALUE   a value for ${NAME} in the scenario, e.g. --set HOST_PORT=4000\n"
      "                     to point the host relay of the PIN pad at a bank host\n"
      "  --transcript FILE  append one line per thing the PC sent (requests, uploads,\n"
      "                     notifications) and per step done\n"
      "\n"
      "Scenario files hold one step per line; '#' starts a comment, values are words or\n"
      "\"quoted UTF-8 texts\" (sent in the PIN pad's code page). Steps:\n\n");
  for (const pinpadsim::KeywordHelp& k : pinpadsim::ScenarioKeywords()) std::printf("  %-14s %s\n", k.keyword, k.help);
}

}  // namespace

int main(int argc, char** argv) {
  std::string scenarioPath, link = "ttyS99", transcript;
  std::map<std::string, std::string> vars;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--help" || a == "-h") {
      Help();
      return 0;
    } else if (a == "--scenario") {
      scenarioPath = value();
    } else if (a == "--link") {
      link = value();
    } else if (a == "--transcript") {
      transcript = value();
    } else if (a == "--set") {
      std::string kv = value();
      size_t eq = kv.find('=');
      if (eq == std::string::npos) {
        std::fprintf(stderr, "--set needs NAME=VALUE\n");
        return 2;
      }
      vars[kv.substr(0, eq)] = kv.substr(eq + 1);
    } else {
      std::fprintf(stderr, "unknown argument %s (see --help)\n", a.c_str());
      return 2;
    }
  }
  if (scenarioPath.empty()) {
    std::fprintf(stderr, "no scenario (see --help)\n");
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  pinpadsim::Scenario scenario;
  std::string error;
  if (!pinpadsim::LoadScenario(scenarioPath, vars, scenario, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  pinpadsim::PinpadWire wire;
  if (!wire.Open(link, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  pinpadsim::ScenarioRunner runner(wire, scenario, transcript);
  bool ok = runner.Run(&error);
  wire.Close();
  if (!ok) {
    std::fprintf(stderr, "scenario %s: %s\n", scenario.name.c_str(), error.c_str());
    return 1;
  }
  return 0;
}
