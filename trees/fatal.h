#pragma once
#include <ostream>
#include <string>

// Message and line end on standard error, then exit(-1): no unwinding, no cleanup.
[[noreturn]] void fatal(const std::string& msg);

// Set while standard output is thrown away (the search of a --bootstrap replicate): a
// message that ends the run must still be seen.
extern bool outputswallowed;

// Where a message that ends the run goes: standard output, as ever, or standard error while
// standard output is swallowed (else the run would exit 255 without a word).
std::ostream& exitstream();

// Every exit of the program goes through here, so a test build can observe it.
[[noreturn]] void kelvoraexit(int status);

// Test builds only (fuzz targets): called first by kelvoraexit with the status; it may throw
// to unwind instead of exiting. Null in the program.
extern void (*kelvoraexithook)(int status);

// Gene trees parsed on worker threads are parsed quietly: where a one-thread run would print
// an error, the parse throws QuietFailure instead, printing nothing, and the main thread
// parses that tree again to report it exactly as a one-thread run does.
struct QuietFailure {};
extern thread_local bool quietparse;
inline void failquietly() {
  if (quietparse) throw QuietFailure();
}
