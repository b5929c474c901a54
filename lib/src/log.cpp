#include "varnok/log.h"

#include <fcntl.h>
#include <sys/stat.h>
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
  // Read access too: near the day's limit the file's end is read back.
  LogFile(const std::filesystem::path& path, const std::error_code& folderError)
      : fd_(::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666)) {
    if (fd_ < 0) {
      // A folder that could not be made shows up here as a missing folder; its own
      // refusal (no permission, read-only disk) is the cause worth reporting.
      const int error = errno;
      raiseSystemError(error == ENOENT && folderError ? folderError.value() : error);
    }
  }
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  ~LogFile() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }

  std::size_t size() const {
    struct stat status {};
    if (::fstat(fd_, &status) != 0) {
      raiseSystemError(errno);
    }
    return static_cast<std::size_t>(status.st_size);
  }

  // Whether the file's last bytes are these.
  bool endsWith(std::string_view tail, std::size_t size) const {
    if (size < tail.size()) {
      return false;
    }
    std::string bytes(tail.size(), '\0');
    const ssize_t got =
        ::pread(fd_, bytes.data(), bytes.size(), static_cast<off_t>(size - tail.size()));
    if (got < 0) {
      raiseSystemError(errno);
    }
    return static_cast<std::size_t>(got) == tail.size() && bytes == tail;
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

bool isHighSurrogate(char16_t c) noexcept {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) noexcept {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// The message, or its first kLogMessageLimit characters and the cut marker. A
// surrogate pair counts as one character and is never split.
std::u16string boundedMessage(std::u16string_view message) {
  std::size_t end = 0;
  std::size_t characters = 0;
  while (end < message.size() && characters < kLogMessageLimit) {
    end += isHighSurrogate(message[end]) && end + 1 < message.size() &&
                   isLowSurrogate(message[end + 1])
               ? 2
               : 1;
    ++characters;
  }
  if (end == message.size()) {
    return std::u16string(message);
  }
  std::size_t leftOut = 0;
  for (std::size_t i = end; i < message.size(); ++i) {
    if (!(isLowSurrogate(message[i]) && isHighSurrogate(message[i - 1]))) {
      ++leftOut;
    }
  }
  return std::u16string(message.substr(0, end)) + logCutMarker(leftOut);
}

// The longest line a call can write: the time stamp, " - ", the cut message, CR LF.
std::size_t longestLineBytes() {
  return lineFor({}, u"").size() + kLogMessageLimit + logCutMarker(SIZE_MAX).size();
}

}  // namespace

std::u16string logCutMarker(std::size_t leftOut) {
  const std::string count = std::to_string(leftOut);
  return u" [... " + std::u16string(count.begin(), count.end()) + u" caracteres omitidos]";
}

void LogError(std::u16string_view message) {
  const std::filesystem::path folder = logFolder();
  // The folder's own error only matters when the file cannot be opened after it.
  std::error_code folderError;
  std::filesystem::create_directories(folder, folderError);

  LogFile file(folder / fileNameFor(localNow()), folderError);
  // The time stamp is a second reading of the clock, taken once the file is open.
  const LocalDateTime now = localNow();
  const std::string line = toWindows1252(lineFor(now, boundedMessage(message)));
  const std::string notice = toWindows1252(lineFor(now, kLogDayLimitNotice));
  const std::size_t size = file.size();
  // Far from the limit no line can pass it; near it, a file that already ends with the
  // notice has stopped growing for the day.
  if (size + longestLineBytes() + notice.size() <= kLogDayFileLimit) {
    file.write(line);
  } else if (!file.endsWith(toWindows1252(u" - " + std::u16string(kLogDayLimitNotice) + u"\r\n"),
                            size)) {
    if (size + line.size() + notice.size() <= kLogDayFileLimit) {
      file.write(line);
    } else if (size + notice.size() <= kLogDayFileLimit) {
      file.write(notice);
    }
  }
  file.close();
}

}  // namespace varnok
