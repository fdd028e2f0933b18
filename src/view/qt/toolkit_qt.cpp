// The form model drawn with Qt Widgets. Every control becomes a direct child widget of one QDialog, placed
// at its form rectangle (containers first, so they stay below), and named after the control, so that
// automation finds "var1" by object name. Resizing the dialog resizes the model, whose layout rules
// (constraints, alignment, anchors, OnResize handlers) decide where every widget goes next. The model's
// size is the window's with its frame, which Qt knows only once the window exists: until then the frame
// last seen stands in, and when the real one differs the model learns it and the window keeps its size.
//
// Thread contract: Qt's widgets live on the thread of the application object. The view makes that object
// on the first call's thread when the host has none (and keeps it for the life of the process); calls
// from any other thread are refused, as are calls into a host's Qt running on another thread.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/application.h"
#include "view/layout.h"
#include "view/toolkit.h"

namespace kvo::view {
namespace {

// No limits in the model: a range wide enough for any band a person types.
constexpr double kUnlimited = 1e15;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// Key codes as the model knows them (the Windows virtual-key numbers), 0 for keys it has no use for.
uint16_t ModelKey(int qt_key) {
  switch (qt_key) {
    case Qt::Key_Escape:
      return kKeyEscape;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_F1:
      return 112;
    default:
      break;
  }
  if ((qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) || (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z))
    return static_cast<uint16_t>(qt_key);
  return 0;
}

TShiftState ModelShift(Qt::KeyboardModifiers modifiers) {
  TShiftState shift;
  if (modifiers & Qt::ShiftModifier) shift.Include(TShiftKind::ssShift);
  if (modifiers & Qt::AltModifier) shift.Include(TShiftKind::ssAlt);
  if (modifiers & Qt::ControlModifier) shift.Include(TShiftKind::ssCtrl);
  return shift;
}

struct Binding {
  TControl* control;
  QWidget* widget;
  ControlKind kind;
};

// The frame of the last window shown, for the next one before its own is known.
std::atomic<int> g_frame_width{0};
std::atomic<int> g_frame_height{0};

class FormDialog : public QDialog {
 public:
  FormDialog(TCustomForm& form, QWidget* owner) : QDialog(owner), form_(form) {
    setObjectName(Q(form.Name()));
    setWindowTitle(Q(form.Caption));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (form.BorderIcons.Contains(TBorderIcon::biSystemMenu))
      flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (form.BorderIcons.Contains(TBorderIcon::biHelp)) flags |= Qt::WindowContextHelpButtonHint;
    setWindowFlags(flags);
    QFont font = this->font();
    if (form.Font().Height > 0) font.setPixelSize(form.Font().Height);
    setFont(font);
    for (TControl* control : ControlsInPaintOrder(form))
      Bind(*control);
    QWidget* previous = nullptr;
    for (TWinControl* control : TabSequence(form)) {
      QWidget* widget = WidgetOf(control);
      if (widget == nullptr) continue;
      if (previous != nullptr) setTabOrder(previous, widget);
      previous = widget;
    }
    ModelToWidgets();
    installEventFilter(this);
    // The native window now, so that its frame is known where the platform tells it before showing.
    create();
    QSize frame(g_frame_width.load(), g_frame_height.load());
    if (QWindow* window = windowHandle()) {
      const QMargins m = window->frameMargins();
      if (!m.isNull()) frame = QSize(m.left() + m.right(), m.top() + m.bottom());
    }
    ApplyFrame(frame);
    QPoint place(form.Left(), form.Top());
    if (form.Position == TPosition::poScreenCenter) place = ScreenCentre(owner);
    move(place);
  }

  // The dialog is to end: the widgets' values go to the model, whose Close decides.
  void done(int result) override {
    if (closed_) return QDialog::done(result);
    WidgetsToModel();
    if (!CloseModal(form_)) return;
    closed_ = true;
    QDialog::done(result);
  }
  bool Closed() const { return closed_; }

  // What the user changed goes back into the model.
  void WidgetsToModel() {
    for (const Binding& b : bindings_) {
      if (b.kind == ControlKind::kComboBox) {
        auto* model = static_cast<TComboBox*>(b.control);
        auto* combo = static_cast<QComboBox*>(b.widget);
        if (combo->isEditable()) {
          const std::string text = combo->currentText().toStdString();
          const int index = combo->currentIndex();
          if (index >= 0 && combo->itemText(index) == combo->currentText()) {
            model->SetItemIndex(index);
          } else {
            model->SetText(text);
          }
        } else {
          model->SetItemIndex(combo->currentIndex());
        }
      } else if (b.kind == ControlKind::kSpinEdit) {
        auto* spin = static_cast<QDoubleSpinBox*>(b.widget);
        spin->interpretText();
        static_cast<TRxSpinEdit*>(b.control)->SetValue(spin->value());
      }
    }
    LearnFrame();
    const QRect frame = frameGeometry();
    form_.SetBounds(frame.x(), frame.y(), frame.width(), frame.height());
  }

 protected:
  void showEvent(QShowEvent* event) override {
    QDialog::showEvent(event);
    LearnFrame();
    if (QWidget* focus = WidgetOf(form_.ActiveControl())) focus->setFocus(Qt::OtherFocusReason);
    if (!hook_ran_) {
      hook_ran_ = true;
      QTimer::singleShot(0, this, [this] { RunShownHook(this); });
    }
  }

  void resizeEvent(QResizeEvent* event) override {
    QDialog::resizeEvent(event);
    if (!applying_ && LearnFrame()) return;
    const int outer_width = width() + frame_.width();
    const int outer_height = height() + frame_.height();
    if (outer_width != form_.Width() || outer_height != form_.Height()) {
      form_.SetBounds(form_.Left(), form_.Top(), outer_width, outer_height);
    }
    PlaceWidgets();
  }

  void moveEvent(QMoveEvent* event) override {
    QDialog::moveEvent(event);
    if (!applying_) LearnFrame();
  }

  // Escape is the form's to handle (on release); Enter still clicks the default button.
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape) {
      event->accept();
      return;
    }
    QDialog::keyPressEvent(event);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_F1) {
        Help(ModelOf(QApplication::focusWidget()));
        return true;
      }
    } else if (event->type() == QEvent::KeyRelease) {
      auto* key_event = static_cast<QKeyEvent*>(event);
      if (!key_event->isAutoRepeat()) {
        uint16_t key = ModelKey(key_event->key());
        if (key != 0) {
          form_.KeyUp(key, ModelShift(key_event->modifiers()));
          EndIfDecided();
        }
        return false;
      }
    } else if (event->type() == QEvent::EnterWhatsThisMode && watched == this) {
      Help(&form_);
      return true;
    }
    return QDialog::eventFilter(watched, event);
  }

 private:
  // The window with `frame` around the model's client area: limits and size follow the model's, which
  // count the frame.
  void ApplyFrame(QSize frame) {
    applying_ = true;
    frame_ = frame;
    form_.SetFrameSize(frame.width(), frame.height());
    const TSizeConstraints& c = form_.Constraints();
    auto inner = [](int32_t limit, int frame_part, int none) {
      return limit > 0 ? std::max(limit - frame_part, 0) : none;
    };
    setMinimumSize(inner(c.MinWidth, frame.width(), 0), inner(c.MinHeight, frame.height(), 0));
    setMaximumSize(inner(c.MaxWidth, frame.width(), QWIDGETSIZE_MAX),
                   inner(c.MaxHeight, frame.height(), QWIDGETSIZE_MAX));
    resize(std::max(form_.Width() - frame.width(), 0), std::max(form_.Height() - frame.height(), 0));
    applying_ = false;
    PlaceWidgets();
  }

  // Takes the frame the window has now, when it differs from the one assumed; true when it did.
  bool LearnFrame() {
    if (!isVisible()) return false;
    const QSize frame = frameGeometry().size() - size();
    if (frame.width() < 0 || frame.height() < 0 || frame == frame_) return false;
    g_frame_width.store(frame.width());
    g_frame_height.store(frame.height());
    ApplyFrame(frame);
    return true;
  }

  // The top-left corner that centres the window on the screen of the host's active window, else on the
  // primary screen (its part free of panels).
  QPoint ScreenCentre(QWidget* owner) const {
    QScreen* screen = owner != nullptr ? owner->screen() : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return QPoint(form_.Left(), form_.Top());
    const QRect area = screen->availableGeometry();
    return QPoint(area.x() + (area.width() - form_.Width()) / 2,
                  area.y() + (area.height() - form_.Height()) / 2);
  }

  void Help(const TControl* control) {
    const int32_t context = HelpContextFor(control ? control : &form_);
    if (context != 0) Application().HelpContext(context);
  }

  void EndIfDecided() {
    if (form_.ModalResult != mrNone && isVisible()) done(form_.ModalResult);
  }

  QWidget* WidgetOf(const TControl* control) const {
    for (const Binding& b : bindings_) {
      if (b.control == control) return b.widget;
    }
    return nullptr;
  }

  const TControl* ModelOf(const QWidget* widget) const {
    for (; widget != nullptr && widget != this; widget = widget->parentWidget()) {
      for (const Binding& b : bindings_) {
        if (b.widget == widget) return b.control;
      }
    }
    return nullptr;
  }

  void Bind(TControl& control) {
    const ControlKind kind = KindOf(control);
    QWidget* widget = nullptr;
    switch (kind) {
      case ControlKind::kLabel: {
        auto& label = static_cast<TLabel&>(control);
        auto* w = new QLabel(Q(label.Caption), this);
        w->setWordWrap(label.WordWrap);
        Qt::Alignment align = Qt::AlignLeft;
        align |= label.Layout == TTextLayout::tlCenter   ? Qt::AlignVCenter
                 : label.Layout == TTextLayout::tlBottom ? Qt::AlignBottom
                                                         : Qt::AlignTop;
        w->setAlignment(align);
        widget = w;
        break;
      }
      case ControlKind::kPanel: {
        auto& panel = static_cast<TPanel&>(control);
        auto* w = new QFrame(this);
        w->setFrameShape(panel.BevelOuter == TBevelCut::bvNone ? QFrame::NoFrame : QFrame::StyledPanel);
        widget = w;
        break;
      }
      case ControlKind::kGroupBox:
        widget = new QGroupBox(Q(static_cast<TGroupBox&>(control).Caption), this);
        break;
      case ControlKind::kBevel: {
        auto* w = new QFrame(this);
        w->setFrameShape(QFrame::HLine);
        w->setFrameShadow(static_cast<TBevel&>(control).Style == TBevelStyle::bsRaised ? QFrame::Raised
                                                                                       : QFrame::Sunken);
        widget = w;
        break;
      }
      case ControlKind::kButton: {
        auto& button = static_cast<TButton&>(control);
        auto* w = new QPushButton(Q(button.Caption), this);
        w->setDefault(button.Default);
        w->setAutoDefault(true);
        connect(w, &QPushButton::clicked, this, [this, &button] {
          button.Click();
          EndIfDecided();
        });
        widget = w;
        break;
      }
      case ControlKind::kComboBox: {
        auto* w = new QComboBox(this);
        w->setEditable(static_cast<TComboBox&>(control).Style() != TComboBoxStyle::csDropDownList);
        w->setInsertPolicy(QComboBox::NoInsert);
        widget = w;
        break;
      }
      case ControlKind::kSpinEdit: {
        auto& spin = static_cast<TRxSpinEdit&>(control);
        auto* w = new QDoubleSpinBox(this);
        w->setLocale(QLocale::c());
        // Decimals before the range and value, or the value is rounded to the old precision.
        w->setDecimals(spin.ValueType() == TValueType::vtFloat ? spin.Decimals() : 0);
        if (spin.MinValue() != 0.0 || spin.MaxValue() != 0.0) {
          w->setRange(spin.MinValue(), spin.MaxValue());
        } else {
          w->setRange(-kUnlimited, kUnlimited);
        }
        w->setSingleStep(spin.Increment);
        w->setKeyboardTracking(false);
        widget = w;
        break;
      }
      case ControlKind::kOther:
        return;
    }
    widget->setObjectName(Q(control.Name()));
    widget->setEnabled(control.Enabled());
    if (auto* windowed = dynamic_cast<TWinControl*>(&control); windowed && windowed->TabStop()) {
      widget->setFocusPolicy(Qt::StrongFocus);
    } else if (kind != ControlKind::kButton) {
      widget->setFocusPolicy(Qt::NoFocus);
    }
    widget->installEventFilter(this);
    for (QObject* child : widget->children()) {
      if (child->isWidgetType()) child->installEventFilter(this);
    }
    bindings_.push_back(Binding{&control, widget, kind});
  }

  void ModelToWidgets() {
    for (const Binding& b : bindings_) {
      if (b.kind == ControlKind::kComboBox) {
        auto* model = static_cast<TComboBox*>(b.control);
        auto* combo = static_cast<QComboBox*>(b.widget);
        combo->clear();
        for (int32_t i = 0; i < model->Items().Count(); ++i)
          combo->addItem(Q(model->Items()[i]));
        combo->setCurrentIndex(model->ItemIndex());
        if (combo->isEditable()) combo->setEditText(Q(model->Text()));
      } else if (b.kind == ControlKind::kSpinEdit) {
        static_cast<QDoubleSpinBox*>(b.widget)->setValue(static_cast<TRxSpinEdit*>(b.control)->Value());
      }
    }
  }

  void PlaceWidgets() {
    for (const Binding& b : bindings_) {
      Rect r = FormRect(*b.control);
      if (b.kind == ControlKind::kBevel) {
        // The line along the lower edge of the strip.
        const auto shape = static_cast<TBevel*>(b.control)->Shape;
        if (shape == TBevelShape::bsBottomLine) r = Rect{r.left, r.top + r.height - 2, r.width, 2};
        if (shape == TBevelShape::bsTopLine) r.height = 2;
      }
      b.widget->setGeometry(r.left, r.top, r.width, r.height);
      b.widget->setVisible(b.control->Visible());
    }
  }

  TCustomForm& form_;
  std::vector<Binding> bindings_;
  QSize frame_{0, 0};
  bool applying_ = false;
  bool hook_ran_ = false;
  bool closed_ = false;
};

// The application object the view made, when the host had none; it lives as long as the process.
QApplication* g_own_app = nullptr;

}  // namespace

bool ToolkitAvailable(std::string* reason) {
  if (QCoreApplication::instance() != nullptr) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
      if (reason) *reason = "the host's Qt application object has no widgets";
      return false;
    }
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
      if (reason) *reason = "Qt runs on another thread of this process";
      return false;
    }
    return true;
  }
  // Qt aborts the whole process when it finds no display: look before it does.
  const std::string platform = Env("QT_QPA_PLATFORM");
  const bool x11 = !Env("DISPLAY").empty();
  const bool wayland = !Env("WAYLAND_DISPLAY").empty();
  bool ok = true;
  if (platform.empty()) {
    ok = x11 || wayland;
  } else if (platform.rfind("xcb", 0) == 0) {
    ok = x11;
  } else if (platform.rfind("wayland", 0) == 0) {
    ok = wayland;
  }
  if (!ok && reason) *reason = "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
  return ok;
}

bool ToolkitRunModal(TCustomForm& form, std::string* reason) {
  {
    // Two first calls at once: one thread makes the application, the other is then refused.
    static std::mutex creation;
    std::lock_guard guard(creation);
    if (!ToolkitAvailable(reason)) return false;
    if (QCoreApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "kvo";
      static char* argv[] = {name, nullptr};
      g_own_app = new QApplication(argc, argv);
    }
  }
  auto dialog = std::make_unique<FormDialog>(form, QApplication::activeWindow());
  dialog->setModal(true);
  dialog->exec();
  if (!dialog->Closed()) {
    // Ended without asking the model (the application quit): the model still closes.
    dialog->WidgetsToModel();
    form.Close();
  }
  return true;
}

bool ToolkitMessageBox(void* owner_window, const std::string& text, const std::string& caption, bool error) {
  if (QCoreApplication::instance() == nullptr ||
      QThread::currentThread() != QCoreApplication::instance()->thread())
    return false;
  QMessageBox box(error ? QMessageBox::Critical : QMessageBox::NoIcon, Q(caption), Q(text), QMessageBox::Ok,
                  static_cast<QWidget*>(owner_window));
  box.setObjectName("kvoMessageBox");
  box.exec();
  return true;
}

}  // namespace kvo::view
