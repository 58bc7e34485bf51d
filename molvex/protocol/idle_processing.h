// The idle work of an operation: while molvex waits, the wallpaper screen
// moves on and a choice made on it can end the operation.
#pragma once

#include <cstdint>

// What the screen layer offers the idle work; any entry may be empty.
struct WallpaperHooks {
  bool (*hasIdleWork)() = nullptr;
  void (*update)() = nullptr;           // moves the wallpaper on
  bool (*isShown)() = nullptr;          // a wallpaper screen is on display
  uint32_t (*action)() = nullptr;       // its last result code
  void (*rearmAction)() = nullptr;      // ready for the next choice
};
void SetWallpaperHooks(const WallpaperHooks* hooks);  // nullptr: no screens

// The idle hook of every wait (installed with drvSetIdleHook).
void DoIdleProcessing();
void ResetIdleProcessingForTests();
