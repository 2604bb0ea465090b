#pragma once
#include <string>

// Output files. Every write is checked, the close too (a full disk shows only there): a file
// that cannot be written ends the run with its name and the reason, never a silent loss.

extern std::string outprefix;  // --out: outputs are named PREFIX.suffix
extern bool replacefiles;      // --force: a named output may replace another run's file

// Writes content to name, replacing it: the content goes to a file beside it, is synced, and
// then takes the name, so the name always holds a whole file, the old one or the new one.
// With exclusive, an existing name is left alone and false is returned, so the caller can
// pick another; any other failure is fatal.
bool writefile(const std::string& name, const std::string& content, bool exclusive = false);

// Whether this process wrote name (in the directory it was in at the time).
bool writtenbyrun(const std::string& name);

// A file named by the user (--out, --best): another run's file is never replaced unless
// --force is given.
void writenamed(const std::string& name, const std::string& content);

// A file of a fixed name (dumps and their raw files): replaced as always, unless --out names
// it, which makes it a named output.
void writeoutput(const std::string& name, const std::string& content);

// Before a long run: fatal if a named output could not be written later, because another
// run's file holds the name or its folder is missing.
void checknamed(const std::string& name);
