// pinpad-sim: plays the PIN pad's side of the link on a pseudo-terminal
// (port 9 of a folder) or on TCP, for tests, demonstrations and benchmarks.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "molvex/link/port_discovery.h"
#include "tools/pinpad-sim/pinpad_sim.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

void Usage(FILE* out) {
  std::fprintf(out,
               "Usage: pinpad-sim (--pty FOLDER | --tcp PORT) [options]\n"
               "Plays the PIN pad's side of the link.\n"
               "\n"
               "  --pty FOLDER        create a pseudo-terminal and the link FOLDER/ttyS99 (port 9)\n"
               "  --tcp PORT          listen on 127.0.0.1:PORT (0: any free port, printed)\n"
               "  --speed BPS         speed the PIN pad listens at (default 115200; pty only)\n"
               "  --legacy            an old PIN pad: legacy hex frames only (version 12)\n"
               "  --version N         software major version (protocol level, default 21)\n"
               "  --model NAME        model name in the readiness answer (default \"SIM PINPAD\")\n"
               "  --status-timeout S  status time-out in the readiness answer\n"
               "  --reply-frames K    data, info or fast (default data)\n"
               "  --fault KIND        misbehave on the next message sent (repeatable, in order):\n"
               "                      bad-crc, out-of-sequence, duplicate, garbage, silence,\n"
               "                      unplug, stop-mid-frame\n"
               "  --silent            receive, but never answer\n"
               "  --unplug-ms MS      how long an unplugged device stays away (default 1000)\n"
               "  --restart-ms MS     how long a restart keeps the PIN pad deaf (default 1000)\n"
               "  --help              this text\n"
               "\n"
               "Prints \"ready\" (and the port for --tcp 0) once the link is up; ends on SIGTERM or SIGINT.\n"
               "\n"
               "Running a whole operation against your own POS software:\n"
               "  pinpad-sim --scenario FILE [--pty FOLDER] [--set NAME=VALUE]... [--transcript FILE]\n"
               "plays the PIN pad of one scenario file (tools/pinpad-sim/scenarios/*.scn): it\n"
               "answers the readiness test, expects the operation request, asks the PC for the\n"
               "scenario's services (cheque lines, files, bank host channels) and gives the final\n"
               "answer. Start it in molvex's current folder (or give that folder with --pty), set\n"
               "ComPort=9, Speed=115200 and NewProtocol=1 in pinpad.ini, then let the POS run\n"
               "molvex, e.g. \"molvex 1 10000\". --set HOST=... --set HOST_PORT=... points the\n"
               "PIN pad's bank host channel at a host of your choice. The exit status is 0 when\n"
               "every expectation of the scenario held. See pinpad-scenario --help for the steps.\n");
}

// A scenario run is the scenario player's work: hand the arguments over to it,
// with "--pty FOLDER" as the link it makes in that folder.
int RunScenario(int argc, char** argv) {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return 2;
  self[n] = '\0';
  std::string player = self;
  player = player.substr(0, player.rfind('/') + 1) + "pinpad-scenario";
  std::vector<std::string> args{player};
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--pty" && i + 1 < argc) {
      args.push_back("--link");
      args.push_back(std::string(argv[++i]) + "/ttyS99");
    } else {
      args.push_back(arg);
    }
  }
  std::vector<char*> raw;
  for (auto& a : args) raw.push_back(a.data());
  raw.push_back(nullptr);
  execv(player.c_str(), raw.data());
  std::fprintf(stderr, "pinpad-sim: cannot start %s\n", player.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--scenario") == 0) return RunScenario(argc, argv);
  }
  pinpadsim::SimOptions options;
  std::string pty_folder;
  int tcp_port = -1;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "pinpad-sim: %s needs a value\n", arg.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    } else if (arg == "--pty") {
      pty_folder = value();
    } else if (arg == "--tcp") {
      tcp_port = std::atoi(value());
    } else if (arg == "--speed") {
      uint8_t index = StringToSpeed(value());
      if (index == kNotASpeed) {
        std::fprintf(stderr, "pinpad-sim: not a speed\n");
        return 2;
      }
      options.speedIndex = index;
    } else if (arg == "--legacy") {
      options.legacyOnly = true;
      options.readiness.versionMajor = 12;
    } else if (arg == "--version") {
      options.readiness.versionMajor = std::atoi(value());
    } else if (arg == "--model") {
      options.readiness.modelName = value();
    } else if (arg == "--status-timeout") {
      options.readiness.statusTimeoutSeconds = std::atoi(value());
    } else if (arg == "--reply-frames") {
      std::string kind = value();
      options.replyFraming = kind == "fast" ? pinpadsim::Framing::kFast
                             : kind == "info" ? pinpadsim::Framing::kInfo
                                              : pinpadsim::Framing::kData;
    } else if (arg == "--fault") {
      pinpadsim::Fault fault;
      if (!pinpadsim::ParseFault(value(), &fault)) {
        std::fprintf(stderr, "pinpad-sim: unknown fault\n");
        return 2;
      }
      options.faults.push_back(fault);
    } else if (arg == "--silent") {
      options.silent = true;
    } else if (arg == "--unplug-ms") {
      options.unplugMs = static_cast<uint32_t>(std::atoi(value()));
    } else if (arg == "--restart-ms") {
      options.restartMs = static_cast<uint32_t>(std::atoi(value()));
    } else {
      std::fprintf(stderr, "pinpad-sim: unknown argument %s\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
  }
  if (pty_folder.empty() == (tcp_port < 0)) {
    Usage(stderr);
    return 2;
  }
  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);
  signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<pinpadsim::SimChannel> channel;
  if (!pty_folder.empty()) {
    auto pty = std::make_unique<pinpadsim::PtyChannel>(pty_folder);
    if (!pty->ok()) {
      std::fprintf(stderr, "pinpad-sim: cannot create the pseudo-terminal\n");
      return 1;
    }
    std::printf("ready %s\n", pty->slavePath().c_str());
    channel = std::move(pty);
  } else {
    auto tcp = std::make_unique<pinpadsim::TcpChannel>(static_cast<uint16_t>(tcp_port));
    if (!tcp->ok()) {
      std::fprintf(stderr, "pinpad-sim: cannot listen on port %d\n", tcp_port);
      return 1;
    }
    std::printf("ready %u\n", tcp->port());
    channel = std::move(tcp);
  }
  std::fflush(stdout);
  pinpadsim::PinpadSim sim(channel.get(), options);
  sim.Run(g_stop);
  return 0;
}
