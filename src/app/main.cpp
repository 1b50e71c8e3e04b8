#include "app/program_routines.h"

int main(int argc, char** argv) { return zorvan::programStart(argc, argv, zorvan::programStartupSteps()); }
