#include "manager/entrykeys.h"

#include "settings/fernoini.h"

void EraseEntriesBeyond(const std::string& listKey, int count) {
  // Without a list key (the old layout) the entries are not below one key.
  if (listKey.empty()) return;
  TFernoIni ini;
  for (const std::string& sub : ini.ReadSections(listKey)) {
    const bool entry = !sub.empty() && sub.size() < 10 && sub[0] != '0' &&
                       sub.find_first_not_of("0123456789") == std::string::npos && std::stoi(sub) <= count;
    if (!entry) ini.EraseSection(listKey + "\\" + sub);
  }
}
