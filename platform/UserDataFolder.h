#pragma once
// Where the user's own data of this program lives (the run history, and an
// installed copy's debug log and hardware report): a folder of the user's that
// the system keeps per user and does not roam. And the user's documents folder,
// where an installed copy puts its reports.

#include <string>

namespace vantor {

// The user's data folder with a trailing separator; empty when the system
// names none. POSIX: $XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share. Windows: the local application data folder.
std::string userDataFolder();

// userDataFolder() + "Quorvane/Vantor/" (native separators); empty when the
// system names no data folder.
std::string programDataFolder();

// The user's documents folder with a trailing separator; empty when the system
// names none. POSIX: XDG_DOCUMENTS_DIR of the XDG user-dirs file
// ($XDG_CONFIG_HOME/user-dirs.dirs, else ~/.config/user-dirs.dirs) when it
// names "$HOME/..." or an absolute path, else ~/Documents. Windows: the known
// folder Documents.
std::string documentsFolder();

}  // namespace vantor
