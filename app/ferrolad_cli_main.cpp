#include "cli/cli.h"

int main(int argc, char** argv) { return ferrolad::cli::Main(argc, argv); }
