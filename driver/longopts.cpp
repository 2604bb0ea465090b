#include "driver/longopts.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "driver/options.h"
#include "io/newick.h"
#include "io/savefile.h"
#include "reconcile/costformat.h"
#include "trees/fatal.h"

LongOptions longopt;

namespace {

struct LongOption {
  const char* name;
  bool takesvalue;
  void (*set)(const char* name, const char* value);
};

long wholenumber(const char* name, const char* value, long lo, long hi) {
  char* end;
  errno = 0;
  long v = strtol(value, &end, 10);
  if (end == value || *end || errno || v < lo || v > hi)
    fatal(std::string("--") + name + " needs a whole number from " + std::to_string(lo) +
          " to " + std::to_string(hi) + ", not \"" + value + "\"");
  return v;
}

double seconds(const char* name, const char* value) {
  char* end;
  double v = strtod(value, &end);
  if (end == value || *end || !std::isfinite(v) || v < 0)
    fatal(std::string("--") + name + " needs a number of seconds, not \"" + value + "\"");
  return v;
}

const LongOption table[] = {
    {"spr", false, [](const char*, const char*) { longopt.spr = true; }},
    {"greedy", true,
     [](const char* n, const char* v) { longopt.greedy = (int)wholenumber(n, v, 0, 1000000); }},
    {"seed", true,
     [](const char* n, const char* v) {
       longopt.seedgiven = true;
       longopt.seed = (unsigned long)wholenumber(n, v, 0, 4294967295L);
     }},
    {"time-limit", true, [](const char* n, const char* v) { longopt.timelimit = seconds(n, v); }},
    {"keep", true,
     [](const char* n, const char* v) { longopt.keep = wholenumber(n, v, 1, 100000000); }},
    {"perturb", true,
     [](const char* n, const char* v) { longopt.perturb = wholenumber(n, v, 0, 1000000000); }},
    {"fuse", false, [](const char*, const char*) { longopt.fuse = true; }},
    {"support", false, [](const char*, const char*) { longopt.support = true; }},
    {"replicates", true,
     [](const char* n, const char* v) { longopt.replicates = wholenumber(n, v, 0, 100000000); }},
    {"bootstrap", true,
     [](const char* n, const char* v) { longopt.bootstrap = wholenumber(n, v, 1, 1000000); }},
    {"priced", false, [](const char*, const char*) { longopt.priced = true; }},
    {"checkpoint", true, [](const char*, const char* v) { longopt.checkpoint = v; }},
    {"checkpoint-every", true,
     [](const char* n, const char* v) { longopt.checkpointevery = seconds(n, v); }},
    {"resume", true, [](const char*, const char* v) { longopt.resume = v; }},
    {"progress", false, [](const char*, const char*) { longopt.progress = true; }},
    {"threads", true,
     [](const char* n, const char* v) { longopt.threads = (int)wholenumber(n, v, 0, 4096); }},
    {"newick", false, [](const char*, const char*) { longopt.newick = true; }},
    {"families", true, [](const char*, const char* v) { longopt.familiesfile = v; }},
    {"outgroup", true,
     [](const char* n, const char* v) {
       std::string names = v;
       for (size_t p = 0;;) {
         size_t q = names.find(',', p);
         std::string name = names.substr(p, q == std::string::npos ? q : q - p);
         if (name.empty()) fatal(std::string("--") + n + ": a species name is empty in " + v);
         speciesoutgroup.push_back(name);
         if (q == std::string::npos) break;
         p = q + 1;
       }
     }},
    {"map", true, [](const char*, const char* v) { longopt.mapfiles.push_back(v); }},
    {"collapse", true,
     [](const char* n, const char* v) {
       char* end;
       double x = strtod(v, &end);
       if (end == v || *end || !std::isfinite(x))
         fatal(std::string("--") + n + " needs a support value, not \"" + v + "\"");
       collapsebelow = x;
     }},
    {"best", true, [](const char*, const char* v) { longopt.bestfile = v; }},
    {"out", true, [](const char*, const char* v) { outprefix = v; }},
    {"force", false, [](const char*, const char*) { replacefiles = true; }},
    {"events", true, [](const char*, const char* v) { longopt.eventsprefix = v; }},
    {"reconciled", true, [](const char*, const char* v) { longopt.reconciledfile = v; }},
    {"reconciled-format", true,
     [](const char*, const char* v) {
       if (strcmp(v, "nhx") && strcmp(v, "recphyloxml"))
         fatal(std::string("--reconciled-format is nhx or recphyloxml, not \"") + v + "\"");
       longopt.reconciledformat = v;
     }},
    {"exact", false, [](const char*, const char*) { exactcosts = true; }},
    {"help", false, [](const char*, const char*) { help(); }},
    {"version", false, [](const char*, const char*) { version(); }},
};

}  // namespace

void readlongoptions(int& argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; i++) {
    const char* arg = argv[i];
    // "--" alone and anything that getopt would take as an option's value stay for getopt.
    if (strncmp(arg, "--", 2) != 0 || !arg[2]) {
      argv[kept++] = argv[i];
      continue;
    }
    std::string name = arg + 2, value;
    bool hasvalue = false;
    size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      hasvalue = true;
    }
    const LongOption* found = nullptr;
    for (const LongOption& o : table)
      if (name == o.name) found = &o;
    if (!found)
      fatal("Unknown option --" + name + "; kelvora --help lists the options");
    if (found->takesvalue && !hasvalue) {
      if (i + 1 >= argc) fatal("Option --" + name + " needs a value");
      value = argv[++i];
    } else if (!found->takesvalue && hasvalue) {
      fatal("Option --" + name + " takes no value");
    }
    found->set(found->name, value.c_str());
    std::string said = " --" + name;
    if (found->takesvalue) said += " " + value;
    longopt.line += said;
    static const char* const changeable[] = {"time-limit", "threads", "progress", "checkpoint",
                                             "checkpoint-every", "resume"};
    bool change = false;
    for (const char* c : changeable) change = change || name == c;
    if (!change) longopt.resumeline += said;
  }
  argv[kept] = nullptr;
  argc = kept;
  // Supports are read by the Newick reader only.
  if (collapsebelow != -HUGE_VAL && !longopt.newick)
    fatal("--collapse reads the supports of Newick trees: give --newick too");
}
