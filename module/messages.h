// The texts the module shows. The host and its users see them exactly as they
// stand here, so they never change.
#ifndef TESMORA_MODULE_MESSAGES_H
#define TESMORA_MODULE_MESSAGES_H

namespace tesmora {

// The transform's name: the name in the description record and the caption of
// every message box.
inline constexpr const char kModuleTitle[] = "Tesmora";

inline constexpr const char kStatusText[] = "Making Line from Selection";
inline constexpr const char kLongSelectionQuestion[] = "You selected very long area.\nContinue?";

inline constexpr const char kErrorNot16Bit[] = "Can only handle 16-bit data.";
inline constexpr const char kErrorNoMemory[] = "No memory.";
inline constexpr const char kErrorCannotRead[] = "Can't read data.";
inline constexpr const char kErrorNotMono[] = "Select only one channel of stereo data.";
inline constexpr const char kErrorSelectionTooLong[] = "Selection is too long.";
inline constexpr const char kErrorFrameSize[] = "Unsupported sample frame size.";
inline constexpr const char kErrorInvalidContext[] = "Invalid processing context.";

}  // namespace tesmora

#endif
