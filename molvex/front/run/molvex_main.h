// One run of the payment program: from the arguments to "return:%d".
#pragma once

int MolvexMain(int argc, const char* const argv[]);
