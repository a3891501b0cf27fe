// Tests of the names of the tree's picture files: the order tried, and the
// image texts that name no file because they could reach outside the
// application folder.
#include "zarel/hostkit/tree_images.h"

#include <gtest/gtest.h>

namespace zarel {
namespace {

TEST(TreeImagesTest, PlainNamesOnly) {
  EXPECT_EQ(TreeImageFileNames("1"),
            std::vector<std::string>({"tree1.png", "tree1.gif", "tree1.svg", "tree1.jpg"}));
  EXPECT_EQ(TreeImageFileNames("Net").front(), "treeNet.png");
  EXPECT_EQ(TreeImageFileNames("a_b-2").size(), 4u);
  EXPECT_EQ(TreeImageFileNames(std::string(64, 'x')).size(), 4u);
  for (const char* refused :
       {"", "../1", "/etc/x", "a/b", "a\\b", "..", ".", "a b", "1.gif", "x\n", "caf\xC3\xA9"}) {
    SCOPED_TRACE(refused);
    EXPECT_TRUE(TreeImageFileNames(refused).empty());
  }
  EXPECT_TRUE(TreeImageFileNames(std::string(65, 'x')).empty());
  EXPECT_TRUE(TreeImageFileNames(std::string("a\0b", 3)).empty());
}

}  // namespace
}  // namespace zarel
