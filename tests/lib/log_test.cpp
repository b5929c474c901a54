#include "varnok/log.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "temporary_folder.h"
#include "varnok/platform.h"
#include "varnok/regional.h"

namespace varnok {
namespace {

namespace fs = std::filesystem;

constexpr LocalDateTime kNinthOfDecember{2025, 12, 9, 14, 3, 27};

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Runs every test in a fresh folder that stands for the executable's, with a clock that
// reads the given times in turn (the last one repeats) and "/" ":" separators.
class LogErrorTest : public testing::Test {
 protected:
  void SetUp() override {
    setExecutableDirOverride(dir_);
    setTimes({kNinthOfDecember});
    savedRegional_ = regionalSettings();
    setRegionalSettings({u',', u'/', u':'});
  }
  void TearDown() override {
    setExecutableDirOverride({});
    setClock({});
    setRegionalSettings(savedRegional_);
  }

  void setTimes(std::vector<LocalDateTime> times) {
    setClock([times, next = std::size_t{0}]() mutable {
      const LocalDateTime now = times[std::min(next, times.size() - 1)];
      ++next;
      return now;
    });
  }

  fs::path logDir() const { return dir_ / "Log"; }
  fs::path ninthFile() const { return logDir() / "Erro_09-12-2025.txt"; }

  varnok::test::TemporaryFolder folder_{"varnok-log"};
  const fs::path dir_ = folder_.path();
  RegionalSettings savedRegional_;
};

TEST_F(LogErrorTest, FirstCallCreatesTheFolderAndTheDaysFile) {
  ASSERT_FALSE(fs::exists(logDir()));
  LogError(u"falha");
  EXPECT_TRUE(fs::is_directory(logDir()));
  EXPECT_EQ(readBytes(ninthFile()), "09/12/2025 14:03:27 - falha\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(logDir()), fs::directory_iterator()), 1);
}

TEST_F(LogErrorTest, CallsAppendInOrderAfterWhatTheFileHeld) {
  fs::create_directory(logDir());
  writeBytes(ninthFile(), "antes\r\n");
  setTimes({kNinthOfDecember, kNinthOfDecember, {2025, 12, 9, 14, 3, 28}});
  LogError(u"primeira");
  LogError(u"segunda");
  EXPECT_EQ(readBytes(ninthFile()),
            "antes\r\n09/12/2025 14:03:27 - primeira\r\n09/12/2025 14:03:28 - segunda\r\n");
}

struct LineCase {
  std::u16string message;
  std::string line;
};

class LogLine : public LogErrorTest, public testing::WithParamInterface<LineCase> {};

TEST_P(LogLine, IsTheStampAndTheMessageInWindows1252) {
  LogError(GetParam().message);
  EXPECT_EQ(readBytes(ninthFile()), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogLine,
    testing::Values(LineCase{u"", "09/12/2025 14:03:27 - \r\n"},
                    LineCase{u"um\r\ndois\nfim", "09/12/2025 14:03:27 - um\r\ndois\nfim\r\n"},
                    LineCase{u"Erro ao Enviar Solicitação - x",
                             "09/12/2025 14:03:27 - Erro ao Enviar Solicita\xE7\xE3o - x\r\n"},
                    LineCase{u"PRODUTO NÃO LOCALIZADO!!! €",
                             "09/12/2025 14:03:27 - PRODUTO N\xC3O LOCALIZADO!!! \x80\r\n"},
                    LineCase{u"中文 😀", "09/12/2025 14:03:27 - ?? ?\r\n"}));

TEST_F(LogErrorTest, StampUsesTheRegionalSeparatorsButTheFileNameKeepsItsHyphens) {
  setRegionalSettings({u',', u'.', u'.'});
  setTimes({{2025, 1, 2, 3, 4, 5}});
  LogError(u"m");
  EXPECT_EQ(readBytes(logDir() / "Erro_02-01-2025.txt"), "02.01.2025 03.04.05 - m\r\n");
}

TEST_F(LogErrorTest, ACallAfterMidnightWritesANewFileAndLeavesTheOldOne) {
  setTimes({{2025, 12, 9, 23, 59, 59}, {2025, 12, 9, 23, 59, 59}, {2025, 12, 10, 0, 0, 1}});
  LogError(u"antes");
  LogError(u"depois");
  EXPECT_EQ(readBytes(ninthFile()), "09/12/2025 23:59:59 - antes\r\n");
  EXPECT_EQ(readBytes(logDir() / "Erro_10-12-2025.txt"), "10/12/2025 00:00:01 - depois\r\n");
}

// The file is named from one reading of the clock and the line stamped from the next.
TEST_F(LogErrorTest, NameAndStampAreTwoReadingsOfTheClock) {
  setTimes({{2025, 12, 9, 23, 59, 59}, {2025, 12, 10, 0, 0, 0}});
  LogError(u"m");
  EXPECT_EQ(readBytes(ninthFile()), "10/12/2025 00:00:00 - m\r\n");
}

// The failures are made with paths that cannot be used whoever runs the test (root
// ignores permission bits): a file where the folder should be, a folder where the day's
// file should be, and a day's file that is the always-full device.
struct FailureCase {
  std::string name;
  void (*prepare)(const fs::path& exeDir);
  std::string message;
};
void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

// Every path below the folder with the bytes of its regular files, in a fixed order.
std::vector<std::pair<fs::path, std::string>> snapshot(const fs::path& dir) {
  std::vector<std::pair<fs::path, std::string>> entries;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    entries.emplace_back(entry.path(), entry.is_regular_file() ? readBytes(entry.path()) : "");
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

class LogFailure : public LogErrorTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(LogFailure, RaisesTheSystemsDescriptionAndChangesNothing) {
  GetParam().prepare(dir_);
  const auto before = snapshot(dir_);
  try {
    LogError(u"perdida");
    ADD_FAILURE() << "no error raised";
  } catch (const InputOutputError& error) {
    EXPECT_EQ(std::string(error.what()), GetParam().message);
  }
  EXPECT_EQ(snapshot(dir_), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogFailure,
    testing::Values(FailureCase{"FileInPlaceOfTheFolder",
                                [](const fs::path& exeDir) {
                                  writeBytes(exeDir / "Log", "nao e pasta\r\n");
                                },
                                "Not a directory"},
                    FailureCase{"FileUnderAMissingFolderInsideAFile",
                                [](const fs::path& exeDir) {
                                  writeBytes(exeDir / "arquivo", "x");
                                  setExecutableDirOverride(exeDir / "arquivo" / "bin");
                                },
                                "Not a directory"},
                    FailureCase{"FolderInPlaceOfTheFile",
                                [](const fs::path& exeDir) {
                                  fs::create_directories(exeDir / "Log" / "Erro_09-12-2025.txt");
                                },
                                "Is a directory"},
                    FailureCase{"DiskFull",
                                [](const fs::path& exeDir) {
                                  fs::create_directory(exeDir / "Log");
                                  fs::create_symlink("/dev/full",
                                                     exeDir / "Log" / "Erro_09-12-2025.txt");
                                },
                                "No space left on device"}),
    [](const testing::TestParamInfo<FailureCase>& param) { return param.param.name; });

}  // namespace
}  // namespace varnok
