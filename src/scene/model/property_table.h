// The numbered properties of scene objects: their value types, the numbers the scene treats
// specially, the event codes (an event's code is the number of the property that holds its
// label) and the scene's error texts.
//
// Numbers 0-161 exist. Value types say how a value is taken from a script value and given back
// (integer, flag, float or string); they also type GetProp's destination in expressions. Every
// number has a type, including those no class gives a meaning (they are integers).
#pragma once

#include <cstdint>
#include <string>

namespace orin {

constexpr int kPropertyCount = 162;

// Property numbers the scene model itself knows.
enum Prop : int {
  kPropName = 0,
  kPropParent = 1,
  kPropFile = 2,
  kPropLeft = 3,
  kPropTop = 4,
  kPropWidth = 5,
  kPropHeight = 6,
  kPropZoomX = 7,
  kPropColor = 8,
  kPropBox1 = 9,
  kPropBox2 = 10,
  kPropAlpha = 11,
  kPropDepth = 12,
  kPropOriginX = 13,
  kPropOriginY = 14,
  kPropInterval = 26,
  kPropStopped = 27,
  kPropLoop = 29,
  kPropRotation = 31,
  kPropFireLabel = 33,
  kPropFinishedLabel = 43,
  kPropIndex = 44,
  kPropVisible = 47,
  kPropOneShot = 71,  // free when finished
  kPropCaretX = 78,
  kPropCaretY = 79,
  kPropInputMode = 80,
  kPropParticle1 = 92,
  kPropParticle2 = 93,
  kPropHint = 99,
  kPropScalePosition = 100,
  kPropFlipX = 111,
  kPropFlipY = 112,
  kPropEveryFrameLabel = 113,
  kPropClipLeft = 116,
  kPropClipTop = 117,
  kPropClipWidth = 118,
  kPropClipHeight = 119,
  kPropZoomY = 132,
  kPropPaused = 134,
  kPropBusy = 138,
  kPropKind = 140,
  kPropFocusable = 147,
  kPropComment = 151,
  kPropOffsetX = 159,
  kPropOffsetY = 160,
  kPropRowHeight = 161,
};

// Event codes (the label's property number).
enum EventCode : uint8_t {
  kEventTextRevealed = 32,  // message window
  kEventFire = 33,
  kEventMove = 34,
  kEventLeave = 35,
  kEventLeftDown = 36,
  kEventLeftUp = 37,
  kEventRightDown = 38,
  kEventRightUp = 39,
  kEventWheelDown = 40,
  kEventWheelUp = 41,
  kEventMotionFinished = 43,
  kEventLinkClicked = 46,  // message window
  kEventChosen = 72,       // lists and menus, 74-77 their opening and closing
  kEventOpenStarted = 74,
  kEventOpened = 75,
  kEventCloseStarted = 76,
  kEventClosed = 77,
  kEventPageStarted = 101,  // message window
  kEventEnter = 103,
  kEventItemEntered = 104,
  kEventItemLeft = 105,
  kEventEveryFrame = 113,
  kEventDragStarted = 135,  // sliders
  kEventDragEnded = 136,
  kEventKeyDown = 144,
  kEventKeyUp = 145,
  kEventKeyRepeat = 146,
  kEventFocusIn = 148,
  kEventFocusOut = 149,
};

// The value type (kTypeInt, kTypeFloat, kTypeFlag or kTypeStr of params/custom_param.h) of
// property 0-161; kTypeStr outside that range.
uint8_t PropertyValueType(int number);

// SetProp takes these and does nothing with them.
bool IsReadOnlyProperty(int number);

// The scene's own error texts (cp932).
const std::string& PropertyMissingMessage();  // "プロパティ指定が不正です"
const std::string& SetPropErrorMessage();      // "SetPropエラー"
const std::string& GetPropErrorMessage();      // "GetPropエラー"

}  // namespace orin
