#include "varnok/platform.h"

#include <ctime>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <stdexcept>
#include <system_error>
#include <utility>

namespace varnok {
namespace {

std::filesystem::path& executableDirOverride() {
  static std::filesystem::path dir;
  return dir;
}

std::function<LocalDateTime()>& clockOverride() {
  static std::function<LocalDateTime()> clock;
  return clock;
}

// The folder of the running program as the kernel knows it. Linux publishes the
// executable's path as the symbolic link /proc/self/exe.
std::filesystem::path runningExecutableDir() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    throw std::system_error(error, "cannot locate the executable");
  }
  return exe.parent_path();
}

LocalDateTime systemLocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace

std::filesystem::path executableDir() {
  if (!executableDirOverride().empty()) {
    return executableDirOverride();
  }
  // The executable does not move while it runs, so one lookup serves the whole run.
  static const std::filesystem::path dir = runningExecutableDir();
  return dir;
}

void setExecutableDirOverride(std::filesystem::path dir) {
  executableDirOverride() = std::move(dir);
}

LocalDateTime localNow() {
  if (clockOverride()) {
    return clockOverride()();
  }
  return systemLocalNow();
}

void setClock(std::function<LocalDateTime()> clock) {
  clockOverride() = std::move(clock);
}

void returnLargeBlocksToSystem() {
#if defined(__GLIBC__)
  // Fixed figures turn the raising off: blocks of 256 KiB and more are mapped on their
  // own and unmapped when freed, and a free top of the heap over 1 MiB is given back.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
#endif
}

}  // namespace varnok
