#include "shell/startup.h"

int main(int argc, char** argv) { return zorvan::programStart(argc, argv); }
