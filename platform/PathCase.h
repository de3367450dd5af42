#pragma once
// Names on disk without regard to case. Steam and the game spell folders and
// files differently from release to release ("SteamApps" / "steamapps",
// "half-life 2" / "Half-Life 2", "sourcebench.csv" / "SourceBench.csv"); on a
// file system that tells case apart the program must use the spelling that
// exists. One backend per system: on Windows, whose file systems ignore case,
// it is the identity.

#include <string>
#include <vector>

namespace vantor {

// folder + relative, with each component of relative spelled as it exists on
// disk. folder (an existing folder, ending with the separator) is taken as is.
// A component that exists as given is kept; otherwise the entries of its folder
// are compared ignoring ASCII case, and the first match in byte order is taken.
// From the first component without a match on, the rest stays as given, so the
// result names what would be created. A trailing separator of relative is kept.
std::string pathIgnoringCase(const std::string& folder, const std::string& relative);

// Every existing path that folder + relative names without regard to case, for
// when spellings exist side by side ("SteamApps" beside an empty "steamapps").
// Each component of relative is compared with the entries of its folder
// ignoring ASCII case; the spelling as given comes first, the others follow in
// byte order. A trailing separator of relative is kept. Empty when nothing
// exists. Windows: folder + relative, when it exists.
std::vector<std::string> pathsIgnoringCase(const std::string& folder, const std::string& relative);

// A path as this system compares names of files: POSIX the path itself;
// Windows with ASCII letters folded and '/' taken as '\\'.
std::string comparablePath(std::string path);

}  // namespace vantor
