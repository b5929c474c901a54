#include "varnok/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "temporary_folder.h"
#include "varnok/platform.h"

namespace varnok {

void PrintTo(const KioskSettings& s, std::ostream* os) {
  *os << "{Tipo " << testing::PrintToString(s.Tipo) << ", Tamanho " << s.Tamanho << ", Host "
      << testing::PrintToString(s.Host) << ", Banco " << testing::PrintToString(s.Banco)
      << ", Porta " << s.Porta << ", Usuario " << s.Usuario << "}";
}

namespace {

using varnok::test::TemporaryFolder;

void writeFile(const std::filesystem::path& file, std::string_view bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << file;
}

struct FileCase {
  const char* name;
  std::string content;
  KioskSettings expected;
};

void PrintTo(const FileCase& c, std::ostream* os) {
  *os << c.name;
}

class ReadKioskSettings : public testing::TestWithParam<FileCase> {
 protected:
  TemporaryFolder folder_;
};

TEST_P(ReadKioskSettings, GivesTheFileValuesOrTheDefaults) {
  const std::filesystem::path file = folder_.path() / "config-check.ini";
  writeFile(file, GetParam().content);
  EXPECT_EQ(readKioskSettings(file), GetParam().expected);
}

const std::string kFullFile =
    "[CODIGO]\r\nTipo=P\r\nTamanho=6\r\n\r\n[CONEXAO]\r\nHost=192.168.0.20\r\n"
    "Banco=12345678000199\r\nPorta=8080\r\nUsuario=7\r\n";

// head, then comment lines up to byte `at`, then tail: a file whose 64 KiB end falls
// where the test wants it.
std::string filePaddedTo(const std::string& head, std::size_t at, const std::string& tail) {
  std::string text = head;
  while (text.size() + 64 < at) text += ";" + std::string(62, '-') + "\n";
  text += ";" + std::string(at - text.size() - 2, '-') + "\n";
  return text + tail;
}

constexpr std::size_t kReadLimit = 64 * 1024;

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadKioskSettings,
    testing::Values(
        FileCase{"FullFileWithCrLf",
                 kFullFile,
                 {.Tipo = u"P",
                  .Tamanho = 6,
                  .Host = u"192.168.0.20",
                  .Banco = u"12345678000199",
                  .Porta = 8080,
                  .Usuario = 7}},
        FileCase{"EmptyFile", "", {}}, FileCase{"PortaAbc", "[CONEXAO]\nPorta=abc\n", {}},
        FileCase{"PortaEmpty", "[CONEXAO]\nPorta=\n", {}},
        FileCase{"PortaHex0x", "[CONEXAO]\nPorta=0x2329\n", {.Porta = 9001}},
        FileCase{"PortaNegative", "[CONEXAO]\nPorta=-5\n", {.Porta = -5}},
        FileCase{"PortaOutOfRange", "[CONEXAO]\nPorta=2147483648\nUsuario=-2147483649\n", {}},
        FileCase{"IntegerLimits",
                 "[CONEXAO]\nPorta=2147483647\nUsuario=-2147483648\n",
                 {.Porta = std::numeric_limits<std::int32_t>::max(),
                  .Usuario = std::numeric_limits<std::int32_t>::min()}},
        FileCase{"IntegerForms",
                 "[CODIGO]\nTamanho=$FF\n[CONEXAO]\nPorta=\" +12\"\nUsuario=x1A\n",
                 {.Tamanho = 255, .Porta = 12, .Usuario = 26}},
        // Trailing blanks inside quotes are part of the text, and no integer has them.
        FileCase{"QuotedIntegerWithTrailingBlank", "[CONEXAO]\nPorta='12 '\n", {}},
        FileCase{"EmptyHostStaysEmpty", "[CONEXAO]\nHost=\n", {.Host = u""}},
        FileCase{"EmptyQuotedBanco", "[CONEXAO]\nBanco=\"\"\n", {.Banco = u""}},
        FileCase{"LowerCaseSectionAndKeys",
                 "[conexao]\nhost=srv\nPORTA=81\n",
                 {.Host = u"srv", .Porta = 81}},
        FileCase{"MixedCaseSection", "[Codigo]\ntipo=P\n", {.Tipo = u"P"}},
        FileCase{"DoubleQuotes", "[CONEXAO]\nHost=\"10.0.0.5\"\n", {.Host = u"10.0.0.5"}},
        FileCase{
            "SingleQuotesKeepInnerBlanks", "[CONEXAO]\nBanco=' loja 1 '\n", {.Banco = u" loja 1 "}},
        FileCase{"OnlyOnePairOfQuotesGoes", "[CONEXAO]\nHost=\"'srv'\"\n", {.Host = u"'srv'"}},
        FileCase{"UnmatchedQuotesStay",
                 "[CONEXAO]\nHost=\"srv'\nBanco=\"abc\n",
                 {.Host = u"\"srv'", .Banco = u"\"abc"}},
        FileCase{"BlanksAroundKeyAndValue",
                 "  [ CONEXAO ]  \n \t Host \t=  srv a  \r\n",
                 {.Host = u"srv a"}},
        FileCase{"TextAfterTheFirstEquals", "[CONEXAO]\nBanco=a=b\n", {.Banco = u"a=b"}},
        FileCase{"KeyCaseTipoValueKept", "[CODIGO]\nTipo=t\n", {.Tipo = u"t"}},
        FileCase{"CommentsAndLinesWithoutEquals",
                 "; Host=a\n[CONEXAO]\n# Host=b\n;Porta=1\nHost\nPorta 81\n",
                 {}},
        FileCase{"KeysBeforeAnySectionAreIgnored", "Host=x\n[CONEXAO]\nPorta=81\n", {.Porta = 81}},
        FileCase{"OtherSectionsAndKeysAreIgnored",
                 "[OUTRA]\nHost=x\n[CODIGO]\nHost=y\nExtra=1\n[CONEXAO]\nTimeout=5\n",
                 {}},
        FileCase{"FirstOccurrenceWins",
                 "[CONEXAO]\nPorta=81\nPorta=82\n[CONEXAO]\nPorta=83\n",
                 {.Porta = 81}},
        FileCase{"UnclosedSectionLineIsIgnored", "[CONEXAO]\n[CODIGO\nPorta=81\n", {.Porta = 81}},
        FileCase{"Utf8ByteOrderMark",
                 "\xEF\xBB\xBF[CONEXAO]\nBanco=S\xC3\xA3o Jo\xC3\xA3o\n",
                 {.Banco = u"São João"}},
        FileCase{"Windows1252Fallback",
                 "[CONEXAO]\r\nBanco=S\xE3o Jo\xE3o \x80\r\n",
                 {.Banco = u"São João €"}},
        // Surrogates written in UTF-8 are not valid UTF-8: the bytes are Windows-1252.
        FileCase{
            "EncodedSurrogateIsNotUtf8", "[CONEXAO]\nBanco=\xED\xA0\x80\n", {.Banco = u"í\u00A0€"}},
        FileCase{"LastLineWithoutLineEnd", "[CONEXAO]\nPorta=81", {.Porta = 81}},
        // Only the first 64 KiB are read, and a line cut there is dropped whole: no
        // "Porta=80" from "Porta=8080", and no half "ã" that would make the file look
        // like Windows-1252.
        FileCase{"OnlyTheFirst64KiBAreRead",
                 filePaddedTo("[CONEXAO]\nBanco=S\xC3\xA3o\n", kReadLimit - 4,
                              "Porta=8080\nHost=n\xC3\xA3o\nUsuario=7\n"),
                 {.Banco = u"São"}},
        FileCase{"ALineCutInsideACharacter",
                 filePaddedTo("[CONEXAO]\nBanco=S\xC3\xA3o\n", kReadLimit - 6, "Host=\xC3\xA3\n"),
                 {.Banco = u"São"}},
        FileCase{"AFileOfExactly64KiBIsReadWhole",
                 filePaddedTo("[CONEXAO]\n", kReadLimit - 8, "Porta=81"),
                 {.Porta = 81}},
        FileCase{"A10MegabyteFileGivesTheValuesOfItsStart",
                 filePaddedTo("[CONEXAO]\nPorta=81\n", 10'500'000, "Usuario=7\n"),
                 {.Porta = 81}}),
    [](const testing::TestParamInfo<FileCase>& param) { return std::string(param.param.name); });

TEST(ReadKioskSettingsFile, MissingFileGivesTheDefaultsAndCreatesNothing) {
  const TemporaryFolder folder;
  const std::filesystem::path file = folder.path() / "ini" / "config-check.ini";
  EXPECT_EQ(readKioskSettings(file), (KioskSettings{u"T", 4, u"localhost", u"quorvel", 9000, 1}));
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(ReadKioskSettingsFile, FolderInPlaceOfTheFileGivesTheDefaults) {
  const TemporaryFolder folder;
  EXPECT_EQ(readKioskSettings(folder.path()), KioskSettings{});
}

TEST(SettingsFilePath, IsIniConfigCheckBesideTheExecutable) {
  const TemporaryFolder folder;
  setExecutableDirOverride(folder.path());
  const std::filesystem::path path = settingsFilePath();
  writeFile(folder.path() / "ini" / "config-check.ini", "[CONEXAO]\nPorta=81\n");
  const KioskSettings settings = readKioskSettings(path);
  setExecutableDirOverride({});
  EXPECT_EQ(path, folder.path() / "ini" / "config-check.ini");
  EXPECT_EQ(settings.Porta, 81);
}

TEST(ReadSettingsInteger, AcceptsTheIntegerFormsWithinThirtyTwoBits) {
  struct Case {
    std::u16string text;
    std::optional<std::int32_t> expected;
  };
  const Case cases[] = {
      {u"0", 0},
      {u"9000", 9000},
      {u"-5", -5},
      {u"+12", 12},
      {u"   +12", 12},
      {u"\t7", 7},
      {u"007", 7},
      {u"0x2329", 9001},
      {u"0X2329", 9001},
      {u"0xff", 255},
      {u"0x7FFFFFFF", 2147483647},
      {u"$FF", 255},
      {u"$ff", 255},
      {u"-$10", -16},
      {u"x1A", 26},
      {u"X1a", 26},
      {u" -x10", -16},
      {u"2147483647", 2147483647},
      {u"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {u"-$80000000", std::numeric_limits<std::int32_t>::min()},
      {u"00000000000000000000012", 12},
      // Not integers, or outside the range.
      {u"", {}},
      {u" ", {}},
      {u"abc", {}},
      {u"12 ", {}},
      {u"1.5", {}},
      {u"1e3", {}},
      {u"+", {}},
      {u"-", {}},
      {u"$", {}},
      {u"x", {}},
      {u"0x", {}},
      {u"0x-5", {}},
      {u"0x 5", {}},
      {u"0xG", {}},
      {u"-0x10", {}},
      {u"+-1", {}},
      {u"2147483648", {}},
      {u"-2147483649", {}},
      {u"4294967296", {}},
      {u"99999999999999999999999", {}},
      {u"0x80000000", {}},
      {u"$FFFFFFFF", {}},
      {u"$80000000", {}},
      {u"１２", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readSettingsInteger(c.text), c.expected) << testing::PrintToString(c.text);
  }
}

}  // namespace
}  // namespace varnok
