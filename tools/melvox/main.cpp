// melvox: the command-line tool. Each command lives in its own file and registers itself.
#include "cli.h"

int main(int argc, char** argv) { return melvox::cli::Main(argc, argv); }
