// Tests of the names of the tree's picture files: the order tried, and the
// image texts that name no file because they could reach outside the
// application folder; and a node's colour as HTML writes it.
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

// ForeColor is blue-green-red: its low byte is the red of "#rrggbb".
TEST(TreeImagesTest, NodeColoursAsHtml) {
  const std::vector<std::pair<std::int32_t, std::string>> cases = {
      {0, "#000000"},          {0x0000FF, "#ff0000"},   {0x00FF00, "#00ff00"},
      {0xFF0000, "#0000ff"},   {0x123456, "#563412"},   {-1, "#ffffff"},
      {0x0A0B0C, "#0c0b0a"},
      {0x7F000080, "#800000"},  // the high byte (a system colour flag) is not a colour
  };
  for (const auto& [colour, html] : cases) {
    EXPECT_EQ(HtmlColour(colour), html) << colour;
    std::string out = "x";
    AppendHtmlColour(out, colour);
    EXPECT_EQ(out, "x" + html);
  }
}

}  // namespace
}  // namespace zarel
