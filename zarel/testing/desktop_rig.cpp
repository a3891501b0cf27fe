// The desktop tests' helpers (see desktop_rig.h).
#include "zarel/testing/desktop_rig.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <deque>

#include "zarel/desktop/event_wait.h"

#ifndef ZAREL_SCREENSHOT_DIR
#define ZAREL_SCREENSHOT_DIR "desktop-screenshots"
#endif

namespace zarel::testing {

QVariant RunScript(QWebEngineView& view, const QString& script) {
  QVariant result;
  RunUntil(10s, [&](QObject* context, const Done& done) {
    // The callback has no context object of its own: it is guarded by one.
    view.page()->runJavaScript(script, [&result, alive = QPointer<QObject>(context),
                                        done](const QVariant& value) {
      if (alive.isNull()) return;
      result = value;
      done(true);
    });
  });
  return result;
}

std::string PageText(QWebEngineView& view) {
  return RunScript(view, "document.body.innerText").toString().toStdString();
}

bool WaitForFrame(QWebEngineView& view) {
  RunScript(view,
            "window.zarelFrame = false; requestAnimationFrame(() => "
            "requestAnimationFrame(() => { window.zarelFrame = true; }))");
  const bool seen =
      QTest::qWaitFor([&] { return RunScript(view, "window.zarelFrame").toBool(); }, 10000);
  QTest::qWait(50);  // the frame still travels from the engine to the widget
  return seen;
}

std::string ScreenshotPath(const std::string& name) {
  QDir().mkpath(ZAREL_SCREENSHOT_DIR);
  return std::string(ZAREL_SCREENSHOT_DIR) + "/" + name + ".png";
}

std::string SaveScreenshot(QWidget& widget, const std::string& name) {
  const std::string path = ScreenshotPath(name);
  widget.grab().save(QString::fromStdString(path));
  return path;
}

std::string SavePdfPicture(const std::string& pdf, const std::string& name) {
  const std::string path = ScreenshotPath(name);
  const QString stem = QString::fromStdString(path.substr(0, path.size() - 4));  // no ".png"
  RunTool("pdftoppm", {"-r", "60", "-png", "-singlefile", QString::fromStdString(pdf), stem});
  return path;
}

std::string RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    return "";
  }
  return process.readAllStandardOutput().toStdString();
}

std::string PdfText(const std::string& pdf) {
  return RunTool("pdftotext", {QString::fromStdString(pdf), "-"});
}

DialogRunner ScriptedDialogs::Runner() const {
  return [state = state_](QDialog& dialog) {
    state->titles.append(dialog.windowTitle());
    if (state->next >= state->answers.size()) return static_cast<int>(QDialog::Rejected);
    return state->answers[state->next++](dialog);
  };
}

class ModalAnswerer::Impl {
 public:
  explicit Impl(std::chrono::milliseconds limit) : limit_(limit) {
    clock_.start();
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    poll_.start(20);
  }

  void Poll() {
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (modal == nullptr) return;
    if (clock_.elapsed() > limit_.count()) {
      timed_out_ = true;
      modal->reject();
      return;
    }
    if (answered_.contains(modal) || answers_.empty()) return;
    answered_.append(modal);
    titles_.append(modal->windowTitle());
    // The answer runs in an event of its own, not in this timer's slot: an
    // answer that opens another modal dialog (a message box after Apply)
    // runs a nested event loop in which this timer must fire again.
    QTimer::singleShot(0, modal, [modal, answer = std::move(answers_.front())] { answer(*modal); });
    answers_.pop_front();
  }

  std::chrono::milliseconds limit_;
  QTimer poll_;
  QElapsedTimer clock_;
  bool timed_out_ = false;
  std::deque<Answer> answers_;
  QList<QPointer<QDialog>> answered_;
  QStringList titles_;
};

ModalAnswerer::ModalAnswerer(std::chrono::milliseconds limit)
    : impl_(std::make_unique<Impl>(limit)) {}
ModalAnswerer::~ModalAnswerer() = default;
void ModalAnswerer::Then(Answer answer) { impl_->answers_.push_back(std::move(answer)); }
const QStringList& ModalAnswerer::Titles() const { return impl_->titles_; }
bool ModalAnswerer::TimedOut() const { return impl_->timed_out_; }

}  // namespace zarel::testing
