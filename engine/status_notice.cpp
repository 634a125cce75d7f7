#include "engine/status_notice.h"

#include <cstdio>

static char statusNotices[NOTICE_SLOT_COUNT][STATUS_NOTICE_SIZE];

void SetStatusNotice(StatusNoticeSlot slot, const char* text) {
  if (slot < 0 || slot >= NOTICE_SLOT_COUNT) return;
  std::snprintf(statusNotices[slot], STATUS_NOTICE_SIZE, "%s", text ? text : "");
}

const char* StatusNoticeText(StatusNoticeSlot slot) {
  if (slot < 0 || slot >= NOTICE_SLOT_COUNT) return "";
  return statusNotices[slot];
}

const char* CurrentStatusNotice(StatusNoticeSlot* slot) {
  for (int i = 0; i < NOTICE_SLOT_COUNT; ++i) {
    if (!statusNotices[i][0]) continue;
    if (slot) *slot = static_cast<StatusNoticeSlot>(i);
    return statusNotices[i];
  }
  if (slot) *slot = NOTICE_SLOT_COUNT;
  return nullptr;
}
