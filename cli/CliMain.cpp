// vantor-cli: the command-line front end, without Qt.
#include "cli/Cli.h"

int main(int argc, char** argv) { return vantor::cliMain(argc, argv); }
