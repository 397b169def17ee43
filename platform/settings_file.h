#pragma once

class QString;

namespace vovozodo {

namespace platform {

// The settings file's name, with the separator that joins it to the Windows
// directory.
inline constexpr char kSettingsFileName[] = "\\Vidurivu 2004_10.INI";
inline constexpr char kSettingsSection[] = "InstallSettings";
inline constexpr char kSettingsKey[] = "InstallPath";

// The system settings file: the Windows directory followed by its name.
QString systemSettingsFile();

} // namespace platform

} // namespace vovozodo
