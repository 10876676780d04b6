// The list every real combo box keeps beside its native one: full at 32,767
// entries, as the address history needs it to be (it drops its oldest entry
// when the list is full, and only then).
#include <gtest/gtest.h>

#include <string>

#include "platform/ports/failure.h"
#include "platform/kit/list_entries.h"

namespace corvane {
namespace {

TEST(ListEntries, TakesEntriesUpTo32767AndNoMore) {
  ListEntries list;
  for (int i = 0; i < ListEntries::kMax - 1; ++i) {
    list.Insert(list.Size(), std::to_string(i));
  }
  ASSERT_EQ(list.Count(), 32766);
  EXPECT_NO_THROW(list.CheckInsert(-1));  // the last place there is
  EXPECT_NO_THROW(list.CheckInsert(0));
  list.Insert(0, "newest");
  ASSERT_EQ(list.Count(), 32767);
  EXPECT_THROW(list.CheckInsert(-1), Failure);
  EXPECT_THROW(list.CheckInsert(0), Failure);
  EXPECT_NO_THROW(list.CheckIndex(32766));
  EXPECT_THROW(list.CheckIndex(32767), Failure);
  list.Erase(32766);  // the history drops its oldest: room for one again
  EXPECT_NO_THROW(list.CheckInsert(0));
  EXPECT_EQ(list.At(0), "newest");
  EXPECT_EQ(list.At(32765), "32764");
}

}  // namespace
}  // namespace corvane
