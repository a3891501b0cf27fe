// How a host draws a tree node: the picture files a site provides for its
// tree's images, and a node's colour as HTML writes it.
//
// A node's Image is an image list index (a number) or a key ("Net"). A host
// that draws the tree shows, for image list entry N, the first of the files
// treeN.png, treeN.gif, treeN.svg, treeN.jpg that exists in the application
// folder (tree1.gif, treeNet.png). Only plain names qualify: letters,
// digits, "_" and "-", at most 64 characters, so an image text can never
// name a file outside the folder.
//
// Threads: pure functions; any thread.
#ifndef ZAREL_HOSTKIT_TREE_IMAGES_H_
#define ZAREL_HOSTKIT_TREE_IMAGES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zarel {

// The file names to try for an image, in order; none for an image text that
// is not a plain name (empty, too long, or holding any other character).
std::vector<std::string> TreeImageFileNames(std::string_view image);

// A node's ForeColor (blue-green-red) as "#rrggbb", returned or appended to
// out.
std::string HtmlColour(std::int32_t colour);
void AppendHtmlColour(std::string& out, std::int32_t colour);

}  // namespace zarel

#endif  // ZAREL_HOSTKIT_TREE_IMAGES_H_
