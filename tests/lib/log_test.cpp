#include "varnok/log.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

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
                    LineCase{u"中文 😀", "09/12/2025 14:03:27 - ?? ?\r\n"},
                    // Up to the limit a message is written whole; past it, cut with the
                    // number of characters left out. A surrogate pair is one character.
                    LineCase{
                        std::u16string(kLogMessageLimit, u'a'),
                        "09/12/2025 14:03:27 - " + std::string(kLogMessageLimit, 'a') + "\r\n"},
                    LineCase{std::u16string(kLogMessageLimit, u'a') + u"bc",
                             "09/12/2025 14:03:27 - " + std::string(kLogMessageLimit, 'a') +
                                 " [... 2 caracteres omitidos]\r\n"},
                    LineCase{std::u16string(kLogMessageLimit - 1, u'a') + u"😀b😀\r\n",
                             "09/12/2025 14:03:27 - " + std::string(kLogMessageLimit - 1, 'a') +
                                 "? [... 4 caracteres omitidos]\r\n"}));

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

// The notice line as the file holds it.
std::string noticeLine() {
  return "09/12/2025 14:03:27 - Limite de 10485760 bytes do arquivo de log do dia atingido; as "
         "mensagens seguintes deste dia n\xE3o ser\xE3o gravadas\r\n";
}

// The day's file stops at its limit: a line that would not leave room for the notice
// is replaced by it, and after the notice nothing more is written, also no short line.
TEST_F(LogErrorTest, TheDaysFileStopsGrowingAtItsLimitWithANotice) {
  fs::create_directory(logDir());
  const std::string line = "09/12/2025 14:03:27 - cabe\r\n";
  // Sparse, so the test writes no 10 MB.
  writeBytes(ninthFile(), "");
  fs::resize_file(ninthFile(), kLogDayFileLimit - noticeLine().size() - line.size());
  LogError(u"cabe");
  EXPECT_EQ(fs::file_size(ninthFile()), kLogDayFileLimit - noticeLine().size());
  LogError(u"x");
  LogError(u"y");
  LogError(std::u16string(kLogMessageLimit * 2, u'z'));
  EXPECT_EQ(fs::file_size(ninthFile()), kLogDayFileLimit);
  const std::string bytes = readBytes(ninthFile());
  EXPECT_EQ(bytes.substr(bytes.size() - line.size() - noticeLine().size()), line + noticeLine());
}

TEST_F(LogErrorTest, ALongLineNearTheLimitGivesTheNoticeAndTheNextDayStartsAfresh) {
  fs::create_directory(logDir());
  writeBytes(ninthFile(), "");
  fs::resize_file(ninthFile(), kLogDayFileLimit - 3000);
  LogError(std::u16string(kLogMessageLimit * 2, u'z'));
  LogError(u"curta");
  const std::string bytes = readBytes(ninthFile());
  EXPECT_EQ(bytes.size(), kLogDayFileLimit - 3000 + noticeLine().size());
  EXPECT_EQ(bytes.substr(kLogDayFileLimit - 3000), noticeLine());

  setTimes({{2025, 12, 10, 8, 0, 0}});
  LogError(u"novo dia");
  EXPECT_EQ(readBytes(logDir() / "Erro_10-12-2025.txt"), "10/12/2025 08:00:00 - novo dia\r\n");
}

// A folder that cannot be made is reported by its own cause, not as the missing folder
// that opening the file then meets. Root may write anywhere, so the call runs in a
// child process that has given up root.
TEST_F(LogErrorTest, AFolderThatCannotBeMadeIsReportedByItsCause) {
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  int channel[2];
  ASSERT_EQ(pipe(channel), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(channel[0]);
    std::string outcome = "no error";
    if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
      outcome = "cannot drop root";
    } else {
      try {
        LogError(u"perdida");
      } catch (const InputOutputError& error) {
        outcome = error.what();
      }
    }
    (void)!::write(channel[1], outcome.data(), outcome.size());
    _exit(0);
  }
  ::close(channel[1]);
  std::string outcome;
  char buffer[256];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
    outcome.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(outcome, "Permission denied");
  EXPECT_FALSE(fs::exists(logDir()));
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
