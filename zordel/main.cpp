#include "src/pc/program_profile.h"
#include "zordel/scheduler.h"

int main(int argc, char* argv[]) {
  pcc_SetProgramProfile(kZordelProfile);
  return ZordelMain(argc, argv);
}
