#include "script/message_sections.h"

#include "scene/model/orin_base_list.h"
#include "scene/objects/orin_mes.h"
#include "scene/text/orin_new_history.h"
#include "scene/text/orin_read_list.h"
#include "script/versions.h"

namespace orin {

void MessageSections::SaveHistory(Stream& s) const { history_.SaveToStream(s, kSaveDataVersion); }
void MessageSections::LoadHistory(Stream& s, int version) { history_.LoadFromStream(s, version); }
void MessageSections::SaveReadList(Stream& s) const { readList_.SaveToStream(s); }
void MessageSections::LoadReadList(Stream& s, int version) { readList_.LoadFromStream(s, version); }

void MessageSections::ClearHistory() { history_.Clear(); }
void MessageSections::ClearReadList() { readList_.Clear(); }

void MessageSections::AfterGameLoad(TOrinBaseList& scene) {
  for (int i = 0; i < scene.ObjectCount(); ++i)
    if (TOrinObject& object = scene.Object(i); object.Kind() == kKindMes)
      static_cast<TOrinMes&>(object).RefreshAfterLoad();
}

int32_t MessageSections::HistoryCount() { return history_.Count(); }
int32_t MessageSections::HistoryMaxCount() { return history_.MaxCount(); }
void MessageSections::SetHistoryMaxCount(int32_t n) { history_.SetMaxCount(n); }

}  // namespace orin
