#include "manager/help.h"

#include <windows.h>

#include <utility>

#include "manager/shelllaunch.h"
#include "settings/fernoglobal.h"
#include "settings/vglobal.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "toolkit/win_controls.h"

namespace {

// Windows whose topic is fixed by their class.
const std::pair<const wchar_t*, const char*> kClassTopics[] = {
    {L"TExtractForm", "extract"}, {L"TSpanForm", "split"}, {L"TReAssembleForm", "join"}};

// A window that names its topic is asked (its topic may follow the page it shows);
// the others are known by their class.
std::string TopicOfActiveWindow() {
  HWND active = GetActiveWindow();
  if (!active) return "whatisit";
  if (auto* source = dynamic_cast<const THelpTopicSource*>(tk::TControl::FromHandle(active)))
    return source->HelpTopic();
  wchar_t cls[128] = {};
  if (GetClassNameW(active, cls, 128))
    for (const auto& [name, topic] : kClassTopics)
      if (wcscmp(cls, name) == 0) return topic;
  return "whatisit";
}

}  // namespace

std::string HelpPageFor(const std::string& topic) { return (topic.empty() ? TopicOfActiveWindow() : topic) + ".html"; }

void ShowHelpTopic(const std::string& topic) { ShowHelpTopicIn(tk::ProgramDir(), topic); }

void ShowHelpTopicIn(const std::string& programDir, const std::string& topic) {
  const std::string helpFile = programDir + "Quillbank" + ".chm";
  if (!FileExistsQuiet(helpFile)) {
    MsgDlg("The help file " + helpFile + " doesn't exist", "ie");
    return;
  }
  // One word for the viewer, also when the program folder holds a blank.
  const std::string target = QuoteIfSpaces(helpFile + "::/" + HelpPageFor(topic));
  const std::string keyHH = programDir + "KeyHH.exe";
  TShellOpen request;
  request.Owner = GetActiveWindow();
  request.Verb = "open";
  request.ShowCmd = SW_SHOWDEFAULT;
  if (FileExistsQuiet(keyHH)) {
    request.File = keyHH;
    request.Parameters = "-QuillbankWin " + target;
  } else {
    request.File = "hh.exe";
    request.Parameters = target;
  }
  const intptr_t result = ShellLaunch(request);
  if (result <= 32)
    MsgDlg("Couldn't display help topic  (Error: " + std::to_string(result) + ")" + "\r\n" +
               "(probably, \"HTML Help system\" is not installed)",
           "ie");
}
