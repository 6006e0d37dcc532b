#pragma once

#include "ports/Host.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The values an undo record holds, by setting name. A record is lines "<name> <value>" (LF or
// CR LF), each name one of these settings and at most once, each value letters, digits or
// "-". Nothing when the text is anything else: then it is not the companion's.
std::optional<std::map<std::string, std::string>>
parseUndoRecord(std::string_view text, const std::vector<SystemSetting>& settings);

// True when every required setting reads as system immunization sets it.
bool settingsSwitchedOff(const std::vector<SystemSetting>& now);

// True when every required setting the record names reads as the record holds it.
bool settingsAsRecorded(const std::vector<SystemSetting>& now,
                        const std::map<std::string, std::string>& recorded);

} // namespace tw
