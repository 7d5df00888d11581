// The main of every test binary: pins the time zone and locale so that
// dates and numbers format the same everywhere.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
  setenv("TZ", "UTC", 1);
  setenv("LC_ALL", "C", 1);
  tzset();
  std::setlocale(LC_ALL, "C");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
