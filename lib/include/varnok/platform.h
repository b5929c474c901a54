// The few operating-system services the kiosk needs, behind functions of our own so
// that the rest of the code stays portable and tests can pin them down.
#pragma once

#include <filesystem>
#include <functional>

namespace varnok {

// The folder that holds the running executable (ini/ and Log/ live beside it).
std::filesystem::path executableDir();
// Tests point the program at a temporary folder instead; an empty path undoes it.
void setExecutableDirOverride(std::filesystem::path dir);

// A local calendar date and wall-clock time, as the screen and the log show it.
struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to 31
  int hour = 0;   // 0 to 23
  int minute = 0;
  int second = 0;
  bool operator==(const LocalDateTime&) const = default;
};

// The current local date and time; every reading of the clock goes through here.
LocalDateTime localNow();
// Replaces the clock (tests); an empty function restores the system clock.
void setClock(std::function<LocalDateTime()> clock);

// Makes freed memory go back to the operating system. One reply can need hundreds of
// megabytes for a moment; by default glibc raises the size from which blocks get pages
// of their own each time such a block is freed, so that the next large blocks land in
// the heap and stay with the process after they are freed. Called once at start.
void returnLargeBlocksToSystem();

}  // namespace varnok
