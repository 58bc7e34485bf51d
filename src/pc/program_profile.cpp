#include "src/pc/program_profile.h"

const PccProgramProfile kMolvexProfile{"VLPILOT", "tarn", true};
const PccProgramProfile kQuilletProfile{"DAVIZ", "tarn", false};
const PccProgramProfile kZordelProfile{"SCHEDLR", "zordel", false};

namespace {
const PccProgramProfile* g_profile = &kMolvexProfile;
}

void pcc_SetProgramProfile(const PccProgramProfile& profile) { g_profile = &profile; }
const PccProgramProfile& pcc_GetProgramProfile() { return *g_profile; }
