#include "molvex/services/slave_hooks.h"

#include <unistd.h>

namespace {

struct Hooks {
  SlvHeartBeatHook heartBeat;
  SlvSignatureSink signature;
  SlvMonitoringInfo monitoring;
  SlvMagneticReader reader;
  SlvBeeper beeper;
};

Hooks& Installed() {
  static Hooks hooks;
  return hooks;
}

constexpr uint16_t kNotSupported = 252;
constexpr uint16_t kNoCard = 1;

}  // namespace

void slvSetHeartBeatHook(SlvHeartBeatHook hook) { Installed().heartBeat = std::move(hook); }
void slvSetSignatureSink(SlvSignatureSink sink) { Installed().signature = std::move(sink); }
void slvSetMonitoringInfo(SlvMonitoringInfo info) { Installed().monitoring = std::move(info); }
void slvSetMagneticReader(SlvMagneticReader reader) { Installed().reader = std::move(reader); }
void slvSetBeeper(SlvBeeper beeper) { Installed().beeper = std::move(beeper); }
void slvResetHooksForTests() { Installed() = Hooks{}; }

namespace slvhooks {

void HeartBeat(uint8_t status, uint32_t ms) {
  if (Installed().heartBeat) Installed().heartBeat(status, ms);
}

bool HasSignatureSink() { return static_cast<bool>(Installed().signature); }

uint16_t SaveSignature(const uint8_t* header, const uint8_t* points, uint32_t count) {
  if (!Installed().signature) return kNotSupported;
  return Installed().signature(header, points, count);
}

uint32_t MonitoringInfo(uint8_t* output, uint32_t size, uint32_t containerTag) {
  if (!Installed().monitoring) return 0;
  uint32_t length = Installed().monitoring(output, size, containerTag);
  return length <= size ? length : size;
}

uint16_t drvOpenMagnReader() { return Installed().reader.open ? Installed().reader.open() : 0; }

void drvCloseMagnReader() {
  if (Installed().reader.close) Installed().reader.close();
}

uint16_t drvTestMagnCard(char* track1, uint32_t size1, char* track2, uint32_t size2, char* track3, uint32_t size3) {
  if (!Installed().reader.test) return kNoCard;
  return Installed().reader.test(track1, size1, track2, size2, track3, size3);
}

void Beep(bool error) {
  if (Installed().beeper) {
    Installed().beeper(error);
    return;
  }
  // The terminal bell, twice for an error; only on a terminal, so that no
  // control byte lands in a file or pipe the POS reads.
  if (isatty(STDERR_FILENO)) {
    const char bells[] = "\a\a";
    ssize_t ignored = write(STDERR_FILENO, bells, error ? 2 : 1);
    (void)ignored;
  }
}

}  // namespace slvhooks
