#include "input/elevation.h"

#include <cstdio>
#include <cstring>

#include "engine/status_notice.h"
#include "storage/name_rules.h"

ElevationState elevationState = {INTEGRITY_UNKNOWN, 0, 0};
char restartAccountName[ACCOUNT_NAME_SIZE];

int RunsAboveLevel(int32_t own, int32_t front) {
  return own != INTEGRITY_UNKNOWN && front != INTEGRITY_UNKNOWN && front > own;
}

void NoteForegroundLevel(const char* exe, int32_t level) {
  if (SameNoCase(exe, std::strlen(exe), "explorer.exe")) return;
  elevationState.gameAbove = RunsAboveLevel(elevationState.ownLevel, level);
  SetStatusNotice(NOTICE_ELEVATED, elevationState.gameAbove ? ELEVATED_GAME_TEXT : nullptr);
}

namespace {

int IsBlank(char c) { return c == ' ' || c == '\t'; }

// The next blank-separated word of *at; moves *at past it.
size_t NextWord(const char** at, const char** word) {
  while (IsBlank(**at)) ++*at;
  *word = *at;
  while (**at && !IsBlank(**at)) ++*at;
  return static_cast<size_t>(*at - *word);
}

// Decimal, 1 to 4294967295, no sign and no leading zero.
uint32_t ProcessIdFromWord(const char* word, size_t length) {
  if (length == 0 || length > 10 || word[0] == '0') return 0;
  uint64_t value = 0;
  for (size_t i = 0; i < length; ++i) {
    if (word[i] < '0' || word[i] > '9') return 0;
    value = value * 10 + static_cast<uint64_t>(word[i] - '0');
  }
  return value > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(value);
}

// "S-1-" and then numbers, one '-' between each two.
int IsSidText(const char* word, size_t length) {
  if (length >= RESTART_SID_SIZE || length < 5 || std::strncmp(word, "S-1-", 4) != 0) return 0;
  for (size_t i = 4; i < length; ++i) {
    const int digit = word[i] >= '0' && word[i] <= '9';
    if (!digit && (word[i] != '-' || word[i - 1] == '-' || i + 1 == length)) return 0;
  }
  return 1;
}

}  // namespace

void ParseRestartHandoff(const char* commandLine, RestartHandoff* handoff) {
  *handoff = RestartHandoff{};
  const char* at = commandLine ? commandLine : "";
  const char* word;
  const size_t markerLength = sizeof RESTART_MARKER - 1;
  for (size_t length; (length = NextWord(&at, &word)) > 0;) {
    if (length != markerLength || std::strncmp(word, RESTART_MARKER, markerLength) != 0) continue;
    handoff->restarted = 1;
    length = NextWord(&at, &word);
    handoff->oldProcessId = ProcessIdFromWord(word, length);
    if (!handoff->oldProcessId) return;
    length = NextWord(&at, &word);
    if (IsSidText(word, length)) std::snprintf(handoff->oldUserSid, sizeof handoff->oldUserSid, "%.*s",
                                               static_cast<int>(length), word);
    return;
  }
}

int InstanceMayRun(const RestartHandoff& handoff, int oldProcessEnded, InstanceMutexResult mutex) {
  switch (mutex) {
    case INSTANCE_MUTEX_OWNED:
    case INSTANCE_MUTEX_FAILED: return 1;
    case INSTANCE_MUTEX_HELD: return 0;
    case INSTANCE_MUTEX_DENIED: return handoff.restarted && handoff.oldProcessId && !oldProcessEnded;
  }
  return 0;
}

void NoteRestartAccount(const RestartHandoff& handoff, const char* ownSid, const char* ownName) {
  restartAccountName[0] = 0;
  // SIDs are spelt in upper case, but nothing is lost by ignoring the case.
  if (!handoff.oldUserSid[0] || !ownSid || !ownSid[0] ||
      SameNoCase(ownSid, std::strlen(ownSid), handoff.oldUserSid)) {
    return;
  }
  std::snprintf(restartAccountName, sizeof restartAccountName, "%s",
                ownName && ownName[0] ? ownName : "another account");
}
