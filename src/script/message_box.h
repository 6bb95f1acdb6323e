// The buttons, icon and answer of a modal message box — what the game asks the window for (a
// missing project, a disc request) and what the platforms show.
#pragma once

namespace orin {

enum class MessageButtons { kOk, kOkCancel, kYesNo };
enum class MessageIcon { kNone, kInformation, kQuestion, kWarning, kError };
enum class MessageResult { kOk, kCancel, kYes, kNo };

}  // namespace orin
