// The session's tree as JSON (see serve_tree_json.h).
#include "apps/serve/serve_tree_json.h"


#include "apps/serve/serve_json.h"

namespace zarel::serve {

namespace {

bool SameNode(const std::weak_ptr<TreeNode>& known, const TreeNodeRef& node) {
  return !known.owner_before(node) && !node.owner_before(known);
}

}  // namespace

void AppendHtmlColour(std::string& out, std::int32_t colour) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto value = static_cast<std::uint32_t>(colour);
  out += '#';
  for (const std::uint32_t part : {value & 0xFFu, (value >> 8) & 0xFFu, (value >> 16) & 0xFFu}) {
    out += kHex[part >> 4];
    out += kHex[part & 0xFu];
  }
}

std::string HtmlColour(std::int32_t colour) {
  std::string text;
  AppendHtmlColour(text, colour);
  return text;
}

void TreeNodeIds::Describe(const HeadlessTreeView& tree, const ImageUrl& image_url, std::string& out) {
  ++walk_;
  out += '[';
  // open: the nodes whose children are being written; first: nothing has
  // been written yet in the innermost list.
  std::size_t open = 0;
  bool first = true;
  tree.Walk([&](const TreeNodeRef& node, int depth) {
    for (; open > static_cast<std::size_t>(depth); --open) {
      out += "]}";
      first = false;
    }
    if (!first) out += ',';
    const auto [known, added] = by_node_.try_emplace(node.get());
    Entry& entry = known->second;
    if (added || !SameNode(entry.node, node)) {
      if (!added) by_id_.erase(entry.id);
      entry.node = node;
      entry.id = next_id_++;
      by_id_[entry.id] = node.get();
    }
    entry.walk = walk_;
    const std::string image = node->Image().TextOrEmpty();
    const std::string& url = image_url(image);
    out += "{\"id\":";
    out += std::to_string(entry.id);
    out += ",\"text\":";
    AppendJsonString(out, node->Text());
    out += ",\"key\":";
    AppendJsonString(out, node->Key());
    out += ",\"tag\":";
    AppendJsonString(out, node->Tag());
    out += ",\"image\":";
    AppendJsonString(out, image);
    out += ",\"imageUrl\":";
    if (url.empty()) {
      out += "null";
    } else {
      AppendJsonString(out, url);
    }
    out += ",\"color\":\"";
    AppendHtmlColour(out, node->ForeColor());
    out += node->Expanded() ? "\",\"expanded\":true" : "\",\"expanded\":false";
    out += node->Selected() ? ",\"selected\":true" : ",\"selected\":false";
    out += ",\"children\":[";
    ++open;
    first = true;
  });
  for (; open > 0; --open) out += "]}";
  out += ']';
  // Nodes this walk did not see are gone from the tree: forget them.
  for (auto it = by_node_.begin(); it != by_node_.end();) {
    if (it->second.walk == walk_) {
      ++it;
    } else {
      by_id_.erase(it->second.id);
      it = by_node_.erase(it);
    }
  }
}

TreeNodeRef TreeNodeIds::Find(std::int64_t id) const {
  const auto found = by_id_.find(id);
  if (found == by_id_.end()) return TreeNodeRef();
  return by_node_.at(found->second).node.lock();
}

}  // namespace zarel::serve
