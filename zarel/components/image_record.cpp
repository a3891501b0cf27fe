// The image record ("image"): the first record as a form with its pictures.
// Every long binary field is saved as the picture file "pic" + the first
// field's value in the application folder and shown in a tall cell on the
// left; every other field is a label and a value beside it.
//
// The picture's name comes from the data, so a value that could lead out of
// the application folder (a path separator, "..", a drive or stream colon,
// a control character) is refused: no file is written and the component
// fails with a message naming the value.
#include <string>

#include "zarel/base/error.h"
#include "zarel/base/stream.h"
#include "zarel/components/renderers.h"
#include "zarel/components/section_heading.h"

namespace zarel {

namespace {

bool StaysInFolder(std::string_view key) {
  if (key.find("..") != std::string_view::npos) return false;
  for (char c : key) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || c == ':' || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

void SavePicture(const Variant& picture, const std::string& path) {
  Stream stream;
  stream.Type(kTypeBinary);
  stream.Open();
  stream.Write(picture);
  stream.SaveToFile(path, kSaveCreateOverWrite);
  stream.Close();
}

}  // namespace

void RenderImageRecord(RenderContext& context, TextFile& report,
                       std::shared_ptr<Recordset>& recordset, const std::string& caption,
                       std::int32_t component) {
  try {
    Recordset& records = RequireRecordset(recordset);
    if (records.RecordCount() == 0) {
      if (context.Talking()) context.ZarelMessage("Blank Recordset: " + caption);
      return;
    }
    if (records.RecordCount() <= 0) return;

    std::string line = SectionHeading(context, caption, component);
    line += SectionTableStart(component);
    FieldCollection& fields = records.Fields();
    const int field_count = fields.Count();
    records.MoveFirst();

    // Pictures first: each opens the first row and spans the value rows.
    for (const Field& field : fields) {
      if (field.Type() != fieldtype::kLongVarBinary) continue;
      const std::string key = fields.Item(0).Value().TextOrEmpty();
      if (!StaysInFolder(key)) {
        Raise(errc::kBadFileNameOrNumber,
              "Picture file name 'pic" + key + "' would leave the application folder");
      }
      SavePicture(field.Value(), context.ApplicationFolder().TextOrEmpty() + "/pic" + key);
      line += "<TR><TD VALIGN=TOP WIDTH=30% ROWSPAN=";
      line += std::to_string(field_count - 1);
      line += "><IMG SRC='pic";
      line += key;
      line += "' WIDTH=100%></TD>";
    }

    // Then the values, each followed by the opening of the next row.
    for (const Field& field : fields) {
      if (field.Type() == fieldtype::kLongVarBinary) continue;
      line += "<td width=30% class=hn>";
      context.AppendFormattedValue(line, Variant(field.Name()), " ");
      line += ": </td><td class=hv>";
      context.AppendFormattedValue(line, field.Value(), FormTypeCodeOf(field.Type()));
      line += "</td><tr>";
    }
    line += "</table><br>";
    report.WriteLine(line);
  } catch (...) {
    ReportCurrentFailure(context, "Error: ");
  }
}

}  // namespace zarel
