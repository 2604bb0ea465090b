#pragma once
#include <cstddef>

// Input position for parse messages; reset only when a tree list file is opened.
extern int linenum, charnum;
extern const char* inputfilename;

void initlinenuminfo(const char* fname);
void printlinepos();
char* getTok(char* s, int& p, int treenr);
void checkparsing(char* s);
[[noreturn]] void expectTok(const char* tok, char* s, int p);
char* mstrndup(const char* s, size_t n);

// C-locale classes that never see a negative char: bytes above 127 are neither.
inline bool isblankchar(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
inline bool isalnumchar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool isalphachar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
