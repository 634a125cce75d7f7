// The Controls tab has one line for whatever needs the user's eye: each part of
// the program posts its notice in its own slot, and the line shows the most
// urgent one, or its usual text when every slot is empty.
#pragma once

#include <cstddef>

// Most urgent first.
enum StatusNoticeSlot {
  NOTICE_FILE,          // a file that cannot be read or written
  NOTICE_ELEVATED,      // the program in front runs above our integrity level
  NOTICE_OUTPUT,        // the output device lost, incomplete or mismatched
  NOTICE_MOUSE,         // the chosen steering mouse is not connected
  NOTICE_HOTKEY,        // a hotkey taken or refused
  NOTICE_AUTO_PROFILE,  // the automatic profile in force, or waiting
  // Another account's copy asked for this one ("Restart as Administrator"). It
  // stands for the whole run, so it yields to the profile's news, which comes
  // and goes with the game.
  NOTICE_ACCOUNT,
  NOTICE_SLOT_COUNT
};

constexpr size_t STATUS_NOTICE_SIZE = 256;

// Null or "" clears the slot; a longer text is cut to fit.
void SetStatusNotice(StatusNoticeSlot slot, const char* text);
const char* StatusNoticeText(StatusNoticeSlot slot);
// The most urgent notice, or null when there is none; slot, when given, gets
// its slot (NOTICE_SLOT_COUNT for none).
const char* CurrentStatusNotice(StatusNoticeSlot* slot = nullptr);
