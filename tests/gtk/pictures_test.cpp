// Where the GTK front end finds its pictures.
#include <gtest/gtest.h>

#include "platform/gtk/pictures.h"

namespace corvane::gtk {
namespace {

TEST(Pictures, AMissingOrMalformedNameResolvesToNothing) {
  EXPECT_EQ(PicturePath("no_such_picture"), "");
  EXPECT_EQ(PicturePath(""), "");
  EXPECT_EQ(PicturePath("../CMakeLists"), "");
  EXPECT_EQ(PicturePath("a/b"), "");
}

}  // namespace
}  // namespace corvane::gtk
