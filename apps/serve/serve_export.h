// The web host's Export: the session's site as one zip file of the static
// export, made by the export code of zarel export (apps/export) with the
// server's connection, site folder and display settings (the session's
// role among them), bounded by export_max_nodes.
//
// The export is made in a folder of its own in the server's work folder,
// and that folder goes as soon as the zip is open for sending (the open file
// stays readable until it has gone), or at once when anything fails.
//
// An export runs a crawl with a control of its own, so it takes no turn of
// the session: the session's clicks are answered while it runs. It does
// hold one of the server's worker threads for its whole run, so at most
// max_exports run at once in the whole server, and never so many that no
// thread is left for other requests: the rest are answered 503 busy at
// once.
//
// Threads: ExportGate may be shared between threads; ExportSiteZip is a
// function of its arguments and may run on several threads at once.
#ifndef ZAREL_APPS_SERVE_SERVE_EXPORT_H_
#define ZAREL_APPS_SERVE_SERVE_EXPORT_H_

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "apps/serve/serve_options.h"
#include "apps/serve/serve_session.h"

namespace zarel::serve {

// Counts the exports running.
class ExportGate {
 public:
  // At most max_exports at once, and at most threads - 1 (none with one
  // thread).
  explicit ExportGate(const ServeOptions& options);
  // Takes a place for one export; false when none is free.
  bool Enter();
  void Leave();
  // Whether exports can run at all (more than one thread).
  bool Possible() const { return bound_ > 0; }

 private:
  const int bound_;
  std::atomic<int> running_{0};
};

// A place taken in the gate, given back when it goes.
class ExportPlace {
 public:
  explicit ExportPlace(ExportGate& gate) : gate_(gate), taken_(gate.Enter()) {}
  ~ExportPlace() {
    if (taken_) gate_.Leave();
  }
  ExportPlace(const ExportPlace&) = delete;
  ExportPlace& operator=(const ExportPlace&) = delete;
  bool Taken() const { return taken_; }

 private:
  ExportGate& gate_;
  const bool taken_;
};

struct SiteZip {
  // The folder that holds the zip; removed with this object.
  std::unique_ptr<FolderRemover> folder;
  std::string file;          // the zip
  std::string name;          // the name to save it under ("shop.zip")
  std::size_t pages = 0;     // pages in it
  std::size_t failed = 0;    // pages that failed to compose (kept as they were written)
  std::size_t left_unopened = 0;  // nodes beyond the bound
  // Why no zip was made (the server's paths hidden by the caller); empty
  // when it was.
  std::string error;
};

// Exports the site into a new folder in work_folder and zips it.
// exported_at: the moment shown in the index ("YYYY-MM-DD HH:MM:SS").
SiteZip ExportSiteZip(const ServeOptions& options, const std::string& work_folder, const std::string& exported_at);

}  // namespace zarel::serve

#endif  // ZAREL_APPS_SERVE_SERVE_EXPORT_H_
