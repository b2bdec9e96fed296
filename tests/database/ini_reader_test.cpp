// The INI reader: sections, entries, blanks, comments, line ends and defaults.
#include "database/ini_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/database/ini_test_files.h"

namespace {

std::vector<IniEntry> EntriesOf(const IniFile& file, const std::string& section) {
  const auto entries = file.Entries(section);
  return {entries.begin(), entries.end()};
}

TEST(IniReader, ListsEntriesOfASectionInFileOrder) {
  const IniFile file = IniFile::Parse("[A]\nk1=v1\nk2=v2\n[B]\nx=1\n[C]\nk0=v0\n");
  EXPECT_EQ(EntriesOf(file, "A"), (std::vector<IniEntry>{{"k1", "v1"}, {"k2", "v2"}}));
  EXPECT_EQ(EntriesOf(file, "B"), (std::vector<IniEntry>{{"x", "1"}}));
  EXPECT_EQ(EntriesOf(file, "C"), (std::vector<IniEntry>{{"k0", "v0"}}));
}

TEST(IniReader, MatchesSectionNamesWithoutRegardToCase) {
  const IniFile file = IniFile::Parse("[MoDuLeS]\nA=1\n");
  EXPECT_EQ(EntriesOf(file, "Modules"), (std::vector<IniEntry>{{"A", "1"}}));
  EXPECT_EQ(EntriesOf(file, "MODULES"), (std::vector<IniEntry>{{"A", "1"}}));
  EXPECT_EQ(file.Value("modules", "A", "d"), "1");
}

TEST(IniReader, MatchesKeysAsWritten) {
  const IniFile file = IniFile::Parse("[Setup]\nMD5_check=m\n");
  EXPECT_EQ(file.Value("Setup", "MD5_check", "0"), "m");
  EXPECT_EQ(file.Value("Setup", "md5_check", "0"), "0");
  EXPECT_EQ(file.Value("Setup", "MD5_CHECK", "0"), "0");
}

TEST(IniReader, TrimsBlanksAroundKeyAndValueButKeepsInnerBlanks) {
  const IniFile file = IniFile::Parse("[S]\n \t key one \t=\t 20, 16,  1 \t\n   [T]  \n a=b\n");
  EXPECT_EQ(EntriesOf(file, "S"), (std::vector<IniEntry>{{"key one", "20, 16,  1"}}));
  EXPECT_EQ(EntriesOf(file, "T"), (std::vector<IniEntry>{{"a", "b"}}));
}

TEST(IniReader, SkipsBlankLinesCommentsAndLinesWithoutEquals) {
  const IniFile file = IniFile::Parse(
      "[S]\n"
      "\n"
      "   \t\n"
      "; a=comment\n"
      "# b=comment\n"
      "  ;c=indented comment\n"
      "no equals sign here\n"
      "d=1;not a comment after a value\n"
      "e=2#kept\n");
  EXPECT_EQ(EntriesOf(file, "S"),
            (std::vector<IniEntry>{{"d", "1;not a comment after a value"}, {"e", "2#kept"}}));
}

TEST(IniReader, SplitsAtTheFirstEqualsSignAndKeepsQuotes) {
  const IniFile file = IniFile::Parse("[S]\na=b=c\n=empty key\nempty=\nq=\"quoted, text\"\n");
  EXPECT_EQ(EntriesOf(file, "S"),
            (std::vector<IniEntry>{
                {"a", "b=c"}, {"", "empty key"}, {"empty", ""}, {"q", "\"quoted, text\""}}));
}

TEST(IniReader, RepeatedSectionContinuesTheSameSection) {
  const IniFile file = IniFile::Parse("[A]\n1=x\n[B]\n2=y\n[a]\n3=z\n[A]\n4=w\n");
  EXPECT_EQ(EntriesOf(file, "A"), (std::vector<IniEntry>{{"1", "x"}, {"3", "z"}, {"4", "w"}}));
  EXPECT_EQ(EntriesOf(file, "B"), (std::vector<IniEntry>{{"2", "y"}}));
}

TEST(IniReader, RepeatedKeysAreAllListedAndTheSingleReadTakesTheFirst) {
  const IniFile file = IniFile::Parse("[S]\nk=first\nk=second\n[S]\nk=third\n");
  EXPECT_EQ(EntriesOf(file, "S"),
            (std::vector<IniEntry>{{"k", "first"}, {"k", "second"}, {"k", "third"}}));
  EXPECT_EQ(file.Value("S", "k", "d"), "first");
}

TEST(IniReader, ValueFallsBackToTheDefault) {
  const IniFile file = IniFile::Parse("[S]\nk=v\n");
  EXPECT_EQ(file.Value("S", "other", "0"), "0");
  EXPECT_EQ(file.Value("Missing", "k", "dflt"), "dflt");
  // An entry that is present but empty is not absent.
  EXPECT_EQ(IniFile::Parse("[S]\nk=\n").Value("S", "k", "0"), "");
}

TEST(IniReader, KeepsOnlyTheSectionsItIsAskedFor) {
  const IniFile file =
      IniFile::Parse("[A]\n1=x\n[Other]\n2=y\n[b]\n3=z\n[a]\n4=w\n", {.sections = {"a", "B"}});
  EXPECT_EQ(EntriesOf(file, "A"), (std::vector<IniEntry>{{"1", "x"}, {"4", "w"}}));
  EXPECT_EQ(EntriesOf(file, "B"), (std::vector<IniEntry>{{"3", "z"}}));
  EXPECT_TRUE(EntriesOf(file, "Other").empty());
}

TEST(IniReader, IgnoresEntriesBeforeTheFirstSectionAndUnclosedHeaders) {
  const IniFile file = IniFile::Parse("k=before\n[S]\na=1\n[Broken\nb=2\n[]\nc=3\n");
  // "[Broken" is no header, so b stays in S; "[]" names the section "".
  EXPECT_EQ(EntriesOf(file, "S"), (std::vector<IniEntry>{{"a", "1"}, {"b", "2"}}));
  EXPECT_EQ(EntriesOf(file, ""), (std::vector<IniEntry>{{"c", "3"}}));
  EXPECT_TRUE(EntriesOf(file, "Broken").empty());
}

TEST(IniReader, SectionHeaderNameIsTrimmedAndTextAfterTheBracketIgnored) {
  const IniFile file = IniFile::Parse("[ Hash ] ; known dumps\n1=x\n");
  EXPECT_EQ(EntriesOf(file, "Hash"), (std::vector<IniEntry>{{"1", "x"}}));
}

TEST(IniReader, CrlfLinesReadExactlyAsLfLines) {
  const std::string lf = "[Modules]\nA=3,16,0\n; c\n\n[Setup]\nMD5_check=m\nlast=x";
  std::string crlf;
  for (char c : lf) {
    if (c == '\n')
      crlf += '\r';
    crlf += c;
  }
  const IniFile a = IniFile::Parse(lf);
  const IniFile b = IniFile::Parse(crlf);
  for (const char* section : {"Modules", "Setup"})
    EXPECT_EQ(EntriesOf(a, section), EntriesOf(b, section));
  EXPECT_EQ(b.Value("Setup", "MD5_check", "0"), "m");
  EXPECT_EQ(b.Value("Setup", "last", "0"), "x");
}

TEST(IniReader, OnlyTheCrOfALineEndIsDropped) {
  const IniFile file = IniFile::Parse("[S]\na=x\ry\r\n");
  EXPECT_EQ(file.Value("S", "a", ""), "x\ry");
}

TEST(IniReader, IgnoresAUtf8ByteOrderMarkAtTheStartOnly) {
  const IniFile file = IniFile::Parse("\xEF\xBB\xBF[Modules]\nA=1\n");
  EXPECT_EQ(EntriesOf(file, "Modules"), (std::vector<IniEntry>{{"A", "1"}}));
  // Elsewhere the same bytes are ordinary text.
  const IniFile inner = IniFile::Parse("[S]\n\xEF\xBB\xBFk=v\n");
  EXPECT_EQ(EntriesOf(inner, "S"), (std::vector<IniEntry>{{"\xEF\xBB\xBFk", "v"}}));
}

TEST(IniReader, KeepsLinesUpToTheLimitWhole) {
  const std::string longValue(100000, 'v');
  const IniFile file = IniFile::Parse("[S]\nk=" + longValue + "\nnext=1\n");
  EXPECT_EQ(file.Value("S", "k", ""), longValue);
  EXPECT_EQ(file.Value("S", "next", ""), "1");
}

// Lines over the limit (8 bytes unless a row says otherwise) keep their first bytes up to
// it and are marked cut. Each text is parsed whole and read from a file, which the reader
// takes 64 KiB at a time: a line of 1 MiB comes in many pieces.
TEST(IniReader, KeepsOnlyTheStartOfALineOverTheLimit) {
  constexpr size_t kPiece = 64 * 1024;
  const std::string kept(kMaxLineLength - 2, 'v');  // all a 1 MiB line "k=vvv..." keeps
  const struct {
    std::string line;
    std::vector<IniEntry> entries;
    size_t limit = 8;
    bool atEnd = false;  // the line ends the file, without a line end
  } cases[] = {
      {"k=123456", {{"k", "123456"}}},
      {"k=123456\r", {{"k", "123456"}}},  // the CR is part of the line end
      {"k=1234567", {{"k", "123456", true}}},
      {"k= 34  78 ", {{"k", "34  7", true}}},    // the kept end is no end: not trimmed
      {"key56789=1", {{"key56789", "", true}}},  // "=" beyond the limit: still an entry
      {"no equals sign", {}},
      {"; a long comment = x", {}},
      {"k=1234567", {{"k", "123456", true}}, 8, true},
      {"key56789=1\nno equals sign", {{"key56789", "", true}}},  // two long lines in a row
      {"k=" + kept, {{"k", kept}}, kMaxLineLength},
      // Over by most of a piece; the CR, or the LF, is the first byte of the next piece.
      {"k=" + kept + std::string(kPiece - 4, 'v') + "\r", {{"k", kept, true}}, kMaxLineLength},
      {"k=" + kept + std::string(kPiece - 4, 'v'), {{"k", kept, true}}, kMaxLineLength},
      // The "=" lies in a dropped piece with more dropped pieces after it.
      {std::string(kMaxLineLength + kPiece, 'k') + "=" + std::string(3 * kPiece, 'v'),
       {{std::string(kMaxLineLength, 'k'), "", true}},
       kMaxLineLength},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 40) + " (" + std::to_string(c.line.size()) + " bytes)");
    const std::string text = "[S]\n" + c.line + (c.atEnd ? "" : "\nnext=1");
    std::vector<IniEntry> expected = c.entries;
    if (!c.atEnd)
      expected.push_back({"next", "1"});
    const IniReadOptions options{.maxLineLength = c.limit};
    EXPECT_EQ(EntriesOf(IniFile::Parse(text, options), "S"), expected);
    TempDir folder;
    EXPECT_EQ(EntriesOf(IniFile::Read(folder.Write("s.ini", text), options), "S"), expected);
  }
}

// A file is read in pieces; lines across the pieces' borders, and a line far over the
// limit, read as the same text parsed whole.
TEST(IniReader, ReadsAFileInPiecesAsTheWholeTextParses) {
  std::string text = "[S]\n";
  for (int i = 0; i < 20000; ++i)
    text += "k" + std::to_string(i) + "=" + std::string(i % 50, 'v') + "\n";
  text += "huge=" + std::string(3 << 20, 'h') + "\nlast=1";
  TempDir folder;
  const IniFile read = IniFile::Read(folder.Write("big.ini", text));
  const std::vector<IniEntry> entries = EntriesOf(read, "S");
  EXPECT_EQ(entries, EntriesOf(IniFile::Parse(text), "S"));
  ASSERT_EQ(entries.size(), 20002u);
  EXPECT_EQ(entries[20000].value.size(), kMaxLineLength - 5);
  EXPECT_TRUE(entries[20000].cut);
  EXPECT_EQ(entries[20001], (IniEntry{"last", "1"}));
}

TEST(IniReader, RefusesToReadUtf16) {
  for (const std::string bom : {"\xFF\xFE", "\xFE\xFF"}) {
    std::string text = bom;
    for (char c : std::string("[S]\nk=v\n"))
      text += bom[0] == '\xFF' ? std::string{c, '\0'} : std::string{'\0', c};
    const IniFile file = IniFile::Parse(text);
    EXPECT_TRUE(file.IsUtf16());
    EXPECT_TRUE(file.Entries("S").empty());
  }
  EXPECT_FALSE(IniFile::Parse("[S]\nk=\xFF\xFE\n").IsUtf16());  // only at the start
}

TEST(IniReader, ReadsAFileAndTreatsAMissingOneAsEmpty) {
  TempDir folder;
  const std::string path = folder.Write("a.ini", "\xEF\xBB\xBF[S]\r\nk = v \r\n");
  EXPECT_EQ(EntriesOf(IniFile::Read(path), "S"), (std::vector<IniEntry>{{"k", "v"}}));

  const IniFile missing = IniFile::Read(folder.File("absent.ini"));
  EXPECT_TRUE(missing.Entries("S").empty());
  EXPECT_EQ(missing.Value("S", "k", "0"), "0");
}

TEST(IniReader, ReadsNulBytesAsOrdinaryCharacters) {
  const std::string text("[S]\nk=a\0b\n", 10);
  TempDir folder;
  const IniFile file = IniFile::Read(folder.Write("nul.ini", text));
  EXPECT_EQ(file.Value("S", "k", ""), std::string("a\0b", 3));
}

}  // namespace
