#include "varnok/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "varnok/codepage.h"
#include "varnok/platform.h"
#include "varnok/regional.h"

namespace varnok {
namespace {

[[noreturn]] void raiseSystemError(int error) {
  throw InputOutputError(std::strerror(error));
}

// Not finding our own executable is an input/output error of the log like any other.
std::filesystem::path logFolder() {
  try {
    return executableDir() / "Log";
  } catch (const std::system_error& error) {
    raiseSystemError(error.code().value());
  }
}

// An open log file. Closing is part of writing (a full disk may only show there), so
// close() reports its error; the destructor only cleans up after an earlier failure.
class LogFile {
 public:
  explicit LogFile(const std::filesystem::path& path)
      : fd_(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666)) {
    if (fd_ < 0) {
      raiseSystemError(errno);
    }
  }
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  ~LogFile() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }

  void write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR) {
          continue;
        }
        raiseSystemError(errno);
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
  }

  void close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
      raiseSystemError(errno);
    }
  }

 private:
  int fd_;
};

void appendTwoDigits(std::u16string& text, int value) {
  text.push_back(static_cast<char16_t>(u'0' + value / 10 % 10));
  text.push_back(static_cast<char16_t>(u'0' + value % 10));
}

void appendFourDigits(std::u16string& text, int value) {
  appendTwoDigits(text, value / 100);
  appendTwoDigits(text, value);
}

// "Erro_DD-MM-YYYY.txt": the hyphens are fixed, whatever the regional settings.
std::string fileNameFor(const LocalDateTime& now) {
  std::u16string name = u"Erro_";
  appendTwoDigits(name, now.day);
  name.push_back(u'-');
  appendTwoDigits(name, now.month);
  name.push_back(u'-');
  appendFourDigits(name, now.year);
  name += u".txt";
  return toWindows1252(name);
}

// "dd/mm/yyyy hh:mm:ss - " + message + CR LF, with the regional separators.
std::u16string lineFor(const LocalDateTime& now, std::u16string_view message) {
  const RegionalSettings& regional = regionalSettings();
  std::u16string line;
  line.reserve(24 + message.size());
  appendTwoDigits(line, now.day);
  line.push_back(regional.dateSeparator);
  appendTwoDigits(line, now.month);
  line.push_back(regional.dateSeparator);
  appendFourDigits(line, now.year);
  line.push_back(u' ');
  appendTwoDigits(line, now.hour);
  line.push_back(regional.timeSeparator);
  appendTwoDigits(line, now.minute);
  line.push_back(regional.timeSeparator);
  appendTwoDigits(line, now.second);
  line += u" - ";
  line += message;
  line += u"\r\n";
  return line;
}

}  // namespace

void LogError(std::u16string_view message) {
  const std::filesystem::path folder = logFolder();
  // Whether the folder could be made is not checked here: opening the file tells.
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);

  LogFile file(folder / fileNameFor(localNow()));
  // The time stamp is a second reading of the clock, taken once the file is open.
  file.write(toWindows1252(lineFor(localNow(), message)));
  file.close();
}

}  // namespace varnok
