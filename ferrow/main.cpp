// ferrow: the update client of the cash desk.
#include <cstdlib>

#include "updater_app.h"

int main(int argc, char** argv) { std::exit(FerrowMain(argc, argv)); }
