// The navigation tree: OpenNode grows the host's tree view from the XNav
// rows one level at a time and composes the opened node's page;
// PruneSiblings strips the other nodes of the opened node's level of their
// children; RoleAllowed and NodeColour are its two rules.
//
// Every node carries a tag "ID»kind" naming the XNav row that governs it,
// and a unique key: "ID»fixed" for a node made from a row, "record
// key»variable»N", "»tree»N" or "»treeleaf»N" for a node made from a record
// (N: the number of nodes the tree view held before the add). The part
// before the first "»" is what the "lkey" and "skey" parameters pass on.
#include "zarel/engine/navigation_tree.h"

#include <string>

#include "zarel/base/ascii_text.h"
#include "zarel/engine/clsdb_impl.h"
#include "zarel/engine/engine_text.h"
#include "zarel/engine/query_parameters.h"
#include "zarel/engine/site_columns.h"

namespace zarel {

using namespace engine_text;

namespace {

constexpr const char* kReadFailure = "Error Reading Data From Database";

// What the nodes made from records look like: their image, and the row ID
// and kind text of their tags.
struct NodeTemplate {
  Variant image{std::int16_t{1}};
  std::int32_t id = 0;
  std::string kind;
};

// Whether a column holding an ID (column 0 or 3) names the given ID. An
// empty column names none.
bool NamesId(const Variant& column, std::int16_t id) {
  if (column.IsNull() || column.IsEmpty()) return false;
  if (column.Type() == VarType::kString && TrimBlanks(column.AsString()).empty()) return false;
  return ValuesEqual(column, Variant(id));
}

// The first letter of a kind text in lower case, or 0 for an empty one.
char KindLetter(std::string_view kind) {
  if (kind.empty()) return '\0';
  const char letter = kind.front();
  return LowerAsciiChar(letter);
}

// The image of the nodes made from a row: column 6, with Null and 0
// meaning 1.
Variant RowImage(const Array2D& rows, std::size_t row) {
  const std::int16_t image = NullToInteger(rows.At(nav_column::kImage, row));
  return Variant(image == 0 ? std::int16_t{1} : image);
}

NodeTemplate TemplateOf(const Array2D& rows, std::size_t row) {
  NodeTemplate made;
  made.image = RowImage(rows, row);
  made.id = rows.At(nav_column::kId, row).ToLong();
  // A Null kind text cannot make a tag (94).
  made.kind = rows.At(nav_column::kKind, row).ToText();
  return made;
}

// The row that governs a node: the first row whose ID is the node's. An ID
// without a row refuses the node (9): using some other row in its place
// would open the node with a stranger's roles, procedure and page.
std::size_t FindNodeRow(const Array2D& rows, std::int16_t id) {
  for (std::size_t row = 0; row < rows.Rows(); ++row) {
    if (NamesId(rows.At(nav_column::kId, row), id)) return row;
  }
  if (rows.Rows() == 0) Raise(errc::kSubscriptOutOfRange);
  Raise(errc::kSubscriptOutOfRange, "No XNav row has the ID " + std::to_string(id));
}

// The engine at work on one node.
class NodeOpening {
 public:
  NodeOpening(clsDB::Impl& engine, TreeNodeRef node)
      : engine_(engine),
        rows_(engine.nav_rows_),
        tree_(Require(engine.tree_view_)),
        node_(std::move(node)) {}

  // Opens the node by the kind text of its tag; false when a role test
  // refused it or a query failed, so that the node is not scrolled into
  // view.
  bool Open(std::int16_t id, const std::string& kind) {
    switch (KindLetter(kind)) {
      case 'f':
        return OpenFixed(id);
      case 'v':
        return OpenVariable(id);
      case 't':
        return OpenTree(id);
      case 'l':
        return OpenLeaf(id);
      default:
        return true;
    }
  }

 private:
  // Finds the node's row and tests its role list; false when refused.
  bool AdmitRow(std::int16_t id, std::size_t& row) {
    row = FindNodeRow(*rows_, id);
    return RoleAllowed(rows_->At(nav_column::kRoles, row).TextOrEmpty(), engine_.user_role_);
  }

  std::int32_t PageId(std::size_t row) const { return rows_->At(nav_column::kId, row).ToLong(); }

  // "EXEC " with the row's procedure and the argument text of its keyword.
  std::string ProcedureSql(std::size_t row) const {
    return "EXEC " + rows_->At(nav_column::kProcedure, row).TextOrEmpty() +
           engine_.ApplyQueryParameters(rows_->At(nav_column::kParameter, row).TextOrEmpty());
  }

  // Runs the query into the working recordset; false (after the message)
  // when the data gate got nothing.
  bool Fetch(const std::string& sql) {
    if (engine_.FetchRecordset(sql, engine_.working_recordset_)) return true;
    engine_.ZarelMessage(kReadFailure);
    return false;
  }

  // Adds the node, then gives it its tag and colour from the kind text. A
  // Null kind text cannot make a tag (94): the node is in the tree by then
  // and stays there.
  TreeNodeRef AddChild(const std::string& key, const std::string& text, const Variant& image,
                       const std::string& tag_id, const Variant& kind_text) {
    engine_.last_added_node_ = tree_.Nodes().Add(node_, kTreeChild, key, text, image);
    TreeNode& added = Require(engine_.last_added_node_);
    const std::string kind = kind_text.ToText();
    added.Tag(tag_id + std::string(kTagSeparator) + kind);
    added.ForeColor(NodeColour(kind).ToLong());
    return engine_.last_added_node_;
  }

  // One child per record of the working recordset, when the node had no
  // children; the key is the record's first field, the word and the node
  // count before the add.
  void AddRecordChildren(const NodeTemplate& made, std::string_view word) {
    Recordset& records = Require(engine_.working_recordset_);
    const std::string tag_id = std::to_string(made.id);
    while (!records.Eof()) {
      if (engine_.no_children_) {
        const std::string key = records.Fields()[0].Value().TextOrEmpty() + std::string(word) +
                                std::to_string(tree_.Nodes().Count());
        const std::string text = records.Fields()[1].Value().TextOrEmpty();
        AddChild(key, text, made.image, tag_id, Variant(made.kind));
      }
      records.MoveNext();
    }
  }

  bool OpenFixed(std::int16_t id) {
    std::size_t row = 0;
    if (!AdmitRow(id, row)) return false;
    const std::int32_t page = PageId(row);
    if (engine_.no_children_) {
      for (std::size_t child = 0; child < rows_->Rows(); ++child) {
        if (!NamesId(rows_->At(nav_column::kParent, child), id)) continue;
        const std::string child_id = rows_->At(nav_column::kId, child).ToText();
        AddChild(child_id + std::string(kTagSeparator) + "fixed",
                 rows_->At(nav_column::kCaption, child).TextOrEmpty(), RowImage(*rows_, child), child_id,
                 rows_->At(nav_column::kKind, child));
      }
    }
    node_->Expanded(true);
    engine_.ComposePage(page);
    return true;
  }

  bool OpenVariable(std::int16_t id) {
    std::size_t row = 0;
    if (!AdmitRow(id, row)) return false;
    const std::int32_t page = PageId(row);
    const std::string sql = ProcedureSql(row);
    // The first row beneath the node shapes its record children.
    NodeTemplate made;
    for (std::size_t child = 0; child < rows_->Rows(); ++child) {
      if (NamesId(rows_->At(nav_column::kParent, child), id)) {
        made = TemplateOf(*rows_, child);
        break;
      }
    }
    if (!Fetch(sql)) return false;
    AddRecordChildren(made, "\xC2\xBBvariable\xC2\xBB");
    node_->Expanded(true);
    engine_.ComposePage(page);
    return true;
  }

  bool OpenTree(std::int16_t id) {
    std::size_t row = 0;
    if (!AdmitRow(id, row)) return false;
    const std::int32_t page = PageId(row);
    const std::string sql = ProcedureSql(row);
    // Every record child is again a tree node of the same row.
    const NodeTemplate made = TemplateOf(*rows_, row);
    if (!Fetch(sql)) return false;
    AddRecordChildren(made, "\xC2\xBBtree\xC2\xBB");
    node_->Expanded(true);
    engine_.ComposePage(page);

    // The leaf rows beneath the row add their records under every opened
    // node of the tree.
    for (std::size_t leaf = 0; leaf < rows_->Rows(); ++leaf) {
      if (KindLetter(rows_->At(nav_column::kKind, leaf).TextOrEmpty()) != 'l') continue;
      if (!NamesId(rows_->At(nav_column::kParent, leaf), id)) continue;
      const NodeTemplate leaf_made = TemplateOf(*rows_, leaf);
      if (rows_->At(nav_column::kProcedure, leaf).TextOrEmpty().empty()) continue;
      if (!Fetch(ProcedureSql(leaf))) return false;
      AddRecordChildren(leaf_made, "\xC2\xBBtreeleaf\xC2\xBB");
      node_->Expanded(true);
    }
    return true;
  }

  bool OpenLeaf(std::int16_t id) {
    std::size_t row = 0;
    if (!AdmitRow(id, row)) return false;
    engine_.ComposePage(PageId(row));
    return true;
  }

  clsDB::Impl& engine_;
  // The rows this opening works on, held even if a host's handler reloads
  // the site tables meanwhile.
  std::shared_ptr<const Array2D> rows_;
  TreeView& tree_;
  TreeNodeRef node_;
};

}  // namespace

bool RoleAllowed(std::string_view role_list, std::int16_t user_role) {
  if (role_list.empty()) return true;
  const Variant role(user_role);
  std::size_t start = 0;
  while (true) {
    const std::size_t colon = role_list.find(':', start);
    const std::string_view item =
        role_list.substr(start, colon == std::string_view::npos ? std::string_view::npos
                                                                : colon - start);
    if (ValuesEqual(Variant(item), role)) return true;
    if (colon == std::string_view::npos) return false;
    start = colon + 1;
  }
}

Variant NodeColour(std::string_view kind) {
  switch (KindLetter(kind)) {
    case 'f':
      return Variant(kFixedColour);
    case 'v':
      return Variant(kVariableColour);
    case 't':
      return Variant(kTreeColour);
    default:
      return Variant(kOtherColour);
  }
}

void clsDB::Impl::OpenNode(TreeNodeRef& node) {
  try {
    TreeNode& opened = Require(node);
    no_children_ = opened.Children() == 0;

    // The tag: the governing row's ID, "»", the kind text.
    const std::string tag = opened.Tag();
    const std::size_t separator = tag.find(kTagSeparator);
    if (separator == std::string::npos) Raise(errc::kSubscriptOutOfRange);
    const std::int16_t id = Variant(tag.substr(0, separator)).ToInteger();
    const std::string kind(
        FirstPart(std::string_view(tag).substr(separator + kTagSeparator.size()), kTagSeparator));

    PruneSiblings();
    NodeOpening opening(*this, node);
    if (opening.Open(id, kind)) opened.EnsureVisible();
  } catch (...) {
    const RuntimeError error = CurrentError();
    if (error.Number() != 0 && talking_) ZarelMessage(ErrorText("Error: ", error));
  }
}

// Strips every other node of the selected node's level of its children;
// the selected node keeps its own. A step that fails is skipped.
void clsDB::Impl::PruneSiblings() {
  TreeNodeRef selected;
  TreeNodeRef sibling;
  TreeNodeRef last;
  try {
    selected = Require(tree_view_).SelectedItem();
    sibling = Require(selected).FirstSibling();
    last = selected->LastSibling();
  } catch (...) {
    return;
  }
  TreeNodes& nodes = tree_view_->Nodes();
  const auto strip = [&nodes](const TreeNodeRef& other) {
    try {
      while (other->Children() > 0) nodes.Remove(other->Child()->Index());
    } catch (...) {
      // A node that cannot be stripped keeps its children.
    }
  };
  while (sibling) {
    if (sibling != selected) strip(sibling);
    if (sibling == last) break;
    try {
      sibling = sibling->Next();
    } catch (...) {
      break;
    }
  }
}

}  // namespace zarel
