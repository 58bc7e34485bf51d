#include "quillet/launcher.h"
#include "src/pc/program_profile.h"

int main(int argc, char* argv[]) {
  pcc_SetProgramProfile(kQuilletProfile);
  return QuilletMain(argc, argv);
}
