#pragma once
// The input box: a small modal form (window class "TInputQueryForm") with the
// prompt, one edit and OK and Cancel, centred on the screen.
#include <string>

namespace tk {

// Shows value in the edit; on OK stores the edited text in value and returns
// true. Cancel, Esc and the close box return false and leave value as it was.
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);
// The edited text on OK, otherwise defaultValue.
std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue);

}  // namespace tk
