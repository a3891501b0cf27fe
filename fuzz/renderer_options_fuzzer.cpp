// Fuzzes the option texts the renderers read: the thumbnail gallery's
// specification tags, the totals list of grids and table graphs, a table
// graph's graph field, and the bar chart's column list. The first byte
// chooses the renderer; the rest is the option (for the table graph, two
// options split at the first line break).
// Properties: a renderer never lets a failure out (it reports it and
// returns), reports only its own messages, and writes whole lines.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "zarel/base/error.h"
#include "zarel/base/text_file.h"
#include "zarel/components/renderers.h"
#include "zarel/components/thumbnail_gallery.h"

using namespace zarel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static fuzz::DiscardingFileSystem discarding;
  static ScopedFileSystem scoped(discarding);
  const int renderer = data[0] % 5;
  const std::string option(reinterpret_cast<const char*>(data) + 1, size - 1);
  fuzz::FuzzContext context;
  std::shared_ptr<Recordset> recordset = fuzz::SampleRecordset();
  TextFile report("/nonexistent-zarel-fuzz/oReport.htm");
  switch (renderer) {
    case 0:
      RenderThumbnailGallery(context, report, recordset, "Cards", 1, option);
      // The tag reader alone: the text between the tags, or a message.
      for (const char* tag : {"<height>", "<columns>", "<imagefieldno>", "<"}) {
        const std::size_t before = context.messages.size();
        const Variant value = ReadSpecTag(context, option, tag);
        fuzz::Check(value.IsEmpty() == (context.messages.size() > before),
                    "a tag reads as a text, or as Empty with a message", option);
      }
      break;
    case 1:
      RenderTotalsGrid(context, report, recordset, "Grid+", 2, option);
      break;
    case 2: {
      const std::size_t split = option.find('\n');
      RenderTableGraph(context, report, recordset, "Graph", 3, option.substr(0, split),
                       split == std::string::npos ? "" : option.substr(split + 1), true, true);
      break;
    }
    case 3:
      RenderBarChart(context, report, recordset, "Chart", 4, option);
      break;
    default:
      RenderTableGraph(context, report, recordset, "Graph", 5, option, "3", false, true);
      break;
  }
  fuzz::CheckMessages(context.messages);
  report.Close();
  return 0;
}
