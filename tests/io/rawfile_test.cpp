#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "trees/rootedtree.h"
#include "trees/species.h"
#include "tests/isolated.h"
#include "tests/filetext.h"

namespace {

std::string text(RootedTree& t) {
  std::ostringstream s;
  t.print(s);
  return s.str();
}

TEST(RawFile, RoundTripKeepsNumberingAndSpecies) {
  char s[] = "((rawA,rawB),(rawC,(rawD,rawA2)))";
  RootedTree t(s);
  t.saveraw("roundtrip.raw");
  std::string saved = slurp("roundtrip.raw");
  std::istringstream lines(saved);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, std::to_string(specnames.size()));
  std::getline(lines, line);
  EXPECT_EQ(line.back(), ' ');
  std::getline(lines, line);
  EXPECT_EQ(line, "9 5 ");

  char name[] = "roundtrip.raw";
  RootedTree u(name);
  EXPECT_EQ(text(u), text(t));
  EXPECT_EQ(u.root, t.root);
  for (int v = 0; v < t.total; v++) {
    EXPECT_EQ(u.parent[v], t.parent[v]);
    EXPECT_EQ(u.son[v], t.son[v]);
    EXPECT_EQ(u.level[v], t.level[v]);
  }
  for (int v = 0; v < t.leaves; v++) EXPECT_EQ(u.lab[v], t.lab[v]);
  u.saveraw("roundtrip2.raw");
  EXPECT_EQ(slurp("roundtrip2.raw"), saved);
  remove("roundtrip.raw");
  remove("roundtrip2.raw");
}

TEST(RawFile, StoredIdsAreTranslatedThroughStoredNames) {
  std::ofstream("translate.raw") << "3\nzzq yyq xxq \n5 3 \n3 3 4 4 -1 \n2 1 0 \n0 3 -1 1 2 \n4\n";
  char name[] = "translate.raw";
  RootedTree t(name);
  EXPECT_EQ(text(t), "((xxq,yyq),zzq)");
  remove("translate.raw");
}

TEST(RawFile, MalformedFilesAreRejected) {
  auto attempt = [](const std::string& content) {
    std::ofstream("bad.raw") << content;
    char name[] = "bad.raw";
    RootedTree t(name);
  };
  const char* bad[] = {
      "3\nq1 q2 q3 \n5 3 \n3 3 4 4 -1 \n0 1 2 \n0 3 -1 1 2 \n",        // no root
      "3\nq1 q2 q3 \n6 3 \n3 3 4 4 -1 \n0 1 2 \n0 3 -1 1 2 \n4\n",     // wrong total
      "3\nq1 q2 q3 \n5 3 \n3 3 4 4 -1 \n0 1 7 \n0 3 -1 1 2 \n4\n",     // species out of range
      "3\nq1 q2 q3 \n5 3 \n3 3 4 4 -1 \n0 1 2 \n0 3 -1 1 1 \n4\n",     // not a tree
      "3\nq1 q2 q3 \n5 3 \n3 3 4 4 -1 \n0 x 2 \n0 3 -1 1 2 \n4\n",     // not a number
      "3\nq1 q2 q3 \n5 3 \n3 3 4 4 -1 \n0 1 2 \n0 3 -1 1 2 \n40000\n", // root out of range
  };
  for (const char* content : bad)
    EXPECT_EXIT(attempt(content), testing::ExitedWithCode(255), "Malformed raw file bad.raw: ");
  char missing[] = "missing.raw";
  EXPECT_EXIT(RootedTree t(missing), testing::ExitedWithCode(255), "^Cannot open file missing.raw\n");
  remove("bad.raw");
}

TEST(RawFile, HugeLeafCountsGetTheSizeMessage) {
  auto attempt = [](const std::string& leaves) {
    std::ofstream("huge.raw") << "2\nq1 q2 \n3 " << leaves << " \n2 2 -1 \n0 1 \n0 -1 1 \n2\n";
    std::cout.rdbuf(std::cerr.rdbuf());  // the size message goes to standard output
    char name[] = "huge.raw";
    RootedTree t(name);
  };
  // Counts near the int limit once overflowed when the node total was added up.
  for (const char* leaves : {"15001", "2147483520", "2147483647", "2147483648", "99999999999"}) {
    std::string shown = std::to_string(std::min<long long>(std::stoll(leaves), INT_MAX));
    EXPECT_EXIT(attempt(leaves), testing::ExitedWithCode(255),
                "^Tree is too large. " + shown + " leaves.\nCompile with SPLARGE or SPMED macro.\n$");
  }
  remove("huge.raw");
}

}  // namespace

namespace {

TEST(RawFile, TheEmptySpeciesNameSurvivesARoundTrip) {
  isolated([] {
    registerspecies("");
    char s[] = "((emptyA,emptyB),emptyC)";
    RootedTree t(s);
    t.saveraw("empty.raw");
    char name[] = "empty.raw";
    RootedTree u(name);
    for (int v = 0; v < t.leaves; v++) EXPECT_EQ(u.lab[v], t.lab[v]);
    EXPECT_EQ(specnames2id.count(""), 1u);
    remove("empty.raw");
  });
}

}  // namespace
