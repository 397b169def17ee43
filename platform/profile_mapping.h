#pragma once

class QString;

namespace vovozodo {

namespace platform {

// A user's own settings may answer profile lookups in place of a system file,
// as the profile-file mapping to a user's settings does on Windows. The files
// mapped this way are named in profile_mapping.cpp; a lookup of one of them
// first reads the user's copy in $XDG_CONFIG_HOME/vovozodo/ (by default
// ~/.config/vovozodo/), and the system file answers only when that copy does
// not hold the key asked for.

// The user's copy of profile file `fileName` (a Windows-style or native path,
// of which only the last name counts) as a native path; empty when that file
// is not mapped or no configuration folder is known.
QString userProfileFile(const QString &fileName);

// The file that answers a lookup of `key` in `section` of `fileName`: the
// user's copy when it is a readable regular file holding that key, otherwise
// `fileName` itself.
QString profileFileAnswering(const char *section, const char *key, const QString &fileName);

} // namespace platform

} // namespace vovozodo
