#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "engine/status_notice.h"
#include "input/elevation.h"
#include "input/hotkey_text.h"

constexpr uint32_t C = 0x0002, A = 0x0001, S = 0x0004;  // Ctrl, Alt, Shift

// Each text is parsed from a heap copy of its exact length, so AddressSanitizer sees a read past its end.
TEST(ParseHotkey, ModifiersThenKeyNameAndTheLockWithoutRepeat) {
  const struct { const char* text; uint32_t modifiers, key; } rows[] = {
      {"F4", 0, 0x73}, {"^R", C, 0x52}, {"!B", A, 0x42}, {"+^x", C | S, 0x58}, {"^^A", C, 0x41}, {"!+^F12", A | S | C, 0x7B},
      {"!!!+", A | S, 0}, {"^", C, 0}, {"^ R", C, 0}, {"A^", 0, 0x41}, {"F1", 0, 0x70}, {"F9", 0, 0x78}, {"F10", 0, 0x79},
      {"F11", 0, 0x7A}, {"F12abc", 0, 0x7B}, {"F13", 0, 0x70}, {"F19", 0, 0x70}, {"F0", 0, 0x46}, {"F", 0, 0x46},
      {"f4", 0, 0x46}, {"AB", 0, 0x41}, {"Z", 0, 0x5A}, {"a", 0, 0x41}, {"z", 0, 0x5A}, {"5", 0, 0}, {" F4", 0, 0}, {"", 0, 0},
      {"#A", 0, 0}, {"@", 0, 0}, {"[", 0, 0}, {"`", 0, 0}, {"{", 0, 0}, {"\xC1", 0, 0}, {"\xE1", 0, 0}, {"\xFF" "F4", 0, 0},
      {"^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^q", C, 0x51},  // a full 31-character field
  };
  for (const auto& r : rows) {
    const size_t size = std::strlen(r.text) + 1;
    std::unique_ptr<char[]> text(new char[size]);
    std::memcpy(text.get(), r.text, size);
    // As parsed, as registered for re-centring, and for the lock: a toggle must not auto-repeat.
    for (uint32_t repeat : {1u, 2u, 0u}) {
      uint32_t modifiers = 0xDEADBEEF, key = 0xDEADBEEF;
      repeat == 1 ? ParseHotkey(text.get(), &modifiers, &key) : HotkeyRegistration(text.get(), !repeat, &modifiers, &key);
      EXPECT_EQ(modifiers, r.modifiers | (repeat ? 0 : 0x4000u)) << '"' << r.text << '"' << repeat;
      EXPECT_EQ(key, r.key) << '"' << r.text << '"';
      EXPECT_EQ(std::memcmp(text.get(), r.text, size), 0) << "text was written";
    }
  }
}

// The game in front above our integrity level: only a known, higher level counts; the shell changes nothing.
TEST(Elevation, OnlyAKnownHigherLevelInFrontIsShown) {
  const int32_t medium = 0x2000, high = 0x3000, unknown = INTEGRITY_UNKNOWN;
  const struct { int32_t own; const char* exe; int32_t level; int above; } steps[] = {
      {medium, "game.exe", high, 1}, {medium, "Explorer.exe", medium, 1}, {medium, "game.exe", medium, 0},
      {medium, "game.exe", 0x4000, 1}, {medium, "other.exe", unknown, 0}, {unknown, "game.exe", high, 0},
      {high, "game.exe", high, 0}, {high, "notepad.exe", medium, 0}};
  for (const auto& s : steps) {
    elevationState.ownLevel = s.own;
    NoteForegroundLevel(s.exe, s.level);
    EXPECT_EQ(elevationState.gameAbove, s.above) << s.exe << " " << s.level;
    EXPECT_STREQ(StatusNoticeText(NOTICE_ELEVATED), s.above ? "The program in front runs as administrator: no mouse input" : "");
  }
}

// The status line shows the more urgent of any two notices, whichever came last; every slot has its place here.
TEST(StatusNotice, TheMoreUrgentOfEachPairShows) {
  const StatusNoticeSlot order[] = {NOTICE_FILE,   NOTICE_ELEVATED,     NOTICE_OUTPUT, NOTICE_MOUSE,
                                    NOTICE_HOTKEY, NOTICE_AUTO_PROFILE, NOTICE_ACCOUNT};
  const char* const texts[] = {"file", "elevated", "output", "mouse", "hotkey", "auto profile", "account"};
  ASSERT_EQ(std::size(order), size_t{NOTICE_SLOT_COUNT});
  for (size_t more = 0; more < std::size(order); ++more) {
    for (size_t less = more + 1; less < std::size(order); ++less) {
      for (size_t last : {more, less}) {
        for (StatusNoticeSlot slot : order) SetStatusNotice(slot, nullptr);
        SetStatusNotice(order[more + less - last], texts[more + less - last]);
        SetStatusNotice(order[last], texts[last]);
        StatusNoticeSlot shown = NOTICE_SLOT_COUNT;
        EXPECT_STREQ(CurrentStatusNotice(&shown), texts[more]) << texts[less];
        EXPECT_EQ(shown, order[more]) << texts[less];
      }
    }
  }
  for (StatusNoticeSlot slot : order) SetStatusNotice(slot, nullptr);
}

// "Restart as Administrator": the handoff is read from a command line, which is input like any other; a bad value
// counts as none. The new copy runs unless a copy is known to run, and names its account when it is another.
TEST(Elevation, RestartHandoffIsReadWarilyAndLeavesACopyRunning) {
  const std::string sid = "S-1-5-21-1004336348-1177238915-682003330-1001", longest = "S-1-" + std::string(183, '7');
  const struct { std::string line; int restarted; uint32_t pid; std::string sid; } lines[] = {
      {"", 0, 0, ""}, {"--restart 4", 0, 0, ""}, {"x--restarted 4", 0, 0, ""}, {"--restarted", 1, 0, ""},
      {" \t--restarted\t4242  " + sid + " more", 1, 4242, sid}, {"a --restarted 4294967295 S-1-5", 1, 4294967295u, "S-1-5"},
      {"--restarted 4294967296 " + sid, 1, 0, ""}, {"--restarted 042 " + sid, 1, 0, ""}, {"--restarted -4 S-1-5", 1, 0, ""},
      {"--restarted 12x S-1-5", 1, 0, ""}, {"--restarted 0 S-1-5", 1, 0, ""}, {"--restarted " + sid, 1, 0, ""},
      {"--restarted 8 S-1-", 1, 8, ""}, {"--restarted 8 S-1-5-", 1, 8, ""}, {"--restarted 8 S-1-5--2", 1, 8, ""},
      {"--restarted 8 s-1-5", 1, 8, ""}, {"--restarted 8 S-1-5-2\"x", 1, 8, ""}, {"--restarted 8 " + longest, 1, 8, longest},
      {"--restarted 8 " + longest + "7", 1, 8, ""}};
  for (const auto& l : lines) {
    RestartHandoff handoff;
    ParseRestartHandoff(l.line.c_str(), &handoff);
    EXPECT_EQ(handoff.restarted, l.restarted) << l.line;
    EXPECT_EQ(handoff.oldProcessId, l.pid) << l.line;
    EXPECT_EQ(handoff.oldUserSid, l.sid) << l.line;
  }
  // Runs with the mutex owned, held by a copy of ours, refused (another account's), not made at all.
  const struct { const char* line; int oldEnded; int runs[4]; } starts[] = {
      {"", 0, {1, 0, 0, 1}}, {"--restarted", 0, {1, 0, 0, 1}},  // as ever: no process id to wait for
      {"--restarted 8", 1, {1, 0, 0, 1}},  // the old copy has ended: a refusing mutex is a third copy's
      {"--restarted 8", 0, {1, 0, 1, 1}}};  // the old copy, of another account, is still ending
  for (const auto& s : starts) {
    RestartHandoff handoff;
    ParseRestartHandoff(s.line, &handoff);
    for (int m = 0; m < 4; ++m) {
      EXPECT_EQ(InstanceMayRun(handoff, s.oldEnded, InstanceMutexResult(m)), s.runs[m]) << s.line << " " << m;
    }
  }
  const struct { std::string line; const char *ownSid, *name, *shown; } accounts[] = {
      {"--restarted 8 " + sid, "S-1-5-21-7-500", "Admin", "Admin"}, {"--restarted 8 " + sid, sid.c_str(), "Pat", ""},
      {"--restarted 8 S-1-5-21-7-500", "S-1-5-21-7-500", "Admin", ""}, {"--restarted 8", "S-1-5-21-7-500", "Admin", ""},
      {"--restarted 8 " + sid, "", "Admin", ""}, {"--restarted 8 " + sid, "S-1-5-21-7-500", "", "another account"}};
  for (const auto& a : accounts) {
    RestartHandoff handoff;
    ParseRestartHandoff(a.line.c_str(), &handoff);
    NoteRestartAccount(handoff, a.ownSid, a.name);
    EXPECT_STREQ(restartAccountName, a.shown) << a.line << " " << a.ownSid;
  }
  restartAccountName[0] = 0;
}
