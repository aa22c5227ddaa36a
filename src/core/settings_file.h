// The plain-text settings file "ferrolad.txt": lines of the form <KEY>=value.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common_datas.h"

namespace ferrolad {

// Looks for a line (from the second line on; the first is never a setting) that begins with
// "<" + key + ">=". The value is the rest of the line; the last matching line wins. For numeric keys
// a value that is empty or holds anything but the digits 0-9 counts as not found.
std::optional<std::string> FindSetting(const std::vector<std::string>& lines, std::string_view key, bool numeric);

// Replaces every %NAME% with the value of the environment variable NAME (unset: empty).
// A trailing "%" without a closing one drops what follows it.
std::string ExpandEnvironment(std::string_view text);

// Where the settings file is looked for, in order: $APPDATA/Orvane/Ferrolad/ferrolad.txt when APPDATA
// is set, otherwise $XDG_CONFIG_HOME (default ~/.config)/Orvane/Ferrolad/ferrolad.txt; then
// ferrolad.txt in the working directory.
std::vector<std::string> SettingsFileCandidates();

// Reads a text file into lines (CR LF or LF ends a line). False when it cannot be read.
bool LoadLines(const std::string& path, std::vector<std::string>& lines);

// Applies the keys found in `lines` to `settings`, in the fixed key order.
void ApplySettingLines(const std::vector<std::string>& lines, TCommonDatas& settings);

// Loads the first readable candidate and applies it; returns its path, or nothing when no file
// could be read (every default stays).
std::optional<std::string> ReadSettingsFile(TCommonDatas& settings);

}  // namespace ferrolad
