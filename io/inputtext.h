#pragma once
#include <cstddef>
#include <memory>
#include <string>

// A whole input held in memory, NUL-terminated, with where it came from: a file, or the
// argument of an option. Errors in it are reported with their place and an excerpt.
struct InputText {
  const char* text = nullptr;
  size_t size = 0;
  std::string file;    // empty: the text is an option's argument
  std::string option;  // the option of an argument ("-g"), or what reads the file
};

// The memory of a file's text: mapped where the file allows, else read into the heap.
struct InputFile {
  std::unique_ptr<char[]> heap;
  void* mapped = nullptr;
  size_t mappedsize = 0;
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();
};

// Reads a whole file; a file that cannot be opened or holds a NUL byte is a fatal error.
// in.option names what reads it, for the messages.
void readinputfile(const std::string& fname, InputFile& file, InputText& in);

// The same without the checks: false (errno set) when the file cannot be opened; NUL bytes
// are left in the text.
bool loadinputfile(const std::string& fname, InputFile& file, InputText& in);

// Line (from 1) of a byte offset.
int inputline(const InputText& in, size_t pos);

// "FILE:LINE:COLUMN: what", the line around pos with a caret under it, then what to do;
// exit status -1. Only the 30 bytes either side of pos are shown, however long the line.
[[noreturn]] void inputerror(const InputText& in, size_t pos, const std::string& what,
                             const std::string& todo);

// Blanks as the tree readers take them; '\n' alone ends a line.
inline bool isinputblank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Length of a UTF-8 byte-order mark at the start of s (0 or 3).
size_t bomlength(const char* s);
