// korvoprog: runs a command file against one fiscal printer.
#include "tool/MainFlow.h"

int main(int argc, char** argv) { return korvo::ProgramMain(argc, argv, korvo::RealEnvironment()); }
