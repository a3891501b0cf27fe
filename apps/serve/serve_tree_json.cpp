// The session's tree as JSON (see serve_tree_json.h).
#include "apps/serve/serve_tree_json.h"

#include <cstdio>
#include <vector>

namespace zarel::serve {

using nlohmann::json;

std::string HtmlColour(std::int32_t colour) {
  const auto value = static_cast<std::uint32_t>(colour);
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", value & 0xFFu, (value >> 8) & 0xFFu,
                (value >> 16) & 0xFFu);
  return text;
}

json TreeNodeIds::Describe(const HeadlessTreeView& tree, const ImageUrl& image_url) {
  std::unordered_map<const TreeNode*, Entry> seen;
  std::unordered_map<std::int64_t, std::weak_ptr<TreeNode>> ids;
  json roots = json::array();
  // open[d] is the node of depth d whose children are being collected.
  std::vector<json> open;
  const auto close_to = [&](std::size_t depth) {
    while (open.size() > depth) {
      json done = std::move(open.back());
      open.pop_back();
      (open.empty() ? roots : open.back()["children"]).push_back(std::move(done));
    }
  };
  tree.Walk([&](const TreeNodeRef& node, int depth) {
    close_to(static_cast<std::size_t>(depth));
    std::int64_t id = 0;
    const auto known = by_node_.find(node.get());
    if (known != by_node_.end() && known->second.node.lock() == node) {
      id = known->second.id;
    } else {
      id = next_id_++;
    }
    seen[node.get()] = Entry{node, id};
    ids[id] = node;
    const std::string image = node->Image().TextOrEmpty();
    open.push_back(json{{"id", id},
                        {"text", node->Text()},
                        {"key", node->Key()},
                        {"tag", node->Tag()},
                        {"image", image},
                        {"imageUrl", image_url(image)},
                        {"color", HtmlColour(node->ForeColor())},
                        {"expanded", node->Expanded()},
                        {"selected", node->Selected()},
                        {"children", json::array()}});
  });
  close_to(0);
  by_node_ = std::move(seen);
  by_id_ = std::move(ids);
  return roots;
}

TreeNodeRef TreeNodeIds::Find(std::int64_t id) const {
  const auto found = by_id_.find(id);
  return found == by_id_.end() ? TreeNodeRef() : found->second.lock();
}

}  // namespace zarel::serve
