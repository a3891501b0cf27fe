// The thumbnail gallery ("thumbnail"): the records as a grid of cards, a
// fixed number per row. Each card shows the record's image field as a
// linked image and its other fields as texts to the right of or below it,
// as the thumbnail specification says. The last row is filled up with
// empty cells.
#include "zarel/components/thumbnail_gallery.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include "zarel/base/ascii_text.h"
#include "zarel/components/renderers.h"
#include "zarel/components/section_heading.h"

namespace zarel {

using namespace renderer_text;

Variant ReadSpecTag(RenderContext& context, const std::string& specification,
                    std::string_view opening_tag) {
  if (specification.find(opening_tag) == std::string::npos) return Variant(std::string());
  std::string closing_tag = "</";
  closing_tag += opening_tag.substr(1);
  const std::size_t closing = specification.find(closing_tag);
  const std::size_t opening = closing == std::string::npos
                                  ? std::string::npos
                                  : specification.substr(0, closing).find(opening_tag);
  if (opening == std::string::npos) {
    context.ZarelMessage("Error is Specification XML String");
    return Variant();
  }
  const std::size_t start = opening + opening_tag.size();
  return Variant(specification.substr(start, closing - start));
}

namespace {

// The leading decimal number of a text, 0 when there is none; blanks, tabs
// and line breaks are skipped wherever they stand ("100px" gives 100).
double LeadingNumber(const std::string& text) {
  std::string number;
  bool seen_point = false;
  bool seen_exponent = false;
  for (char c : text) {
    if (IsWhiteSpace(c)) continue;
    const bool at_start = number.empty() ||
                          (seen_exponent && (number.back() == 'e'));
    if ((c == '+' || c == '-') && at_start) {
      number += c;
    } else if (IsAsciiDigit(c)) {
      number += c;
    } else if (c == '.' && !seen_point && !seen_exponent) {
      seen_point = true;
      number += c;
    } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && !seen_exponent &&
               number.find_first_of("0123456789") != std::string::npos) {
      seen_exponent = true;
      number += 'e';
    } else {
      break;
    }
  }
  if (number.find_first_of("0123456789") == std::string::npos) return 0;
  // An exponent mark without digits is not part of the number.
  while (!number.empty() && (number.back() == 'e' || number.back() == '+' ||
                             number.back() == '-')) {
    number.pop_back();
  }
  return std::strtod(number.c_str(), nullptr);
}

std::int16_t PixelSetting(const Variant& value) {
  return Variant(LeadingNumber(value.TextOrEmpty())).ToInteger();
}

struct GallerySettings {
  std::int16_t image_field = 0;
  std::int16_t height = 0;
  std::int16_t width = 0;
  std::int16_t columns = 1;
  bool text_right = false;
  bool field_names = false;
};

GallerySettings ReadSettings(RenderContext& context, const std::string& specification) {
  const Variant image_field = ReadSpecTag(context, specification, "<imagefieldno>");
  const Variant height = ReadSpecTag(context, specification, "<height>");
  const Variant width = ReadSpecTag(context, specification, "<width>");
  const Variant columns = ReadSpecTag(context, specification, "<columns>");
  const Variant text_position = ReadSpecTag(context, specification, "<textposition>");
  const Variant field_names = ReadSpecTag(context, specification, "<fieldname>");

  GallerySettings settings;
  settings.image_field = image_field.ToInteger();
  settings.height = PixelSetting(height);
  settings.width = PixelSetting(width);
  settings.columns = PixelSetting(columns);
  if (settings.columns == 0) settings.columns = 1;
  settings.text_right = LowerAscii(text_position.TextOrEmpty()) == "right";
  const std::string names = field_names.TextOrEmpty();
  settings.field_names = !names.empty() && (names[0] == 'y' || names[0] == 'Y');
  return settings;
}

}  // namespace

void RenderThumbnailGallery(RenderContext& context, TextFile& report,
                            std::shared_ptr<Recordset>& recordset, const std::string& caption,
                            std::int32_t component, const std::string& specification) {
  try {
    Recordset& records = RequireRecordset(recordset);
    if (records.RecordCount() == 0) {
      if (context.Talking()) context.ZarelMessage("Blank Recordset: " + caption);
      return;
    }
    const GallerySettings settings = ReadSettings(context, specification);
    if (records.RecordCount() <= 0) return;

    std::string line = SectionHeading(context, caption, component);
    line += SectionTableStart(component);
    records.MoveFirst();
    report.WriteLine(line);

    FieldCollection& fields = records.Fields();
    const std::string image_name = LowerAscii(fields.Item(settings.image_field).Name());
    const std::string card_opening =
        "<td valign=top width='" +
        std::to_string(Variant(100.0 / settings.columns).ToInteger()) +
        "%' ><table width=100% border=0>";
    std::string image_cell_opening = "<tr><td valign=top align=left width=1% ";
    if (settings.text_right) image_cell_opening += "% rowspan=" + std::to_string(fields.Count());
    image_cell_opening += "><a href='";
    std::string image_size;
    if (settings.width > 0) image_size += " width='" + std::to_string(settings.width) + "' ";
    if (settings.height > 0) image_size += " height='" + std::to_string(settings.height) + "' ";

    // Which fields are the image (its name in any letter case) and which
    // are texts, with their type codes.
    struct CardField {
      const Field* field;
      bool is_image;
      std::string_view type_code;
    };
    std::vector<CardField> card_fields;
    for (const Field& field : fields) {
      card_fields.push_back(CardField{&field, LowerAscii(field.Name()) == image_name,
                                      FormTypeCodeOf(field.Type())});
    }

    // The record counter is wide enough for any recordset.
    std::int64_t counter = 0;
    while (!records.Eof()) {
      line.assign(counter % settings.columns == 0 ? "<tr>" : "");
      line += card_opening;
      for (const CardField& card_field : card_fields) {
        if (!card_field.is_image) continue;
        const std::string reference = card_field.field->Value().TextOrEmpty();
        line += image_cell_opening;
        line += reference;
        line += "'><img src='";
        line += reference;
        line += "' ";
        line += image_size;
        line += "></a></td>";
      }
      if (!settings.text_right) line += "<tr>";
      for (const CardField& card_field : card_fields) {
        if (card_field.is_image) continue;
        if (settings.field_names) {
          line += "<td align=left width=1% class=hn>";
          line += card_field.field->Name();
          line += "</td>";
        }
        line += "<td class=ttd>";
        context.AppendFormattedValue(line, card_field.field->Value(), card_field.type_code);
        line += "</td><tr>";
      }
      line += "</table>";
      report.WriteLine(line);
      records.MoveNext();
      ++counter;
    }

    line.clear();
    while (counter % settings.columns != 0) {
      line += "<td>\xC2\xA0</td>";
      ++counter;
    }
    line += "</table>";
    report.WriteLine(line);
  } catch (...) {
    ReportCurrentFailure(context, "Error: ");
  }
}

}  // namespace zarel
