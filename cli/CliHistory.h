#pragma once
// vantor-cli history, compare and export: the stored runs on stdout.

#include <string>
#include <vector>

namespace vantor {

// Each returns the exit code, or kWrongHistoryArguments for arguments the
// command does not take (the caller prints the usage).
inline constexpr int kWrongHistoryArguments = -1;

int historyCommand(const std::vector<std::string>& args);
int compareCommand(const std::vector<std::string>& args);
int exportCommand(const std::vector<std::string>& args);

}  // namespace vantor
