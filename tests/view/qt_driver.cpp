// The dialog driven through Qt: widgets found by object name, keys and clicks sent as QTest events.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "view/dialog_driver.h"

namespace kvo::view_test {
namespace {

class QtDriver : public DialogDriver {
 public:
  explicit QtDriver(QDialog* dialog) : dialog_(dialog) {}

  std::string Text(const std::string& name) override {
    QWidget* w = Find(name);
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText().toStdString();
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) return spin->text().toStdString();
    if (auto* button = qobject_cast<QPushButton*>(w)) return button->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
    if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title().toStdString();
    return std::string();
  }
  std::vector<std::string> Items(const std::string& name) override {
    std::vector<std::string> items;
    if (auto* combo = qobject_cast<QComboBox*>(Find(name))) {
      for (int i = 0; i < combo->count(); ++i)
        items.push_back(combo->itemText(i).toStdString());
    }
    return items;
  }
  int ItemIndex(const std::string& name) override {
    auto* combo = qobject_cast<QComboBox*>(Find(name));
    return combo ? combo->currentIndex() : -2;
  }
  std::string Focused() override {
    QWidget* focus = dialog_->focusWidget();
    // A combo box's or spin edit's line edit stands for its owner.
    while (focus != nullptr && focus->objectName().isEmpty())
      focus = focus->parentWidget();
    return focus ? focus->objectName().toStdString() : std::string();
  }
  std::string Title() override { return dialog_->windowTitle().toStdString(); }

  void Type(const std::string& name, const std::string& text) override {
    QWidget* w = Find(name);
    QLineEdit* edit = nullptr;
    if (auto* combo = qobject_cast<QComboBox*>(w)) edit = combo->lineEdit();
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) edit = spin->findChild<QLineEdit*>();
    if (edit == nullptr) return;
    w->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, QString::fromStdString(text));
  }
  void Pick(const std::string& name, int index) override {
    if (auto* combo = qobject_cast<QComboBox*>(Find(name))) combo->setCurrentIndex(index);
  }
  void StepUp(const std::string& name) override {
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(Find(name))) {
      spin->setFocus();
      QTest::keyClick(spin, Qt::Key_Up);
    }
  }
  void PressEscape() override { QTest::keyClick(Target(), Qt::Key_Escape); }
  void PressEnter() override { QTest::keyClick(Target(), Qt::Key_Return); }
  void PressF1() override { QTest::keyClick(Target(), Qt::Key_F1); }
  void Click(const std::string& name) override {
    if (auto* button = qobject_cast<QPushButton*>(Find(name))) QTest::mouseClick(button, Qt::LeftButton);
  }
  void Resize(int width, int height) override {
    const QSize frame = dialog_->frameGeometry().size() - dialog_->size();
    dialog_->resize(width - frame.width(), height - frame.height());
    QApplication::processEvents();
  }
  Box ClientArea() override { return Box{0, 0, dialog_->width(), dialog_->height()}; }
  Box Frame() override {
    const QRect r = dialog_->frameGeometry();
    return Box{r.x(), r.y(), r.width(), r.height()};
  }
  Box WorkArea() override {
    QScreen* screen = dialog_->screen();
    if (screen == nullptr) return Box{};
    const QRect r = screen->availableGeometry();
    return Box{r.x(), r.y(), r.width(), r.height()};
  }
  void CloseNextMessageBox(MessageSeen* seen) override {
    auto* timer = new QTimer(dialog_);
    QObject::connect(timer, &QTimer::timeout, timer, [this, timer, seen] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      seen->shown = true;
      seen->text = box->text().toStdString();
      seen->caption = box->windowTitle().toStdString();
      seen->error_icon = box->icon() == QMessageBox::Critical;
      seen->owned_by_dialog = box->parentWidget() == dialog_;
      timer->stop();
      timer->deleteLater();
      if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
        QTest::mouseClick(ok, Qt::LeftButton);
      } else {
        box->accept();
      }
    });
    timer->start(10);
  }
  Box Geometry(const std::string& name) override {
    QWidget* w = Find(name);
    if (w == nullptr) return Box{};
    const QRect r = w->geometry();
    return Box{r.x(), r.y(), r.width(), r.height()};
  }
  bool Open() override { return dialog_->isVisible(); }
  bool SavePicture(const std::string& path) override {
    return dialog_->grab().save(QString::fromStdString(path), "PNG");
  }

 private:
  QWidget* Find(const std::string& name) const {
    return dialog_->findChild<QWidget*>(QString::fromStdString(name));
  }
  QWidget* Target() const {
    QWidget* focus = dialog_->focusWidget();
    return focus ? focus : dialog_;
  }

  QDialog* dialog_;
};

}  // namespace

}  // namespace kvo::view_test

// fontconfig, under Qt, keeps a cache to the end that LeakSanitizer cannot see freed.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n";
}

namespace kvo::view_test {

std::unique_ptr<DialogDriver> MakeDriver(void* native_window) {
  return std::make_unique<QtDriver>(static_cast<QDialog*>(native_window));
}

}  // namespace kvo::view_test
