// The PDF tests' helpers.
#include "apps/pdf/pdf_test_support.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <nlohmann/json.hpp>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/Buffer.hh>
#include <sstream>
#include <stdexcept>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zarel::pdf::testing {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zarel-pdf-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string RunTool(const std::vector<std::string>& argv) {
  std::array<int, 2> pipe_ends{};
  if (::pipe2(pipe_ends.data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 1);
  std::vector<char*> words;
  for (const auto& word : argv) words.push_back(const_cast<char*>(word.c_str()));
  words.push_back(nullptr);
  pid_t pid = 0;
  const int failed = ::posix_spawnp(&pid, argv.front().c_str(), &actions, nullptr, words.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_ends[1]);
  std::string out;
  if (failed == 0) {
    std::array<char, 4096> buffer{};
    for (ssize_t got; (got = ::read(pipe_ends[0], buffer.data(), buffer.size())) > 0;)
      out.append(buffer.data(), static_cast<std::size_t>(got));
  }
  ::close(pipe_ends[0]);
  if (failed != 0) throw std::runtime_error("cannot run " + argv.front());
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(argv.front() + " failed");
  return out;
}

void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary);
  out << bytes;
}

std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

namespace {

std::string InfoField(const std::filesystem::path& pdf, const std::string& field) {
  std::istringstream lines(RunTool({PDFINFO, pdf.string()}));
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(field + ":", 0) == 0) return line.substr(line.find_first_not_of(' ', field.size() + 1));
  return {};
}

void DescribeOutline(const nlohmann::json& entries, int depth, std::string& out) {
  for (const auto& entry : entries) {
    out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + entry.value("title", "") + " -> ";
    const auto& page = entry["destpageposfrom1"];
    out += page.is_number() ? std::to_string(page.get<int>()) : "none";
    if (entry.value("open", false) && !entry["kids"].empty()) out += " (open)";
    out += "\n";
    DescribeOutline(entry["kids"], depth + 1, out);
  }
}

}  // namespace

int PageCount(const std::filesystem::path& pdf) { return std::stoi(InfoField(pdf, "Pages")); }

std::string DocumentTitle(const std::filesystem::path& pdf) { return InfoField(pdf, "Title"); }

std::string PageText(const std::filesystem::path& pdf, int page) {
  const auto n = std::to_string(page);
  return RunTool({PDFTOTEXT, "-q", "-f", n, "-l", n, pdf.string(), "-"});
}

std::vector<std::string> pictures(const std::filesystem::path& pdf, int page) {
  const auto n = std::to_string(page);
  std::istringstream lines(RunTool({PDFIMAGES, "-list", "-f", n, "-l", n, pdf.string()}));
  std::vector<std::string> found;
  std::string line;
  std::getline(lines, line);  // the headings
  std::getline(lines, line);  // and a rule under them
  for (int at_page, number, width, height; lines >> at_page >> number;) {
    std::string type;
    lines >> type >> width >> height;
    found.push_back(std::to_string(width) + "x" + std::to_string(height));
    std::getline(lines, line);
  }
  return found;
}

std::string OutlineText(const std::filesystem::path& pdf) {
  const auto json = nlohmann::json::parse(RunTool({QPDF_TOOL, "--json", "--json-key=outlines", pdf.string()}));
  std::string out;
  DescribeOutline(json["outlines"], 0, out);
  return out;
}

std::vector<std::string> SheetPictures(const std::filesystem::path& pdf) {
  TempFolder folder;
  RunTool({PDFTOPPM, "-r", "40", pdf.string(), (folder.path() / "sheet").string()});
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) files.push_back(entry.path());
  std::sort(files.begin(), files.end());  // sheet-01.ppm, sheet-02.ppm, ... (zero-padded)
  std::vector<std::string> sheets;
  for (const auto& file : files) sheets.push_back(ReadBytes(file));
  return sheets;
}

std::string SimplePdf(const std::vector<std::string>& sheet_texts, const std::string& link) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFPageDocumentHelper pages(pdf);
  auto font = pdf.makeIndirectObject(
      QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
  for (std::size_t i = 0; i < sheet_texts.size(); ++i) {
    // The texts are plain ASCII: no escaping needed inside ( ).
    auto content = QPDFObjectHandle::newStream(&pdf, "BT /F1 24 Tf 72 720 Td (" + sheet_texts[i] + ") Tj ET");
    auto page = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] >>"));
    page.replaceKey("/Contents", content);
    auto resources = QPDFObjectHandle::parse("<< /Font << >> >>");
    resources.getKey("/Font").replaceKey("/F1", font);
    page.replaceKey("/Resources", resources);
    if (i == 0 && !link.empty()) {
      auto annotation = pdf.makeIndirectObject(
          QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Link /Rect [72 700 300 740] /Border [0 0 0] >>"));
      auto action = QPDFObjectHandle::parse("<< /S /URI >>");
      action.replaceKey("/URI", QPDFObjectHandle::newString(link));
      annotation.replaceKey("/A", action);
      auto annotations = QPDFObjectHandle::newArray();
      annotations.appendItem(annotation);
      page.replaceKey("/Annots", annotations);
    }
    pages.addPage(QPDFPageObjectHelper(page), false);
  }
  QPDFWriter writer(pdf);
  writer.setOutputMemory();
  writer.write();
  const auto buffer = writer.getBufferSharedPointer();
  return {reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()};
}

std::filesystem::path FakeBrowser(const std::filesystem::path& folder, const std::string& scenario) {
  const auto script = folder / ("fake-browser-" + scenario);
  WriteBytes(script, "#!/bin/sh\nexec '" + std::string(FAKE_BROWSER) + "' --scenario=" + scenario + " \"$@\"\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  return script;
}

}  // namespace zarel::pdf::testing
