// The plain text of a laid-out page, for readers outside the game (the text feed, read-aloud):
// its characters in document order, variables as they were expanded, a line break for each
// break of the text (not for the rows that wrapping made), without markup and without ruby; the
// ruby separately, one entry per run of characters under one ruby. Images count as nothing.
//
// PageObserver is how a message window tells the player that a new page is being shown; it is
// not told of pages shown from the history.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orin {

class TWdPage;

struct PlainPage {
  std::string Text;                                       // cp932
  std::vector<std::pair<std::string, std::string>> Ruby;  // base, reading; cp932
};

PlainPage PagePlainText(const TWdPage& page);

class PageObserver {
 public:
  virtual ~PageObserver() = default;
  // window: the message window's name (cp932). Called on the frame thread: return quickly.
  virtual void PageShown(const std::string& window, const TWdPage& page) = 0;
};

}  // namespace orin
