// The GTK tests need a display; the test runner gives each run its own.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    std::fputs("These tests need an X display (run them through tests/x_run.sh).\n", stderr);
    return 1;
  }
  return RUN_ALL_TESTS();
}
