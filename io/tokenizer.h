#pragma once
#include <cstddef>
#include <string>

// Input position for parse messages; reset only when a tree list file is opened. Per thread:
// gene trees parsed on worker threads count on copies that nothing prints.
extern thread_local int linenum, charnum;
extern thread_local const char* inputfilename;

void initlinenuminfo(const char* fname);
// Moves this thread's counters as reading the lines of text[from, to) does when each line
// holds a tree that parses: every position of a line but its first is stepped on, then the
// end of the line's text.
void passlines(const char* text, size_t from, size_t to);
void printlinepos();
char* getTok(char* s, int& p, int treenr);
void checkparsing(char* s);
[[noreturn]] void expectTok(const char* tok, char* s, int p);
char* mstrndup(const char* s, size_t n);
// Leaves of a plain tree text: the labels that hold a letter, outside branch lengths.
int lfnum(const char* text);

// Whether a name reads back from tree text as one leaf label: the tokenizer's label
// characters, and a letter, without which the leaf count misses it.
bool islabelname(const std::string& s);

// C-locale classes that never see a negative char: bytes above 127 are neither.
inline bool isblankchar(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
inline bool isalnumchar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool isalphachar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
