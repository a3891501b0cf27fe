// Joining PDFs with libqpdf: pages are copied from each part's own QPDF (kept
// alive until the book is written, since qpdf copies stream data only then),
// the outline is built as the dictionaries of the PDF outline tree, and links
// (to another part's file, or to a named place within a part) are mended to
// point inside the book.
#include "apps/pdf/pdf_book.h"

#include "apps/pdf/file_address.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <unistd.h>

namespace zarel::pdf {
namespace {

using Handle = QPDFObjectHandle;

std::string DescribeDocument(std::size_t index, bool cover) {
  return cover ? std::string("the cover") : "printed document " + std::to_string(index + 1);
}

// Where a viewer goes for a sheet: its top left corner, zoom unchanged.
Handle destination(Handle page) {
  double top = 0;
  if (Handle box = page.getKey("/MediaBox"); box.isArray() && box.getArrayNItems() == 4)
    box.getArrayItem(3).getValueAsNumber(top);
  auto dest = Handle::newArray();
  dest.appendItem(page);
  dest.appendItem(Handle::newName("/XYZ"));
  dest.appendItem(Handle::newInteger(0));
  dest.appendItem(Handle::newReal(top, 2));
  dest.appendItem(Handle::newInteger(0));
  return dest;
}

// A name of a named destination, as a /Dest entry or a /GoTo action holds it.
std::optional<std::string> DestinationName(Handle dest) {
  if (dest.isName()) return dest.getName().substr(1);
  if (dest.isString()) return dest.getUTF8Value();
  return std::nullopt;
}

// Named destinations: the catalog's /Dests dictionary (what Chromium writes)
// and the /Dests name tree of later PDF versions.
std::map<std::string, Handle> NamedPlaces(QPDF& source) {
  std::map<std::string, Handle> places;
  Handle root = source.getRoot();
  if (Handle dests = root.getKey("/Dests"); dests.isDictionary())
    for (auto& [key, value] : dests.ditems()) places.emplace(key.substr(1), value);
  if (Handle tree = root.getKey("/Names").getKey("/Dests"); tree.isDictionary())
    for (auto& [key, value] : QPDFNameTreeObjectHelper(tree, source)) places.emplace(key, value);
  return places;
}

class Joiner {
 public:
  explicit Joiner(const Book& book) : book_(book) {
    out_.setSuppressWarnings(true);
    out_.emptyPDF();
  }

  std::string run() {
    if (!book_.cover.empty()) add(book_.cover, 0, true);
    for (std::size_t i = 0; i < book_.documents.size(); ++i) add(book_.documents[i], i, false);
    PlaceParts();
    for (auto& page : QPDFPageDocumentHelper(out_).getAllPages()) sheets_.push_back(page.getObjectHandle());
    for (std::size_t i = 0; i < book_.parts.size(); ++i)
      if (!book_.parts[i].file.empty()) part_of_file_.emplace(book_.parts[i].file.lexically_normal().string(), i);
    for (const auto& document : documents_) MendLinks(document);
    if (!book_.outline.empty()) BuildOutline();
    describe();
    QPDFWriter writer(out_);
    writer.setOutputMemory();
    writer.setObjectStreamMode(qpdf_o_generate);
    // The same input gives the same bytes: no time or random ID in the file.
    writer.setDeterministicID(true);
    writer.write();
    const auto buffer = writer.getBufferSharedPointer();
    return {reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()};
  }

 private:
  // A printed document joined into the book: its QPDF (qpdf copies stream
  // data only when the book is written), where its sheets landed, and its
  // named destinations (a link to "#id" within it goes to one).
  struct Document {
    std::unique_ptr<QPDF> source;
    std::size_t first = 0;
    std::size_t count = 0;
    std::map<QPDFObjGen, std::size_t> sheet_of;  // its page objects -> its sheet index
    std::map<std::string, Handle> places;        // name -> destination in the source
  };

  void add(const std::string& bytes, std::size_t index, bool cover) {
    Document document;
    document.source = std::make_unique<QPDF>();
    document.source->setSuppressWarnings(true);
    const std::string name = DescribeDocument(index, cover);
    std::vector<QPDFPageObjectHelper> pages;
    try {
      document.source->processMemoryFile(name.c_str(), bytes.data(), bytes.size());
      pages = QPDFPageDocumentHelper(*document.source).getAllPages();
      CollectPlaces(document);
    } catch (const std::exception& failed) {
      throw BookError(name + " is not a readable PDF: " + failed.what());
    }
    if (pages.empty()) throw BookError(name + " has no pages");
    QPDFPageDocumentHelper book_pages(out_);
    document.first = added_;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      document.sheet_of[pages[i].getObjectHandle().getObjGen()] = i;
      book_pages.addPage(pages[i], false);
    }
    document.count = pages.size();
    added_ += pages.size();
    documents_.push_back(std::move(document));
  }

  // Where each part's first sheet is in the book; refuses parts out of
  // order, beyond their document, or sheets that belong to no part.
  void PlaceParts() {
    const std::size_t skip = book_.cover.empty() ? 0 : 1;
    std::size_t next_document = 0;  // the first document no part has begun yet
    for (std::size_t i = 0; i < book_.parts.size(); ++i) {
      const BookPart& part = book_.parts[i];
      const std::string name = "part " + std::to_string(i + 1);
      if (part.document >= book_.documents.size())
        throw BookError(name + " is in printed document " + std::to_string(part.document + 1) + " of " +
                        std::to_string(book_.documents.size()));
      const Document& document = documents_[part.document + skip];
      if (part.first_sheet >= document.count)
        throw BookError(name + " begins at sheet " + std::to_string(part.first_sheet + 1) + " of a printed document of " +
                        std::to_string(document.count));
      const bool opens_document = part.document == next_document && part.first_sheet == 0;
      const bool follows = i > 0 && part.document == book_.parts[i - 1].document &&
                           part.first_sheet > book_.parts[i - 1].first_sheet;
      if (!opens_document && !follows) throw BookError(name + " is out of order");
      if (opens_document) ++next_document;
      first_sheet_.push_back(document.first + part.first_sheet);
    }
    if (next_document != book_.documents.size())
      throw BookError("printed document " + std::to_string(next_document + 1) + " holds no part");
  }

  static void CollectPlaces(Document& document) { document.places = NamedPlaces(*document.source); }

  Handle sheet(std::size_t part) const { return sheets_.at(first_sheet_.at(part)); }

  // The book's destination for the place `name` of `document`, if it has it.
  std::optional<Handle> place(const Document& document, const std::string& name) const {
    const auto found = document.places.find(name);
    if (found == document.places.end()) return std::nullopt;
    Handle dest = found->second;
    if (dest.isDictionary()) dest = dest.getKey("/D");
    if (!dest.isArray() || dest.getArrayNItems() < 1) return std::nullopt;
    const auto sheet_index = document.sheet_of.find(dest.getArrayItem(0).getObjGen());
    if (sheet_index == document.sheet_of.end()) return std::nullopt;
    auto mended = Handle::newArray();
    mended.appendItem(sheets_.at(document.first + sheet_index->second));
    for (int i = 1; i < dest.getArrayNItems(); ++i) mended.appendItem(Handle::parse(dest.getArrayItem(i).unparse()));
    return mended;
  }

  // Links keep working in the book: a link to a place in its own page goes
  // to that place among the book's sheets, and a link to the file another
  // part was printed from (which would open that file, if it is still there)
  // goes to that part's first sheet, or to the place its "#name" names.
  void MendLinks(const Document& document) {
    for (std::size_t s = 0; s < document.count; ++s) {
      Handle annotations = sheets_[document.first + s].getKey("/Annots");
      if (!annotations.isArray()) continue;
      for (auto annotation : annotations.aitems()) {
        if (!annotation.isDictionary() || !annotation.getKey("/Subtype").isNameAndEquals("/Link")) continue;
        if (auto name = DestinationName(annotation.getKey("/Dest"))) {
          if (auto dest = place(document, *name)) annotation.replaceKey("/Dest", *dest);
          continue;
        }
        Handle action = annotation.getKey("/A");
        if (!action.isDictionary()) continue;
        if (action.getKey("/S").isNameAndEquals("/GoTo")) {
          if (auto name = DestinationName(action.getKey("/D")))
            if (auto dest = place(document, *name)) action.replaceKey("/D", *dest);
          continue;
        }
        if (auto dest = LinkToPart(action)) {
          annotation.removeKey("/A");
          annotation.replaceKey("/Dest", *dest);
        }
      }
    }
  }

  std::optional<Handle> LinkToPart(Handle action) {
    if (!action.getKey("/S").isNameAndEquals("/URI") || !action.getKey("/URI").isString()) return std::nullopt;
    const std::string address = action.getKey("/URI").getUTF8Value();
    const auto path = PathOfAddress(address);
    if (!path) return std::nullopt;
    const auto found = part_of_file_.find(path->string());
    if (found == part_of_file_.end()) return std::nullopt;
    const Document& target = documents_.at(book_.parts[found->second].document + (book_.cover.empty() ? 0 : 1));
    if (const auto name = FragmentOfAddress(address); !name.empty())
      if (auto dest = place(target, name)) return dest;
    return destination(sheet(found->second));
  }

  std::optional<std::size_t> OpensAt(const OutlineEntry& entry) const {
    if (entry.part) return entry.part;
    for (const auto& child : entry.children)
      if (auto part = OpensAt(child)) return part;
    return std::nullopt;
  }

  // Makes the items for `entries` under `parent` and returns how many of them
  // and their descendants a viewer shows while `parent` is open.
  long AddItems(Handle parent, const std::vector<OutlineEntry>& entries) {
    long shown = 0;
    Handle previous;
    for (const auto& entry : entries) {
      if (entry.part && *entry.part >= book_.parts.size())
        throw BookError("the outline entry \"" + entry.title + "\" points at part " + std::to_string(*entry.part + 1) +
                        " of " + std::to_string(book_.parts.size()));
      Handle item = out_.makeIndirectObject(Handle::newDictionary());
      item.replaceKey("/Title", Handle::newUnicodeString(entry.title));
      item.replaceKey("/Parent", parent);
      if (auto part = OpensAt(entry)) item.replaceKey("/Dest", destination(sheet(*part)));
      if (!entry.children.empty()) {
        const long below = AddItems(item, entry.children);
        // Open items count the descendants shown; closed ones count, negated,
        // those that opening them would show.
        item.replaceKey("/Count", Handle::newInteger(entry.expanded ? below : -below));
        if (entry.expanded) shown += below;
      }
      if (previous.isInitialized()) {
        previous.replaceKey("/Next", item);
        item.replaceKey("/Prev", previous);
      } else {
        parent.replaceKey("/First", item);
      }
      previous = item;
      ++shown;
    }
    if (previous.isInitialized()) parent.replaceKey("/Last", previous);
    return shown;
  }

  void BuildOutline() {
    Handle outlines = out_.makeIndirectObject(Handle::parse("<< /Type /Outlines >>"));
    const long shown = AddItems(outlines, book_.outline);
    outlines.replaceKey("/Count", Handle::newInteger(shown));
    Handle root = out_.getRoot();
    root.replaceKey("/Outlines", outlines);
    root.replaceKey("/PageMode", Handle::newName("/UseOutlines"));
  }

  void describe() {
    Handle info = out_.makeIndirectObject(Handle::newDictionary());
    if (!book_.title.empty()) {
      info.replaceKey("/Title", Handle::newUnicodeString(book_.title));
      out_.getRoot().replaceKey("/ViewerPreferences", Handle::parse("<< /DisplayDocTitle true >>"));
    }
    info.replaceKey("/Creator", Handle::newUnicodeString("Zarel"));
    out_.getTrailer().replaceKey("/Info", info);
  }

  const Book& book_;
  QPDF out_;
  std::vector<Document> documents_;       // the cover, if any, then the printed documents
  std::vector<std::size_t> first_sheet_;  // per part, its first sheet in the book
  std::map<std::string, std::size_t> part_of_file_;  // printed from -> part
  std::vector<Handle> sheets_;            // the book's sheets, once all are added
  std::size_t added_ = 0;                 // sheets added so far
};

}  // namespace

void AddPart(Book& book, std::string pdf, std::filesystem::path file) {
  book.parts.push_back({book.documents.size(), 0, std::move(file)});
  book.documents.push_back(std::move(pdf));
}

std::map<std::string, std::size_t> NamedSheets(const std::string& pdf) {
  std::map<std::string, std::size_t> sheets;
  try {
    QPDF source;
    source.setSuppressWarnings(true);
    source.processMemoryFile("the printed document", pdf.data(), pdf.size());
    std::map<QPDFObjGen, std::size_t> sheet_of;
    const auto pages = QPDFPageDocumentHelper(source).getAllPages();
    for (std::size_t i = 0; i < pages.size(); ++i) sheet_of[pages[i].getObjectHandle().getObjGen()] = i;
    for (auto& [name, dest] : NamedPlaces(source)) {
      if (dest.isDictionary()) dest = dest.getKey("/D");
      if (!dest.isArray() || dest.getArrayNItems() < 1) continue;
      if (const auto found = sheet_of.find(dest.getArrayItem(0).getObjGen()); found != sheet_of.end())
        sheets.emplace(name, found->second);
    }
  } catch (const std::exception& failed) {
    throw BookError(std::string("the printed document is not a readable PDF: ") + failed.what());
  }
  return sheets;
}

std::string MakeBook(const Book& book) {
  if (book.cover.empty() && book.parts.empty()) throw BookError("there is nothing to put in the book");
  try {
    return Joiner(book).run();
  } catch (const BookError&) {
    throw;
  } catch (const std::exception& failed) {
    throw BookError(std::string("cannot join the printed pages: ") + failed.what());
  }
}

void WriteBook(const Book& book, const std::filesystem::path& file) {
  const std::string bytes = MakeBook(book);
  const auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  std::string temporary = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) throw BookError("cannot write " + file.string() + ": cannot make a file in " + folder.string());
  ::close(fd);
  std::error_code error;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::filesystem::remove(temporary, error);
      throw BookError("cannot write " + file.string() + ": the disk refused the data");
    }
  }
  std::filesystem::permissions(temporary, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                              std::filesystem::perms::group_read | std::filesystem::perms::others_read,
                               error);
  std::filesystem::rename(temporary, file, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    throw BookError("cannot write " + file.string() + ": " + error.message());
  }
}

}  // namespace zarel::pdf
