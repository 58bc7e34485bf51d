#include "molvex/front/run/molvex_main.h"

int main(int argc, char** argv) { return MolvexMain(argc, argv); }
