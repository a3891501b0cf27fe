// The saved form's text file: parsing, formatting, reading and the
// replace-when-complete write (see saved_form.h).
#include "zarel/hostkit/saved_form.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "zarel/base/ascii_text.h"
#include "zarel/base/error.h"
#include "zarel/base/file_system.h"

namespace zarel {

namespace {

constexpr std::string_view kHeaderWord = "ZarelForm";
constexpr int kFormatVersion = 1;
// A form holds a few lines per control; anything larger is not a form.
constexpr std::uintmax_t kLargestForm = 1 << 20;

// Splits "A B C" at runs of blanks.
std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSpaceOrTab(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !IsSpaceOrTab(text[i])) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}


class Parser {
 public:
  Parser(std::string_view text, const std::string& source) : text_(text), source_(source) {}

  SavedForm Parse() {
    SavedForm form;
    bool header_seen = false;
    SavedControl* open = nullptr;
    std::size_t pos = 0;
    while (pos < text_.size()) {
      std::size_t end = text_.find('\n', pos);
      if (end == std::string_view::npos) end = text_.size();
      std::string_view line = text_.substr(pos, end - pos);
      pos = end + 1;
      ++line_number_;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      for (const char c : line) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') Fail("a control character");
      }
      line = TrimSpaceOrTab(line);
      if (line.empty() || line.front() == '\'') continue;

      if (!header_seen) {
        ReadHeader(line);
        header_seen = true;
        continue;
      }
      const std::vector<std::string_view> words = Words(line);
      if (open == nullptr) {
        if (words.size() != 3 || !EqualIgnoringAsciiCase(words[0], "Begin")) {
          Fail("expected \"Begin CLASS NAME\"");
        }
        if (!IsFormName(words[1])) Fail("bad class name \"" + std::string(words[1]) + "\"");
        if (!IsFormName(words[2])) Fail("bad control name \"" + std::string(words[2]) + "\"");
        for (const SavedControl& control : form.controls) {
          if (EqualIgnoringAsciiCase(control.name, words[2])) {
            Fail("a second control named \"" + std::string(words[2]) + "\"");
          }
        }
        form.controls.push_back(SavedControl{std::string(words[1]), std::string(words[2]), {}});
        open = &form.controls.back();
        continue;
      }
      if (words.size() == 1 && EqualIgnoringAsciiCase(words[0], "End")) {
        open = nullptr;
        continue;
      }
      ReadProperty(line, *open);
    }
    if (!header_seen) {
      Raise(errc::kInvalidFileFormat,
            "Invalid form file " + source_ + ": the file is empty, expected \"ZarelForm 1\"");
    }
    if (open != nullptr) {
      Fail("control \"" + open->name + "\" has no \"End\" line");
    }
    return form;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    Raise(errc::kInvalidFileFormat, "Invalid form file " + source_ + ", line " +
                                  std::to_string(line_number_) + ": " + what);
  }

  void ReadHeader(std::string_view line) {
    const std::vector<std::string_view> words = Words(line);
    if (words.size() != 2 || words[0] != kHeaderWord) {
      Fail("not a form file (expected \"ZarelForm 1\")");
    }
    if (words[1] != std::to_string(kFormatVersion)) {
      Fail("unsupported form version \"" + std::string(words[1]) + "\"");
    }
  }

  void ReadProperty(std::string_view line, SavedControl& control) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) Fail("expected \"Name = value\" or \"End\"");
    const std::string_view name = TrimSpaceOrTab(line.substr(0, equals));
    if (!IsFormName(name)) Fail("bad property name \"" + std::string(name) + "\"");
    if (control.properties.Contains(std::string(name))) {
      Fail("property \"" + std::string(name) + "\" is given twice");
    }
    const Variant value = ReadValue(TrimSpaceOrTab(line.substr(equals + 1)));
    // A value stored even when it equals a default: the default is compared
    // against a value of no type (Empty), which no parsed value is.
    control.properties.WriteProperty(std::string(name), value, Variant());
  }

  Variant ReadValue(std::string_view text) {
    if (text.empty()) Fail("a property without a value");
    if (text.front() == '"') return Variant(ReadText(text));
    std::int64_t number = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error == std::errc::result_out_of_range) Fail("the number " + std::string(text) + " is too large");
    if (error != std::errc() || end != last || text.front() == '+') {
      Fail("bad value " + std::string(text) + " (expected a whole number or a quoted text)");
    }
    if (number >= std::numeric_limits<std::int16_t>::min() &&
        number <= std::numeric_limits<std::int16_t>::max()) {
      return Variant(static_cast<std::int16_t>(number));
    }
    if (number >= std::numeric_limits<std::int32_t>::min() &&
        number <= std::numeric_limits<std::int32_t>::max()) {
      return Variant(static_cast<std::int32_t>(number));
    }
    return Variant(number);
  }

  std::string ReadText(std::string_view text) {
    std::string value;
    std::size_t i = 1;
    for (;; ++i) {
      if (i >= text.size()) Fail("a text without its closing quote");
      const char c = text[i];
      if (c == '"') break;
      if (c != '\\') {
        value += c;
        continue;
      }
      if (++i >= text.size()) Fail("a text without its closing quote");
      switch (text[i]) {
        case '"': value += '"'; break;
        case '\\': value += '\\'; break;
        case 'n': value += '\n'; break;
        case 'r': value += '\r'; break;
        case 't': value += '\t'; break;
        default: Fail(std::string("an unknown escape \\") + text[i]);
      }
    }
    if (i + 1 != text.size()) Fail("text after the closing quote");
    return value;
  }

  std::string_view text_;
  const std::string& source_;
  int line_number_ = 0;
};

std::string QuoteText(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      case '\t': quoted += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          Raise(errc::kTypeMismatch, "A form cannot store control characters in a text");
        }
        quoted += c;
    }
  }
  return quoted + "\"";
}

std::string ValueText(const Variant& value) {
  switch (value.Type()) {
    case VarType::kBoolean:
      return value.AsBoolean() ? "-1" : "0";
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
      return std::to_string(value.ToLongLong());
    case VarType::kString:
      return QuoteText(value.AsString());
    default:
      Raise(errc::kTypeMismatch, "A form stores only whole numbers and texts");
  }
}

}  // namespace

SavedForm ParseSavedForm(std::string_view text, const std::string& source) {
  return Parser(text, source).Parse();
}

std::string FormatSavedForm(const SavedForm& form) {
  std::string text = std::string(kHeaderWord) + " " + std::to_string(kFormatVersion) + "\n";
  for (const SavedControl& control : form.controls) {
    if (!IsFormName(control.class_name) || !IsFormName(control.name)) {
      Raise(errc::kInvalidProcedureCall,
            "Bad control name \"" + control.class_name + " " + control.name + "\"");
    }
    text += "Begin " + control.class_name + " " + control.name + "\n";
    for (const auto& [name, value] : control.properties.Entries()) {
      if (!IsFormName(name)) Raise(errc::kInvalidProcedureCall, "Bad property name \"" + name + "\"");
      text += "  " + name + " = " + ValueText(value) + "\n";
    }
    text += "End\n";
  }
  return text;
}

SavedForm ReadSavedForm(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    Raise(errc::kFileNotFound, "Form file not found: " + path);
  }
  if (!std::filesystem::is_regular_file(status)) {
    Raise(errc::kPathFileAccessError, "Cannot read the form file " + path + ": not a file");
  }
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > kLargestForm) {
    Raise(errc::kInvalidFileFormat, "Invalid form file " + path + ": too large to be a form");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Raise(errc::kPathFileAccessError,
          "Cannot read the form file " + path + ": " + std::strerror(errno));
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) Raise(errc::kPathFileAccessError, "Cannot read the form file " + path);
  return ParseSavedForm(text.str(), path);
}

void WriteSavedForm(const std::string& path, const SavedForm& form) {
  const std::string text = FormatSavedForm(form);
  if (path.empty()) Raise(errc::kBadFileNameOrNumber, "No form file name given");
  // Written beside the form and put in its place only when it is complete
  // and on the disk: a save that fails, or is killed, leaves the old form.
  try {
    ReplacementFile file(path, Durability::kDurable);
    file.Append(text);
    file.Commit();
  } catch (const RuntimeError& error) {
    Raise(errc::kPathFileAccessError, "Cannot write the form file " + path + ": " +
                                          StandardDescription(error.Number()));
  }
}

bool IsFormName(std::string_view text) {
  if (text.empty() || !IsAsciiLetter(text[0])) return false;
  for (const char c : text) {
    if (!IsAsciiAlphanumeric(c) && c != '_') return false;
  }
  return true;
}

}  // namespace zarel
