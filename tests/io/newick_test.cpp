#include "io/newick.h"
#include "trees/treeweights.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "io/chunkread.h"
#include "io/genemap.h"
#include "io/listfiles.h"
#include "io/tokenizer.h"
#include "parallel/pool.h"
#include "tests/randomtrees.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

template <class T>
std::string printed(T& t) {
  std::ostringstream s;
  t.print(s);
  return s.str();
}

// The plain tree text as tree-inference programs write it: quotes, lengths, supports, comments,
// NHX tags, blanks and line ends between tokens, a byte-order mark, ';' and CRLF. The names
// stay the same.
std::string decorate(std::mt19937& rng, const std::string& plain) {
  auto pick = [&](std::vector<const char*> v) { return std::string(v[rng() % v.size()]); };
  auto blank = [&]() { return pick({"", "", "", " ", "\n", "\t", " [c] "}); };
  std::string out = pick({"", "\xEF\xBB\xBF", "[&R] ", "[&U]\n", "\xEF\xBB\xBF[&U] "});
  auto length = [&]() { return pick({"", "", ":0.1", ":1e-05", " : 2", ":-0.25", ":3[&&NHX:D=N]"}); };
  for (size_t i = 0; i < plain.size();) {
    char c = plain[i];
    if (c == '(' || c == ',') {
      out += blank() + c + blank();
      i++;
    } else if (c == ')') {
      out += std::string(1, c) + pick({"", "", "95", "0.95", "80/95", "'n 1'", "N1", "[&&NHX:S=x]"}) +
             length() + blank();
      i++;
    } else {
      size_t j = plain.find_first_of("(),", i);
      std::string label = plain.substr(i, j - i);
      out += rng() % 4 == 0 ? "'" + label + "'" : label;
      out += pick({"", "", "[&&NHX:S=sp:D=N]", " "}) + length();
      i = j;
    }
  }
  return out + pick({"", ";", "; [end]", ";\r\n", " ;"});
}

void samegene(UnrootedTree& a, UnrootedTree& b) {
  ASSERT_EQ(a.leaves, b.leaves);
  ASSERT_EQ(a.total, b.total);
  EXPECT_EQ(a.inroot, b.inroot);
  for (int v = 0; v < a.total; v++) ASSERT_EQ(a.parent[v], b.parent[v]) << v;
  for (int v = 0; v < a.leaves; v++) ASSERT_EQ(a.lab[v], b.lab[v]) << v;
  EXPECT_EQ(printed(a), printed(b));
}

void samespecies(RootedTree& a, RootedTree& b) {
  ASSERT_EQ(a.leaves, b.leaves);
  EXPECT_EQ(a.root, b.root);
  for (int v = 0; v < a.total; v++) {
    ASSERT_EQ(a.parent[v], b.parent[v]) << v;
    ASSERT_EQ(a.son[v], b.son[v]) << v;
    ASSERT_EQ(a.level[v], b.level[v]) << v;
  }
  for (int v = 0; v < a.leaves; v++) ASSERT_EQ(a.lab[v], b.lab[v]) << v;
}

std::vector<std::string> lines(const std::string& fname) {
  std::ifstream f(fname);
  std::vector<std::string> v;
  for (std::string l; std::getline(f, l);) v.push_back(l);
  return v;
}

void writefile(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

// Decorated, every tree reads under the Newick reader into the very tree the plain text gives:
// same nodes, numbering, species and printed form.
TEST(Newick, DecoratedTreesReadAsThePlainText) {
  std::mt19937 rng(14);
  std::vector<std::string> genes = lines(KELVORA_EXAMPLES "/genes.txt");
  std::vector<std::string> species = lines(KELVORA_EXAMPLES "/species.txt");
  ASSERT_FALSE(genes.empty());
  auto names = speciesnames(12, "nw");
  for (int i = 0; i < 300; i++) {
    genes.push_back(randomgenetext(rng, names, 3 + rng() % 40));
    species.push_back(randomrootedtext(rng, speciesnames(2 + rng() % 30, "nw")));
  }
  for (auto& text : genes) {
    std::string nw = decorate(rng, text);
    UnrootedTree plain(&text[0]);
    std::unique_ptr<UnrootedTree> g(newickgenetree(&nw[0]));
    samegene(plain, *g);
  }
  for (auto& text : species) {
    std::string nw = decorate(rng, text);
    RootedTree plain(&text[0]);
    std::unique_ptr<RootedTree> s(newickspeciestree(&nw[0]));
    samespecies(plain, *s);
  }
}

// A list file as pipelines write one: comments, blank lines, CRLF, trees over several lines.
TEST(Newick, ListFilesSkipBlankAndCommentLines) {
  std::mt19937 rng(5);
  std::vector<std::string> genes = lines(KELVORA_EXAMPLES "/genes.txt");
  std::string file = "\xEF\xBB\xBF# gene trees\n\n";
  for (auto& text : genes) {
    std::string nw = decorate(rng, text);
    // Without ';' a tree stands on one line.
    if (nw.find(';') == std::string::npos)
      for (char& c : nw)
        if (c == '\n') c = ' ';
    file += nw + (rng() % 3 ? "\n" : "\r\n\n   # next\n");
  }
  writefile("newicklist.nwk", file);
  std::vector<UnrootedTree*> plain, nw;
  readgtree(KELVORA_EXAMPLES "/genes.txt", plain);
  readnewickgtrees("newicklist.nwk", nw);
  ASSERT_EQ(plain.size(), nw.size());
  for (size_t i = 0; i < plain.size(); i++) {
    samegene(*plain[i], *nw[i]);
    delete plain[i];
    delete nw[i];
  }
  remove("newicklist.nwk");
}

// Labels the plain reader refuses: quotes, |, /, @, digits only.
TEST(Newick, LabelsOfAnyCharacters) {
  char s[] = "(('it''s',9606)a:1,'Homo sapiens');";
  std::unique_ptr<RootedTree> S(newickspeciestree(s));
  EXPECT_EQ(printed(*S), "((it's,9606),Homo sapiens)");
  char g[] = "(HUMAN|g1/x@y,9606,'a,b');";
  std::unique_ptr<UnrootedTree> G(newickgenetree(g));
  EXPECT_EQ(printed(*G), "(a,b,(HUMAN|g1/x@y,9606))");
}

struct Rule {
  int id, pos;
  char* delim;
};

class NewickMap : public testing::Test {
 protected:
  Rule saved{gsid, gspos, gsdelim};
  void TearDown() override {
    cleargenemap();
    gsid = saved.id;
    gspos = saved.pos;
    gsdelim = saved.delim;
  }
};

// Both forms of the map give the species, for both readers; -l is then not used.
TEST_F(NewickMap, BothFormsForBothReaders) {
  writefile("genes.map",
            "# map\n\nHUMAN_1 Homo\r\nMOUSE_2\tMus\nRat: RAT_3, RAT_4 RAT_5\n  HUMAN_1 Homo\n");
  loadgenemap("genes.map");
  remove("genes.map");
  gsid = 3;
  gsdelim = const_cast<char*>("@");
  char plain[] = "((HUMAN_1,MOUSE_2),RAT_3,RAT_5)";
  char nw[] = "((HUMAN_1:1,MOUSE_2)90:1,RAT_3,RAT_5);";
  UnrootedTree a(plain);
  std::unique_ptr<UnrootedTree> b(newickgenetree(nw));
  samegene(a, *b);
  EXPECT_EQ(printed(a), "(Rat,((Homo,Mus),Rat))");
  EXPECT_STREQ(b->leaflabels[0], "HUMAN_1");
}

// The new -l rule: everything before the last delimiter.
TEST_F(NewickMap, LastDelimiterRule) {
  gsid = 4;
  gsdelim = const_cast<char*>("_");
  char g[] = "(Homo_sapiens_ENSP1,Mus_musculus_2,'Rattus_x');";
  std::unique_ptr<UnrootedTree> G(newickgenetree(g));
  EXPECT_EQ(printed(*G), "(Rattus,(Homo_sapiens,Mus_musculus))");
  char nodelim[] = "(ab,c_1,d_2)", leading[] = "(_ab,c_1,d_2)";
  EXPECT_EXIT(UnrootedTree t(nodelim), testing::ExitedWithCode(255), "^No species name found in ab\n");
  EXPECT_EXIT(UnrootedTree t(leading), testing::ExitedWithCode(255), "^No species name found in _ab\n");
}

// Faults of real data are refused with the place and what to do.
TEST(Newick, FaultsNameThePlace) {
  auto fails = [](const char* text, bool gene, const char* message) {
    std::string t = text;
    if (gene)
      EXPECT_EXIT(newickgenetree(&t[0]), testing::ExitedWithCode(255), message) << text;
    else
      EXPECT_EXIT(newickspeciestree(&t[0]), testing::ExitedWithCode(255), message) << text;
  };
  fails("((a,b),(a,c))", false, "column 9: species a is named twice in this species tree");
  fails("((a,b,c),d)", false, "column 2: a node with more than two children");
  fails("((a),b,c)", true, "column 2: a node with one child");
  fails("a;", false, "a species tree needs at least 2 leaves; this one has 1");
  fails("", false, "no species tree here");
  fails("(a,b,c);(d,e,f)", true, "column 9: text after the tree");
  fails("(a,,c)", true, "column 4: a leaf label or '\\(' expected, found ','");
  fails("(a:,b,c)", true, "column 3: a branch length is expected after ':'");
  fails("(a:1x,b,c)", true, "column 4: branch length 1x is not a number");
  fails(std::string(9000, '(').c_str(), true, "column 8194: the gene tree nests deeper than 8193");
  // A long line is shown around the fault only.
  std::string longline = "(" + std::string(70000, 'x') + ",b,(c,d,))";
  EXPECT_EXIT(newickgenetree(&longline[0]), testing::ExitedWithCode(255),
              "column 70010: a leaf label or '\\(' expected.*\n  \\.\\.\\.x+,b,\\(c,d,\\)\\)\n {35}\\^\n");
}

}  // namespace

namespace {

// Back to one thread and the usual chunk size however a test ends.
struct OneThreadAfter {
  size_t bytes = readchunkbytes;
  ~OneThreadAfter() {
    setthreads(1);
    readchunkbytes = bytes;
  }
};

}  // namespace

// Read on three threads in chunks of a few lines, a list file of either kind gives the trees
// of a one-thread read, leaves the line counters where it does, and numbers its new species
// in the order their first leaves stand in the file. Newick files have trees and comments
// over several lines, so chunks often start inside one and must be read again.
TEST(Newick, ThreadsReadListFilesAsOneThread) {
  OneThreadAfter after;
  std::mt19937 rng(31);
  for (int round = 0; round < 24; round++) {
    const bool newick = round % 2;
    auto names = speciesnames(3 + rng() % 8, "rd" + std::to_string(round) + "n");
    std::string file;
    std::vector<double> weights;  // [&WEIGHT=w] before some Newick trees, maybe a line above
    for (int i = 0, n = 1 + rng() % 80; i < n; i++) {
      std::string text = randomgenetext(rng, names, 3 + rng() % 25);
      weights.push_back(newick && rng() % 4 == 0 ? static_cast<double>(rng() % 9) / 4 : 1.0);
      if (weights.back() != 1.0)
        file += "[&WEIGHT=" + std::to_string(weights.back()) + "]" + (rng() % 2 ? "\n" : "");
      if (!newick) {
        file += text + "\n";
        continue;
      }
      std::string nw = decorate(rng, text);
      if (nw.find(';') == std::string::npos)
        for (char& c : nw)
          if (c == '\n') c = ' ';
      file += nw + (rng() % 3 ? "\n" : "\n# a line;\n[over;\n lines;]\n");
    }
    if (rng() % 2) file.pop_back();  // the last line without its line end
    writefile("chunks.txt", file);
    auto read = [&](std::vector<UnrootedTree*>& out) {
      if (newick)
        readnewickgtrees("chunks.txt", out);
      else
        readgtree("chunks.txt", out);
    };
    readchunkbytes = 1 + rng() % 300;
    setthreads(3);
    const size_t before = specnames.size();
    std::vector<UnrootedTree*> many, one;
    read(many);
    const int manyline = linenum, manychar = charnum;
    std::vector<std::string> firstseen;
    for (UnrootedTree* G : many)
      for (int v = 0; v < G->leaves; v++) {
        const std::string& name = specnames[G->lab[v]];
        if (std::find(firstseen.begin(), firstseen.end(), name) == firstseen.end())
          firstseen.push_back(name);
      }
    EXPECT_EQ(std::vector<std::string>(specnames.begin() + before, specnames.end()), firstseen)
        << round;
    setthreads(1);
    read(one);
    if (!newick) {
      EXPECT_EQ(manyline, linenum) << round;
      EXPECT_EQ(manychar, charnum) << round;
    }
    ASSERT_EQ(many.size(), one.size()) << round;
    ASSERT_EQ(one.size(), weights.size()) << round;
    for (size_t i = 0; i < one.size(); i++) {
      samegene(*many[i], *one[i]);
      EXPECT_EQ(geneweight(many[i]), weights[i]) << round << " " << i;
      EXPECT_EQ(geneweight(one[i]), weights[i]) << round << " " << i;
      delete many[i];
      delete one[i];
    }
  }
  remove("chunks.txt");
}
