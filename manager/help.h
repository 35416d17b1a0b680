#pragma once
// Help topics: the help file Quillbank.chm beside the programs, opened at one page
// in the help viewer (KeyHH.exe when it lies beside the programs, else hh.exe).
#include <string>

// A dialog whose topic depends on its state (the page shown, the list edited)
// names it through this; ShowHelpTopic asks the active window for it.
class THelpTopicSource {
 public:
  virtual ~THelpTopicSource() = default;
  virtual std::string HelpTopic() const = 0;
};

// The page of a topic: topic + ".html"; an empty topic is chosen by the class of the
// active window ("whatisit" for a window without a topic of its own).
std::string HelpPageFor(const std::string& topic);
// Opens the help file of the program folder at the topic's page; messages when the
// file is missing or the viewer could not be started.
void ShowHelpTopic(const std::string& topic);
// The same with the folder of the help file and the viewer given (trailing backslash).
void ShowHelpTopicIn(const std::string& programDir, const std::string& topic);
