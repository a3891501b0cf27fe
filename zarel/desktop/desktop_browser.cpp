// The desktop browser: the web view, the wait for its loads, and the save,
// print and preview commands with the toolkit's dialogs.
#include "zarel/desktop/desktop_browser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <optional>

#include "zarel/base/error.h"
#include "zarel/desktop/event_wait.h"
#include "zarel/hostkit/browser_commands.h"

namespace zarel {

namespace {

// Pages printed on a printer or shown in the preview are pictures at this
// resolution: sharp on paper, and a page takes a fraction of a second
// (1200, a PDF printer's "high resolution", takes seconds and megabytes).
constexpr int kPrintDotsPerInch = 300;

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

std::string Seconds(std::chrono::milliseconds limit) {
  const auto seconds = (limit.count() + 999) / 1000;
  return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

}  // namespace

class DesktopBrowser::Impl {
 public:
  explicit Impl(QWidget* parent) : view_(new QWebEngineView(parent)) {
    QObject::connect(view_, &QWebEngineView::loadFinished, &context_,
                     [this](bool ok) { Loaded(ok); });
  }

  ~Impl() {
    if (!view_) return;
    QObject::disconnect(view_, nullptr, &context_, nullptr);
    if (view_->parent() == nullptr) delete view_.data();
  }

  void Navigate(const std::string& path) {
    location_ = path;
    if (!view_) return;
    target_ = QUrl::fromLocalFile(QFileInfo(ToQt(path)).absoluteFilePath());
    loading_ = true;
    loaded_ = false;
    view_->setUrl(target_);
  }

  bool WaitForLoad() {
    if (!view_) return false;
    if (loading_) {
      RunUntil(limit_, [&](QObject* context, const Done& done) {
        QObject::connect(view_, &QWebEngineView::loadFinished, context, [this, done] {
          if (!loading_) done(true);
        });
      });
    }
    return !loading_ && loaded_;
  }

  void Save() {
    if (location_.empty()) RaiseCommandNotAvailable(kCommandSaveAs, "no page shown");
    RequirePageFile(location_);  // before asking where to save it
    std::string destination = save_destination_;
    if (destination.empty()) {
      QFileDialog dialog(view_, "Save Page", QFileInfo(ToQt(location_)).fileName(),
                         "Web pages (*.htm *.html);;All files (*)");
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setOption(QFileDialog::DontUseNativeDialog);
      dialog.setDefaultSuffix("htm");
      if (run_(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        Raise(errc::kCancelled, "Save as was cancelled");
      }
      destination = dialog.selectedFiles().first().toStdString();
    }
    SavePageFile(location_, destination);
  }

  void Print() {
    QWebEngineView& view = ShownPage(kCommandPrint);
    QPrinter printer;
    printer.setResolution(kPrintDotsPerInch);
    QPrintDialog dialog(&printer, &view);
    if (run_(dialog) != QDialog::Accepted) Raise(errc::kCancelled, "Print was cancelled");
    PrintOn(view, printer, kCommandPrint);
  }

  void Preview() {
    QWebEngineView& view = ShownPage(kCommandPrintPreview);
    QPrinter printer;
    printer.setResolution(kPrintDotsPerInch);
    QPrintPreviewDialog dialog(&printer, &view);
    // The dialog asks for the pages whenever it draws them (when it opens,
    // after a change of page setup, when the user prints from it); they
    // must be painted when the handler returns. A failure may not leave
    // the handler, so it waits until the dialog has closed.
    std::optional<RuntimeError> failure;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter* target) {
                       try {
                         PrintOn(view, *target, kCommandPrintPreview);
                       } catch (...) {
                         if (!failure) failure = CurrentError();
                       }
                     });
    run_(dialog);
    if (failure) throw *failure;
  }

  void PrintToPdf(const std::string& path) {
    QWebEngineView& view = ShownPage(kCommandPrint);
    const QPrinter printer;
    PrintPdf(view, ToQt(path), printer.pageLayout(), {}, kCommandPrint);
  }

  // Marks a command as running; a second one meanwhile (from a timer or
  // the page) is refused.
  class Running {
   public:
    Running(Impl& impl, std::int16_t command) : impl_(impl) {
      if (impl_.running_) RaiseCommandNotAvailable(command, "another command is running");
      impl_.running_ = true;
    }
    ~Running() { impl_.running_ = false; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    Impl& impl_;
  };

  QPointer<QWebEngineView> view_;
  std::string location_;
  std::string save_destination_;
  DialogRunner run_ = ExecDialog;
  std::chrono::milliseconds limit_{30000};

 private:
  // A load that a newer Navigate replaced also reports here: only the file
  // asked for last counts.
  void Loaded(bool ok) {
    if (view_->url() != target_) return;
    loading_ = false;
    loaded_ = ok;
  }

  // The view showing the page, once loaded; raises when there is none.
  QWebEngineView& ShownPage(std::int16_t command) {
    if (location_.empty()) RaiseCommandNotAvailable(command, "no page shown");
    if (!view_) RaiseCommandNotAvailable(command, "the browser's window has been closed");
    if (!WaitForLoad()) {
      RequirePageFile(location_);
      RaiseCommandNotAvailable(command, loading_ ? "the page did not load within " + Seconds(limit_)
                                                 : "the page could not be shown");
    }
    return *view_;
  }

  // Prints the page shown on printer. A PDF file is written by the engine
  // itself, with real text (printing on a QPrinter would paint each page as
  // one picture); anything else, a printer or the preview, gets pictures.
  void PrintOn(QWebEngineView& view, QPrinter& printer, std::int16_t command) {
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
      PrintPdf(view, printer.outputFileName(), printer.pageLayout(), printer.pageRanges(), command);
      return;
    }
    const Wait wait = RunUntil(limit_, [&](QObject* context, const Done& done) {
      QObject::connect(&view, &QWebEngineView::printFinished, context, done);
      view.print(&printer);
    });
    Finished(wait, command);
  }

  void PrintPdf(QWebEngineView& view, const QString& path, const QPageLayout& layout,
                const QPageRanges& ranges, std::int16_t command) {
    // The engine would report a missing folder only as "failed".
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
      Raise(errc::kPathNotFound,
            StandardDescription(errc::kPathNotFound) + ": " + folder.toStdString());
    }
    QWebEnginePage* page = view.page();
    const Wait wait = RunUntil(limit_, [&](QObject* context, const Done& done) {
      QObject::connect(page, &QWebEnginePage::pdfPrintingFinished, context,
                       [done](const QString&, bool success) { done(success); });
      page->printToPdf(path, layout, ranges);
    });
    if (wait == Wait::kFailed) {
      Raise(errc::kPathFileAccessError,
            StandardDescription(errc::kPathFileAccessError) + ": " + path.toStdString());
    }
    Finished(wait, command);
  }

  void Finished(Wait wait, std::int16_t command) const {
    if (wait == Wait::kTimedOut) {
      Raise(errc::kInvalidProcedureCall,
            BrowserCommandName(command) + " did not finish within " + Seconds(limit_));
    }
    if (wait == Wait::kFailed) {
      Raise(errc::kInvalidProcedureCall, BrowserCommandName(command) + " failed");
    }
  }

  QObject context_;  // the view's connections end with the browser
  QUrl target_;
  bool loading_ = false;
  bool loaded_ = false;
  bool running_ = false;
};

DesktopBrowser::DesktopBrowser(QWidget* parent) : impl_(std::make_unique<Impl>(parent)) {}
DesktopBrowser::~DesktopBrowser() = default;

std::shared_ptr<DesktopBrowser> DesktopBrowser::Create(QWidget* parent) {
  return std::shared_ptr<DesktopBrowser>(new DesktopBrowser(parent));
}

QWebEngineView* DesktopBrowser::Widget() const { return impl_->view_; }

void DesktopBrowser::Navigate(const std::string& path) { impl_->Navigate(path); }

void DesktopBrowser::ExecWB(std::int16_t command, std::int16_t /*option*/) {
  const Impl::Running running(*impl_, command);
  switch (command) {
    case kCommandSaveAs:
      impl_->Save();
      return;
    case kCommandPrint:
      impl_->Print();
      return;
    case kCommandPrintPreview:
      impl_->Preview();
      return;
    default:
      RaiseCommandNotAvailable(command, "unknown command");
  }
}

const std::string& DesktopBrowser::LocationPath() const { return impl_->location_; }
bool DesktopBrowser::WaitForLoad() { return impl_->WaitForLoad(); }

void DesktopBrowser::PrintToPdf(const std::string& path) {
  const Impl::Running running(*impl_, kCommandPrint);
  impl_->PrintToPdf(path);
}

void DesktopBrowser::SaveDestination(std::string path) {
  impl_->save_destination_ = std::move(path);
}

void DesktopBrowser::Dialogs(DialogRunner run) { impl_->run_ = std::move(run); }

void DesktopBrowser::TimeLimit(std::chrono::milliseconds limit) { impl_->limit_ = limit; }

}  // namespace zarel
