// The command line of one run: an operation code, positional arguments and
// named arguments ("/x=value"), turned into the operation parameters.
#pragma once

#include <cstddef>
#include <cstdint>

#include "molvex/front/model/daviz_params.h"

inline constexpr unsigned kMaxCmdTokens = 12;
inline constexpr size_t kCmdLineBufferSize = 1024;

extern "C" {

// Cuts text in place into at most maxTokens tokens separated by white space;
// double quotes group white space into a token. Returns the number of tokens.
unsigned davizCmdLineToArgs(char* text, char** tokens, unsigned maxTokens);
// The value of the first token beginning with the three characters of name
// ("/v="), enclosing double quotes removed in place; null when there is none.
char* davizGetNamedParamNoCpy(int count, char** tokens, const char* name);
// The same value copied into buffer (cut to size - 1 characters); false when missing.
bool davizGetNamedParam(int count, char** tokens, const char* name, char* buffer, size_t size);
// The number of tokens that are named arguments molvex knows.
int davizGetNamedArgsCount(int count, char** tokens);

}

// Parses the command string into params and sets up the run's folders
// ("/f="). Returns 0 or the result code that refuses the operation.
uint16_t TranslateCmdLine(DavizParams& params, const char* commandString);
// The same on tokens already cut; tokens[0] is the operation code.
uint16_t DoTranslateCmdLine(DavizParams& params, int count, char** tokens);
