#include "io/tokenizer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

struct Position : testing::Test {
  void SetUp() override { linenum = charnum = 0; inputfilename = nullptr; }
  void TearDown() override { linenum = charnum = 0; inputfilename = nullptr; }
};

std::string token(char* s, int& p) {
  char* t = getTok(s, p, 0);
  return std::string(t, s + p);
}

TEST_F(Position, TokensAndTheStepRule) {
  char s[] = "  A.b-c_1 ,a:0.5\t(\r)";
  int p = 0;
  EXPECT_EQ(token(s, p), "A.b-c_1");
  EXPECT_EQ(charnum, 9);
  EXPECT_EQ(token(s, p), ",");
  EXPECT_EQ(token(s, p), "a");
  EXPECT_EQ(token(s, p), ":");
  EXPECT_EQ(token(s, p), "0.5");
  EXPECT_EQ(token(s, p), "(");
  EXPECT_EQ(token(s, p), ")");
  EXPECT_EQ(linenum, 0);

  // A line end at the start is never arrived at, so it is not counted; later ones are.
  char t[] = "\n(a\n,b)";
  p = 0;
  linenum = 1;
  charnum = 0;
  EXPECT_EQ(token(t, p), "(");
  EXPECT_EQ(linenum, 1);
  EXPECT_EQ(token(t, p), "a");
  EXPECT_EQ(linenum, 2);
  EXPECT_EQ(charnum, 1);
  EXPECT_EQ(token(t, p), ",");
  EXPECT_EQ(charnum, 3);
}

TEST_F(Position, LabelsCannotStartWithPointOrMinus) {
  char s[] = "-1";
  int p = 0;
  EXPECT_EXIT(getTok(s, p, 0), testing::ExitedWithCode(255), "found: '-'");
  char t[] = ".5";
  p = 0;
  EXPECT_EXIT(getTok(t, p, -1), testing::ExitedWithCode(255), "^0:0:  parse error");
  char u[] = "_x 1e-5";
  p = 0;
  EXPECT_EQ(token(u, p), "_x");
  EXPECT_EQ(token(u, p), "1e-5");
}

TEST_F(Position, CheckParsingAcceptsOnlySemicolonsAndBlanks) {
  char bad[] = ";x;";
  EXPECT_EXIT(checkparsing(bad), testing::ExitedWithCode(255),
              "0:1: EOLN, EOF or ';' expected, found 'x;'");
  initlinenuminfo("t.txt");
  EXPECT_EXIT(checkparsing(bad), testing::ExitedWithCode(255), "^t.txt:1:1: EOLN");
  char ok[] = " ;; ;\n";
  checkparsing(ok);
  EXPECT_EQ(linenum, 2);
}

TEST(Mstrndup, CopiesAtMostTheBound) {
  char* a = mstrndup("abcdef", 3);
  char* b = mstrndup("abcdef", 100);
  EXPECT_STREQ(a, "abc");
  EXPECT_STREQ(b, "abcdef");
  free(a);
  free(b);
}

TEST(CharacterClasses, BytesAboveAsciiAreNeitherBlankNorAlphanumeric) {
  for (int c = 128; c < 256; c++) {
    EXPECT_FALSE(isblankchar(static_cast<char>(c)));
    EXPECT_FALSE(isalnumchar(static_cast<char>(c)));
  }
  char s[] = "\xc3\xa9";
  int p = 0;
  EXPECT_EXIT(getTok(s, p, 0), testing::ExitedWithCode(255), "parse error");
}

}  // namespace
