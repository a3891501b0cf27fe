// Findings as text lines and JSON (see site_findings.h).
#include "apps/check/site_findings.h"

namespace zarel::check {

std::string FindingText(const Finding& finding) {
  std::string text;
  if (finding.role) {
    text = "crawl, role " + std::to_string(*finding.role) + ", " + finding.path;
    if (!finding.table.empty()) text += ", " + finding.table + " " + finding.id;
    if (!finding.context.empty()) text += " (" + finding.context + ")";
  } else {
    text = finding.table;
    if (!finding.id.empty()) text += " " + finding.id;
    if (!finding.context.empty()) text += " (" + finding.context + ")";
    if (finding.column) {
      text += ", column " + std::to_string(*finding.column);
      if (!finding.column_name.empty()) text += " (" + finding.column_name + ")";
    }
  }
  text += ": " + finding.problem;
  if (!finding.fix.empty()) text += ". Mend: " + finding.fix;
  if (text.back() != '.') text += ".";
  return text;
}

nlohmann::json FindingJson(const Finding& finding) {
  using nlohmann::json;
  return json{{"check", finding.check},
              {"table", finding.table.empty() ? json(nullptr) : json(finding.table)},
              {"id", finding.id.empty() ? json(nullptr) : json(finding.id)},
              {"context", finding.context.empty() ? json(nullptr) : json(finding.context)},
              {"column", finding.column ? json(*finding.column) : json(nullptr)},
              {"columnName", finding.column_name.empty() ? json(nullptr) : json(finding.column_name)},
              {"problem", finding.problem},
              {"fix", finding.fix.empty() ? json(nullptr) : json(finding.fix)},
              {"role", finding.role ? json(*finding.role) : json(nullptr)},
              {"path", finding.path.empty() ? json(nullptr) : json(finding.path)},
              {"text", FindingText(finding)}};
}

}  // namespace zarel::check
