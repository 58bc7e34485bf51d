// The command line of the launcher and the scheduler: only the "/f=" argument
// (the ini folder) matters to them; everything else is passed on untouched.
#pragma once

extern "C" {

// A text beginning with a double quote is shifted left over that quote and
// loses its last character, whatever it is; any other text stays as it is.
// Returns text.
char* pcc_RemoveQuotes(char* text);

// Sets up the folders from the last of arguments 1..count-1 that begins with
// "/f=" (quotes removed), or from none. The arguments themselves are not
// changed: the worker program receives them as the POS passed them.
void pcc_GetParamArgs(int count, char* const arguments[]);

}
