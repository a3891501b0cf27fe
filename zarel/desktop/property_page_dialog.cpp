// The property page's dialog (see property_page_dialog.h).
#include "zarel/desktop/property_page_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace zarel {

namespace {

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

PropertyPageDialog::PropertyPageDialog(DialogRunner run, QWidget* parent)
    : QDialog(parent), run_(std::move(run)) {
  setWindowTitle(ToQt(page_.Caption()));
  label_ = new QLabel(ToQt(page_.lblActivePort.Caption()), this);
  text_box_ = new QLineEdit(this);
  label_->setBuddy(text_box_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Apply | QDialogButtonBox::Close, this);
  apply_button_ = buttons->button(QDialogButtonBox::Apply);
  apply_button_->setEnabled(false);
  // The label above the box, both at the layout's left margin.
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  layout->addWidget(text_box_);
  layout->addStretch();
  layout->addWidget(buttons);
  resize(320, 140);

  connect(text_box_, &QLineEdit::textEdited, this, [this](const QString& text) { Typed(text); });
  connect(apply_button_, &QPushButton::clicked, this, [this] { ApplyText(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void PropertyPageDialog::ShowFor(std::vector<std::shared_ptr<UserControl>> controls) {
  try {
    page_.SelectControls(std::move(controls));
  } catch (...) {
    ShowRefusal(CurrentError());
  }
  text_box_->setText(ToQt(page_.txtActivePort.Text()));
  apply_button_->setEnabled(page_.Changed());
  run_(*this);
}

void PropertyPageDialog::Typed(const QString& text) {
  page_.txtActivePort.Text(text.toStdString());
  apply_button_->setEnabled(page_.Changed());
}

void PropertyPageDialog::ApplyText() {
  try {
    if (page_.Apply() && on_applied_) on_applied_();
  } catch (...) {
    ShowRefusal(CurrentError());
  }
  apply_button_->setEnabled(page_.Changed());
}

void PropertyPageDialog::ShowRefusal(const RuntimeError& error) {
  QMessageBox box(QMessageBox::Warning, windowTitle(),
                  ToQt(ErrorText(page_.lblActivePort.Caption() + " ", error)), QMessageBox::Ok,
                  this);
  run_(box);
}

}  // namespace zarel
