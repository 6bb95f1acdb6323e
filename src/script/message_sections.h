// MessageSections: the message history and the read list in game saves and the status data, and
// what resets, loads and the history system variables ask of them.
#pragma once

#include "script/save_sections.h"

namespace orin {

class TOrinNewHistory;
class TOrinReadList;

class MessageSections final : public SaveSections {
 public:
  MessageSections(TOrinNewHistory& history, TOrinReadList& readList)
      : history_(history), readList_(readList) {}

  void SaveHistory(Stream& s) const override;
  void LoadHistory(Stream& s, int version) override;
  void SaveReadList(Stream& s) const override;
  void LoadReadList(Stream& s, int version) override;

  void ClearHistory() override;
  void ClearReadList() override;
  void AfterGameLoad(TOrinBaseList& scene) override;
  int32_t HistoryCount() override;
  int32_t HistoryMaxCount() override;
  void SetHistoryMaxCount(int32_t n) override;

 private:
  TOrinNewHistory& history_;
  TOrinReadList& readList_;
};

}  // namespace orin
