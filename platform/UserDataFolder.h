#pragma once
// Where the user's own data of this program lives (the run history): a folder
// of the user's that the system keeps per user and does not roam.

#include <string>

namespace vantor {

// The user's data folder with a trailing separator; empty when the system
// names none. POSIX: $XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share. Windows: the local application data folder.
std::string userDataFolder();

// userDataFolder() + "Quorvane/Vantor/" (native separators); empty when the
// system names no data folder.
std::string programDataFolder();

}  // namespace vantor
