#pragma once
#include <string>

// Writes the whole content to the named file, replacing it. Every file the run writes on
// request goes through here, so a failure reads the same everywhere: "Cannot write NAME:
// reason" on standard error and exit status 255.
void writefile(const std::string& name, const std::string& content);
