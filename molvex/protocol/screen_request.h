// Screen requests of the PIN pad (command 0xC0). The screen layer installs
// the runner that shows them; without one every screen is answered as a
// screen that does not exist, so that the PIN pad goes on without it.
#pragma once

#include <cstdint>

#include "molvex/link/message.h"

inline constexpr uint8_t kScreenRequestCommand = 0xC0;
inline constexpr uint32_t kScreenKeepRunning = 8201;
inline constexpr uint32_t kScreenNotFound = 8213;
inline constexpr uint16_t kScreenRefused = 13;

// Runs one screen request into reply; the status is the reply's command.
using ScreenRequestRunner = uint16_t (*)(const LongMessage& request, LongMessage& reply);
void SetScreenRequestRunner(ScreenRequestRunner runner);  // nullptr: no screens

uint16_t tspcmdRunScreen(const LongMessage& request, LongMessage& reply);
// The answer of a PC without screens.
uint16_t AnswerScreenNotShown(const LongMessage& request, LongMessage& reply);
