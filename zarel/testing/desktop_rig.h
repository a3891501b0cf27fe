// What the desktop tests share: the page's text and script, screenshots and
// PDF checks, and two ways to answer modal dialogs without a person. The
// test programs' main (desktop_test_main.cpp) creates the one QApplication.
#ifndef ZAREL_TESTING_DESKTOP_RIG_H_
#define ZAREL_TESTING_DESKTOP_RIG_H_

#include <QDialog>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zarel/desktop/dialog_runner.h"

class QWebEngineView;
class QWidget;

namespace zarel::testing {

using namespace std::chrono_literals;

// Runs a script in the page shown and answers its result (invalid after
// 10 seconds).
QVariant RunScript(QWebEngineView& view, const QString& script);
// The text of the page shown (document.body.innerText).
std::string PageText(QWebEngineView& view);
// Waits until the page has drawn a frame after this call: the view shows
// the last frame the engine composited, which lags behind script changes.
bool WaitForFrame(QWebEngineView& view);

// The path of the picture NAME.png in the build folder's
// desktop-screenshots (made when missing).
std::string ScreenshotPath(const std::string& name);
// Saves a picture of the widget there; answers the path.
std::string SaveScreenshot(QWidget& widget, const std::string& name);
// Saves the first page of a PDF there the same way (pdftoppm).
std::string SavePdfPicture(const std::string& pdf, const std::string& name);
// A program's standard output; "" when it cannot run or takes over 60 s.
std::string RunTool(const QString& program, const QStringList& arguments);
// The text of a PDF (pdftotext).
std::string PdfText(const std::string& pdf);

// A DialogRunner that hands each dialog to the next answer in line without
// showing it; the answer fills it in and answers QDialog::Accepted or
// Rejected. A dialog with no answer left is rejected. Titles lists the
// dialogs run.
class ScriptedDialogs {
 public:
  using Answer = std::function<int(QDialog&)>;
  void Then(Answer answer) { state_->answers.push_back(std::move(answer)); }
  DialogRunner Runner() const;
  const QStringList& Titles() const { return state_->titles; }
  bool AllAnswered() const { return state_->next == state_->answers.size(); }

 private:
  struct State {
    std::vector<Answer> answers;
    std::size_t next = 0;
    QStringList titles;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Answers the real modal dialogs that code runs with exec(): while it
// lives, a timer hands each new active modal dialog to the next answer in
// line. Past its time limit it rejects every modal dialog, so no test can
// hang on one.
class ModalAnswerer {
 public:
  using Answer = std::function<void(QDialog& modal)>;
  explicit ModalAnswerer(std::chrono::milliseconds limit = 30s);
  ~ModalAnswerer();
  ModalAnswerer(const ModalAnswerer&) = delete;
  ModalAnswerer& operator=(const ModalAnswerer&) = delete;
  void Then(Answer answer);
  const QStringList& Titles() const;
  bool TimedOut() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zarel::testing

#endif  // ZAREL_TESTING_DESKTOP_RIG_H_
