#include "driver/options.h"

#include <getopt.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>

#include "driver/genesources.h"
#include "driver/longopts.h"
#include "initial/consensus.h"
#include "initial/randomtree.h"
#include "io/familiesfile.h"
#include "io/genemap.h"
#include "io/listfiles.h"
#include "io/newick.h"
#include "io/tokenizer.h"
#include "parallel/pool.h"
#include "parallel/processes.h"
#include "reconcile/dlcost.h"
#include "search/nnisearch.h"
#include "trees/randomdraws.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/treeweights.h"
#include "trees/unrootedtree.h"

int nniconstrees = 0;
int nnirandomtrees = 0;

namespace {

// h, the long help, is the one letter that the usage text does not list.
const char* optionstring = "g:s:S:G:pPYl:xbaAL:D:RoOX:ycCk:t:N:u:ZJr:j:Q:q:w:h";

// As sscanf "%d" accepts: blanks, a sign, digits, anything after; out-of-range values clamp
// instead of being undefined.
bool readint(const char* s, int& v) {
  char* end;
  errno = 0;
  long x = strtol(s, &end, 10);
  if (end == s) return false;
  v = static_cast<int>(std::max<long>(INT_MIN, std::min<long>(INT_MAX, x)));
  return true;
}

bool readdouble(const char* s, double& v) {
  char* end;
  double x = strtod(s, &end);
  if (end == s) return false;
  v = x;
  return true;
}

void number(bool ok, char letter) {
  if (!ok) fatal(std::string("Number expected in -") + letter);
}

struct CostName {
  const char* name;
  int code;
};
const CostName costnames[] = {{"DL", 0}, {"D", 1},    {"S", 2},   {"DC", 10}, {"RF", 20},
                              {"RFO", 22}, {"RFFD", 23}, {"L", 30}, {"T", 100}};

}  // namespace


std::string quoted(const char* s) { return std::string("\"") + s + "\""; }

void usage(int, char** argv) {
  std::cout << "Kelvora v0.90." << std::endl
            << " Usage: " << argv[0] << " [options]" << std::endl
            << " -g gene tree" << std::endl
            << " -s species tree" << std::endl
            << " -G filename - defines a set of gene trees" << std::endl
            << " -S filename - defines a set of species trees" << std::endl
            << " -R - show rootings for every gene tree" << std::endl
            << " -p - print a gene tree" << std::endl
            << " -P - print a species tree -D dupweight  - set weight of gene duplications"
            << std::endl
            << " -L lossweight - set weight of gene losses" << std::endl
            << " -b - computing costs (under given species tree)" << std::endl
            << " -w NUM - print NUM initial species trees; quasi-consensus method" << std::endl
            << " ======================================" << std::endl
            << " -Y - run NNI heuristic" << std::endl
            << " Initial tree options:" << std::endl
            << " -q NUM - start from NUM quasi-consensus trees sampled from gene tree clusters "
               "(default option with NUM=1)"
            << std::endl
            << " -r NUM - start from NUM random trees" << std::endl
            << " -Q p - defines probability for sampling gene trees (use with -q, default 0.2)"
            << std::endl
            << " Heuristic parameters:" << std::endl
            << " -k VAL - defines the size of k-NNI neighbourhood explored in a single step of "
               "heuristics (default 1)"
            << std::endl
            << " -j steps - defines number of additional steps after exploring a single k-NNI "
               "neighbourhood with no improvement"
            << std::endl
            << " ======================================" << std::endl;
  kelvoraexit(-1);
}

// The long help (-h, --help); usage keeps the short text of a run without arguments.
void help() {
  std::cout <<
      "Usage: kelvora [options]\n"
      "Reconciles unrooted gene trees with rooted species trees by duplication-loss cost and\n"
      "searches for the species tree of least total cost. Options are read from left to right;\n"
      "a tree is read where its option stands.\n"
      "\n"
      "Input:\n"
      "  -g TREE              a gene tree\n"
      "  -s TREE              a species tree (a text containing .raw names a raw file)\n"
      "  -G FILE              gene trees, one a line\n"
      "  -S FILE              species trees, one a line (a name containing .raw: a raw file)\n"
      "  -l RULE              species of the leaves of the gene trees given after it:\n"
      "                       bDELIM before, aDELIM after the delimiter, pNUM or p-NUM the\n"
      "                       first or last NUM characters, lDELIM before the last delimiter\n"
      "  --newick             read trees as standard Newick: supports, lengths, quotes, comments;\n"
      "                       gene-tree polytomies are resolved at least cost\n"
      "  --collapse X         with --newick, contract gene-tree branches of support below X\n"
      "                       (the node's label; of a/b labels, b)\n"
      "  --map FILE           gene-to-species mapping file; several merge\n"
      "  --families FILE      a families file: each family's gene trees with its own mapping\n"
      "  --outgroup NAMES     root unrooted species trees on the branch of these species\n"
      "  -p                   print the gene trees\n"
      "  -P                   print the species trees\n"
      "\n"
      "Costs:\n"
      "  -D WEIGHT            weight of a duplication (default 1)\n"
      "  -L WEIGHT            weight of a loss (default 1)\n"
      "  -b                   cost report under each species tree, with what these ask for:\n"
      "  -c, -y               the weighted total per species tree\n"
      "  -C                   the total (duplications,losses) pair per species tree\n"
      "  -O                   each gene tree's optimal rooting\n"
      "  -o                   each gene tree's cost pair\n"
      "  -a, -A               the trees with their node tables\n"
      "  -x                   with -a, the species tree's node table too\n"
      "  -X COST              every rooting of each gene tree under COST: DL, D, L, T, S, DC,\n"
      "                       RF, RFO or RFFD; a leading l (lDL) unrolls each tree\n"
      "  --exact              write every cost exactly, not to 6 significant digits\n"
      "\n"
      "Species-tree search:\n"
      "  -Y                   search by NNI from the species trees given and the start\n"
      "                       trees asked for by -q, -r and --greedy\n"
      "  -q NUM               NUM quasi-consensus start trees (1 when no start is given)\n"
      "  -r NUM               NUM random start trees\n"
      "  --greedy NUM         NUM stepwise-addition start trees\n"
      "  -Q P                 probability of sampling a gene tree for a quasi-consensus tree\n"
      "                       (default 0.2)\n"
      "  -k K                 size of the k-NNI neighbourhood of a step (default 1)\n"
      "  -j STEPS             further steps from waiting trees after a step without\n"
      "                       improvement (default 2)\n"
      "  --spr                search by SPR: every subtree to every edge; with no other\n"
      "                       search option, starts, --fuse and -j 0 chosen from the\n"
      "                       data size and --time-limit (README, \"Which search\")\n"
      "  --keep N             with --spr, the trees kept whole and saved (default 100)\n"
      "  --perturb N          with --spr, then N rounds: two random SPR moves and a climb\n"
      "                       near them, kept when no worse (default 0)\n"
      "  --fuse               with --spr, climb each start near its place, fuse its local\n"
      "                       optimum with the earlier ones, then climb the best tree\n"
      "  --priced             with --spr, price every place of a subtree in one pass and\n"
      "                       cost the best 4 exactly; walk every place only when\n"
      "                       that finds nothing\n"
      "  --time-limit SECONDS end -Y at the next subtree or step after the limit (start trees\n"
    "                       count), report and save\n"
      "  --checkpoint FILE    save the search to FILE at step boundaries and when it ends\n"
      "  --checkpoint-every SECONDS  at most this often (default 300)\n"
      "  --resume FILE        continue the search saved in FILE (same arguments; it goes\n"
      "                       on saving to FILE): a seeded run ends as if never stopped\n"
      "  --progress           a status line on standard error every few seconds (shown\n"
      "                       anyway when standard error is a terminal)\n"
      "  --seed N             seed of the random generator (default: the clock)\n"
      "  --threads N          threads for reading gene trees and the work per gene tree\n"
      "                       (default 1; 0: all cores)\n"
      "  -w NUM               print NUM quasi-consensus trees instead of a search\n"
      "\n"
      "Output files (after -Y, and -N):\n"
      "  --best FILE          the optimal trees found, one a line, in Newick\n"
      "  --out PREFIX         name the files of this run from PREFIX: PREFIX.kv.txt,\n"
      "                       PREFIX.best.nwk, PREFIX.nni.NN.dump instead of the time stamp\n"
      "  --force              let the files named by --best and --out replace another run's\n"
      "  --events PREFIX      duplications and losses per species branch:\n"
      "                       PREFIX.events.tsv, PREFIX.events.nhx, PREFIX.events.svg\n"
      "  --reconciled FILE    the gene trees reconciled with the optimal species tree\n"
      "  --reconciled-format nhx|recphyloxml\n"
      "                       the format of --reconciled (default nhx)\n"
      "  --support            with -b for each species tree, after -Y for the best: each\n"
      "                       branch's NNI alternatives, their cost changes, the gene trees\n"
      "                       cheaper, equal and dearer under each, and the resampling\n"
      "                       support; as labels of --best and in the --events files\n"
      "  --replicates B       resampled collections of --support (default 1000; 0: none)\n"
      "  --bootstrap N        after -Y, N replicate collections of families drawn with\n"
      "                       replacement, each searched alike: each clade's share of the\n"
      "                       replicate trees; PREFIX.bootstrap.nwk, PREFIX.consensus.nwk\n"
      "\n"
      "Diagnostics:\n"
      "  -N NUM               apply the NNI at internal node |NUM| (variant by its sign), or\n"
      "                       with 0 every NNI of every species tree, with dumps\n"
      "  -Z                   10001 random NNI moves, a dump after each\n"
      "  -J                   replay one NNI on xx/nni.01.dump.raw\n"
      "  -R, -u X, -t NUM     accepted, no effect\n"
      "\n"
      "  -h, --help           this text\n"
      "  --version            the program's name and version\n"
      "\n"
      "Examples:\n"
      "  kelvora -G genes.txt -Y --spr --seed 1 --best best.nwk\n"
      "  kelvora -G genes.txt -Y -q 3 -r 2 -k 2 --out run1 --exact\n"
      "  kelvora -G genes.txt -S species.txt -b -c -C\n"
      "\n"
      "Exit status: 0 done; 255 an error, with a message on standard error; 130 or 143 a\n"
      "search ended by SIGINT or SIGTERM, after saving what it found. The man page kelvora(1)\n"
      "describes every file written.\n";
  kelvoraexit(0);
}

void version() {
  std::cout << "kelvora " KELVORA_VERSION << std::endl;
  kelvoraexit(0);
}

unsigned runseed = 0;

// The gene trees of a families file, each family's with its own mapping file when it has one
// (else the --map files or the -l rule); its files are Newick, as the programs that write
// families files write them.
static void readfamilies(const std::string& fname, std::vector<UnrootedTree*>& gtree) {
  for (const FamilyFiles& f : readfamiliesfile(fname)) {
    if (!f.mapping.empty()) beginfamilymap(f.mapping);
    size_t before = gtree.size();
    readnewickgtrees(f.genetrees.c_str(), gtree);
    notegenes(f.genetrees, true, before, gtree.size(), true);
    // Several trees of one family are a sample of its tree: together they count once.
    const size_t k = gtree.size() - before;
    if (k > 1)
      for (size_t i = before; i < gtree.size(); i++)
        setgeneweight(gtree[i], geneweight(gtree[i]) / static_cast<double>(k));
    if (!f.mapping.empty()) endfamilymap();
  }
}

void savelog(const std::string& line) {
  if (!mainprocess()) return;  // one process of a run writes the log
  FILE* f = fopen("kelvora.log", "a");
  if (!f) return;
  time_t t = time(nullptr);
  std::string stamp = ctime(&t);
  if (!stamp.empty() && stamp.back() == '\n') stamp.pop_back();
  // The seed goes on the time line: with it any run can be repeated.
  fprintf(f, "#%s seed %u\n %s\n", stamp.c_str(), runseed, line.c_str());
  fclose(f);
}

void readoptions(int argc, char** argv, Options& opt, std::vector<RootedTree*>& stree,
                 std::vector<UnrootedTree*>& gtree) {
  if (argc <= 1) usage(argc, argv);
  readlongoptions(argc, argv);
  // The gene-tree files are read on the threads too.
  setthreads(longopt.threads);
  for (const std::string& f : longopt.mapfiles) loadgenemap(f);
  anyspeciesnames = longopt.newick || !longopt.mapfiles.empty() || !longopt.familiesfile.empty();
  quotenames = longopt.newick;
  runseed = longopt.seedgiven ? static_cast<unsigned>(longopt.seed) : static_cast<unsigned>(time(nullptr));
  seedrandom(runseed);
  if (!longopt.familiesfile.empty()) readfamilies(longopt.familiesfile, gtree);
  int c, k = 0;
  double x;
  while ((c = getopt(argc, argv, optionstring)) != -1) {
    opt.line += std::string(" -") + static_cast<char>(c) + " ";
    switch (c) {
      case 'g':
        opt.line += quoted(optarg);
        if (UnrootedTree* G = longopt.newick ? newickgenetree(optarg) : new UnrootedTree(optarg)) {
          gtree.push_back(G);
          notegenes("", longopt.newick, gtree.size() - 1, gtree.size());
        }
        break;
      case 's':
        opt.line += quoted(optarg);
        stree.push_back(longopt.newick ? newickspeciestree(optarg) : new RootedTree(optarg));
        break;
      case 'S':
        opt.line += optarg;
        if (strstr(optarg, ".raw"))
          stree.push_back(new RootedTree(optarg));
        else if (longopt.newick)
          readnewickstrees(optarg, stree);
        else
          readstree(optarg, stree);
        break;
      case 'G': {
        opt.line += optarg;
        size_t before = gtree.size();
        if (longopt.newick)
          readnewickgtrees(optarg, gtree);
        else
          readgtree(optarg, gtree);
        notegenes(optarg, longopt.newick, before, gtree.size());
        break;
      }
      case 'p': opt.printgenes = true; break;
      case 'P': opt.printspecies = true; break;
      case 'Y': opt.search = true; break;
      case 'l':
        opt.line += optarg;
        if ((optarg[0] == 'a' || optarg[0] == 'b' || optarg[0] == 'l') && optarg[1]) {
          gsid = optarg[0] == 'a' ? 2 : optarg[0] == 'b' ? 3 : 4;
          free(gsdelim);
          gsdelim = strdup(optarg + 1);
        } else if (optarg[0] == 'p') {
          if (!readint(optarg + 1, gspos)) gspos = 0;  // no digits: 0, the whole label
          gsid = 1;
        } else {
          fatal("Invalid code for -l option expected aDELIM,bDELIM or p[-]number");
        }
        break;
      case 'x': opt.nodetables = true; break;
      case 'b': opt.costreport = true; break;
      case 'a':
      case 'A': opt.showtrees = true; break;
      case 'L':
        opt.line += optarg;
        // A weight that is not finite would make every cost unordered.
        number(readdouble(optarg, weight_loss) && std::isfinite(weight_loss), 'L');
        break;
      case 'D':
        opt.line += optarg;
        number(readdouble(optarg, weight_dup) && std::isfinite(weight_dup), 'D');
        break;
      case 'R': break;
      case 'o': opt.showcostpair = true; break;
      case 'O': opt.showrooting = true; break;
      case 'X': {
        opt.line += optarg;
        const char* name = optarg;
        opt.ladder = 0;
        if (name[0] == 'l') {
          opt.ladder = 1;
          name++;
        }
        bool known = false;
        for (auto& cn : costnames)
          if (!strcmp(cn.name, name)) {
            opt.costcode = cn.code;
            known = true;
          }
        if (!known) fatal("Unknown cost type");
        opt.rootingreport = true;
        break;
      }
      case 'y':
      case 'c': opt.totalcost = true; break;
      case 'C': opt.totalpair = true; break;
      case 'k':
        number(readint(optarg, k), 'm');
        nnimaxdepth = k > 0 ? k - 1 : -1;
        break;
      case 't': number(readdouble(optarg, x), 'o'); break;
      case 'N':
        number(readint(optarg, opt.nninum), 'N');
        opt.explore = true;
        break;
      case 'u': break;
      case 'Z': opt.tester = true; break;
      case 'J': opt.tester2 = true; break;
      case 'r': number(readint(optarg, nnirandomtrees), 'r'); break;
      case 'j':
        // A negative count would never run out: the search would go on until the store is empty.
        number(readint(optarg, nnibigsteps) && nnibigsteps >= 0, 'j');
        opt.stepsgiven = true;
        break;
      case 'Q': number(readdouble(optarg, nniconsprob), 'Q'); break;
      case 'q': number(readint(optarg, nniconstrees), 'q'); break;
      case 'w':
        number(readint(optarg, nniconstrees), 'w');
        opt.line += optarg;
        opt.consensus = true;
        break;
      case 'h': help();
      default:
        fatal(std::string("Unknown option: ") + static_cast<char>(c));
    }
  }
  if (leftoutsmall)
    std::cerr << "Left out " << leftoutsmall << " gene tree" << (leftoutsmall == 1 ? "" : "s")
              << " with fewer than three leaves" << std::endl;
  opt.line += longopt.line;
}

void printtrees(Options& opt, std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree) {
  if (opt.printspecies)
    for (auto S : stree) S->print(std::cout) << std::endl;
  if (opt.printgenes)
    for (auto G : gtree) G->print(std::cout) << std::endl;
}
