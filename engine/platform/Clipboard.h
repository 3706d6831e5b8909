#pragma once
// The desktop's clipboard, for text a user copies to paste elsewhere (a
// command into a terminal). Without a display nothing is copied.
#include <string>

namespace engine {

// False when the text could not be put on the clipboard.
bool setClipboardText(const std::string& text);

} // namespace engine
