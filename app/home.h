// The home folder: where the database files, the settings file and the logs live.
//
// It is the "--dbdir" folder when given, else the default home; the settings file
// "nusk.ini" of that base folder may redirect it elsewhere (section "NuskHome", one key
// per executable, so several copies of the program can share one base folder).
#pragma once
#include <string>
#include <string_view>

#include "platform/env.h"
#include "platform/profile.h"

namespace nusk {

// The default home. Windows (separator '\\'): the executable's folder followed by
// "\.nusk\". POSIX: "$XDG_DATA_HOME/nusk/" when that variable holds an absolute path,
// else "$HOME/.local/share/nusk/", since a folder beside an installed program is not
// writable there. Empty when neither variable gives a usable folder.
std::u16string DefaultHome(Env* env);

// Settings key of the redirect for an executable: its full path with every '=' turned
// into '#' ('=' cannot stand in a key).
std::u16string RedirectKey(std::u16string_view exe_path);

// The home folder for a given folder override (empty: none): the override or the default
// home, unless the base folder's "nusk.ini" redirects it. A redirect value gets a
// trailing separator and its first character upper-cased. Empty when there is no base.
std::u16string ResolveHome(Env* env, Profile* profile, const std::u16string& folder_override);

// Records (non-empty new_folder) or removes (empty) the redirect for this executable in
// the base folder's "nusk.ini". Takes effect at the next start. False when the settings
// file could not be written or there is no base folder.
bool SetHomeRedirect(Env* env, Profile* profile, const std::u16string& folder_override,
                     const std::u16string& new_folder);

// The same for the running process (its "--dbdir" value, the system's Env and Profile);
// used by the window's database-folder option. Main thread only.
bool SetHomeRedirect(const std::u16string& new_folder);

// Creates the home folder. The default home on POSIX may lack its parents (a fresh
// account has no ~/.local/share), so with create_parents missing parents are made too;
// otherwise the parent must exist. Succeeds when the folder exists afterwards.
Status CreateHomeFolder(Env* env, const std::u16string& home, bool create_parents);

}  // namespace nusk
