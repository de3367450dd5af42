#pragma once
// The commands of vantor-cli. Exit codes: 0 done, 1 failed, 2 wrong usage.

namespace vantor {

int cliMain(int argc, char** argv);

}  // namespace vantor
