// The form model drawn with plain Win32 controls: a modeless dialog from an empty in-memory template,
// run in a modal loop of its own with the owner disabled, every model control a direct child window of
// the dialog (a group box would not pass on its children's notifications), placed at its form rectangle
// and tagged with the control's name as a window property for automation. Resizing the dialog resizes
// the model, whose layout rules decide where every child goes next. The model's size is the window's,
// frame included; its client area is what the frame leaves.
//
// Thread contract: the dialog belongs to the calling thread, whichever it is; its owner is that thread's
// active window (the host's), disabled while the dialog runs.
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "runtime/application.h"
#include "text/text_utils.h"
#include "view/layout.h"
#include "view/toolkit.h"

namespace kvo::view {
namespace {

constexpr int kFirstId = 100;
constexpr int kUpDownWidth = 17;
constexpr int kDropDownHeight = 200;
constexpr UINT kShownMessage = WM_APP + 1;
// No limits in the model: a range wide enough for any band a person types.
constexpr double kUnlimited = 1e15;
constexpr const char* kNameProperty = "kvo.name";

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

TShiftState CurrentShift() {
  TShiftState shift;
  if (GetKeyState(VK_SHIFT) < 0) shift.Include(TShiftKind::ssShift);
  if (GetKeyState(VK_MENU) < 0) shift.Include(TShiftKind::ssAlt);
  if (GetKeyState(VK_CONTROL) < 0) shift.Include(TShiftKind::ssCtrl);
  return shift;
}

struct Binding {
  TControl* control = nullptr;
  ControlKind kind = ControlKind::kOther;
  std::string name;  // the window property points at it while the window exists
  HWND window = nullptr;
  HWND up_down = nullptr;  // spin edits only
  int id = 0;
};

class FormDialog {
 public:
  explicit FormDialog(TCustomForm& form) : form_(form) {}

  // Runs the dialog; false when no window could be made.
  bool Run(HWND owner) {
    owner_ = owner;
    // DLGTEMPLATE, then empty menu, class and title: the controls are made in WM_INITDIALOG.
    alignas(4) WORD buffer[16] = {};
    auto* tmpl = reinterpret_cast<DLGTEMPLATE*>(buffer);
    tmpl->style = WS_POPUP | WS_CAPTION | WS_THICKFRAME | DS_MODALFRAME;
    if (form_.BorderIcons.Contains(TBorderIcon::biSystemMenu)) tmpl->style |= WS_SYSMENU;
    if (form_.BorderIcons.Contains(TBorderIcon::biMinimize)) tmpl->style |= WS_MINIMIZEBOX;
    if (form_.BorderIcons.Contains(TBorderIcon::biMaximize)) tmpl->style |= WS_MAXIMIZEBOX;
    tmpl->dwExtendedStyle = WS_EX_DLGMODALFRAME;
    // The title bar's help button shows only without minimise and maximise buttons.
    if (form_.BorderIcons.Contains(TBorderIcon::biHelp)) tmpl->dwExtendedStyle |= WS_EX_CONTEXTHELP;
    HINSTANCE instance = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Wide), &instance);
    dialog_ = CreateDialogIndirectParamW(instance, tmpl, owner, &DialogProc, reinterpret_cast<LPARAM>(this));
    if (dialog_ == nullptr) return false;
    const bool owner_enabled = owner != nullptr && IsWindowEnabled(owner);
    if (owner_enabled) EnableWindow(owner, FALSE);
    ShowWindow(dialog_, SW_SHOW);
    if (Binding* focus = BindingOf(form_.ActiveControl())) SetFocus(focus->window);
    PostMessageW(dialog_, kShownMessage, 0, 0);
    MSG msg;
    while (!ended_) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        // WM_QUIT belongs to the host's loop.
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (got < 0) break;
      Dispatch(msg);
    }
    if (!closed_) {
      // Ended without asking the model (WM_QUIT): the model still closes.
      WidgetsToModel();
      form_.Close();
    }
    if (owner_enabled) EnableWindow(owner, TRUE);
    for (Binding& b : bindings_) {
      if (b.window) RemovePropA(b.window, kNameProperty);
    }
    RemovePropA(dialog_, kNameProperty);
    DestroyWindow(dialog_);
    if (owner != nullptr) SetActiveWindow(owner);
    if (font_) DeleteObject(font_);
    return true;
  }

  // One message of the loop; the automation's own pumping does the same.
  void Dispatch(MSG& msg) {
    if (!IsDialogMessageW(dialog_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    FormDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
      self = reinterpret_cast<FormDialog*>(lparam);
      SetWindowLongPtrW(window, DWLP_USER, lparam);
      self->dialog_ = window;
    } else {
      self = reinterpret_cast<FormDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (self == nullptr) return FALSE;
    try {
      return self->Handle(message, wparam, lparam);
    } catch (...) {
      // Nothing escapes into the system's dialog code.
      return FALSE;
    }
  }

  // Keys reach the controls' windows, however the messages are pumped: the form sees key releases first
  // (Escape among them, which it handles on release), F1 asks for help, and the arrows step a spin edit.
  static LRESULT CALLBACK KeyProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR index,
                                  DWORD_PTR self_data) {
    auto* self = reinterpret_cast<FormDialog*>(self_data);
    try {
      if (self->OnKey(window, message, wparam, static_cast<size_t>(index))) return 0;
    } catch (...) {
      return 0;
    }
    return DefSubclassProc(window, message, wparam, lparam);
  }

  bool OnKey(HWND window, UINT message, WPARAM wparam, size_t index) {
    Binding& b = bindings_[index];
    if (message == WM_NCDESTROY) {
      RemoveWindowSubclass(window, &KeyProc, index);
      return false;
    }
    if (message == WM_KEYDOWN) {
      if (wparam == VK_ESCAPE) return true;
      if (wparam == VK_F1) {
        const int32_t context = HelpContextFor(b.control);
        if (context != 0) Application().HelpContext(context);
        return true;
      }
      if (b.kind == ControlKind::kSpinEdit && (wparam == VK_UP || wparam == VK_DOWN)) {
        Step(b, wparam == VK_UP ? 1 : -1);
        return true;
      }
    } else if (message == WM_KEYUP) {
      uint16_t key = static_cast<uint16_t>(wparam);
      form_.KeyUp(key, CurrentShift());
      EndIfDecided();
      return ended_;
    }
    return false;
  }

  INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
      case WM_INITDIALOG:
        Build();
        return FALSE;  // the focus is set after showing
      case kShownMessage:
        RunShownHook(dialog_);
        return TRUE;
      case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        // The model's limits are window sizes already.
        const TSizeConstraints& c = form_.Constraints();
        if (c.MinWidth > 0) info->ptMinTrackSize.x = c.MinWidth;
        if (c.MinHeight > 0) info->ptMinTrackSize.y = c.MinHeight;
        if (c.MaxWidth > 0) info->ptMaxTrackSize.x = c.MaxWidth;
        if (c.MaxHeight > 0) info->ptMaxTrackSize.y = c.MaxHeight;
        return TRUE;
      }
      case WM_SIZE: {
        if (built_) {
          RECT window{};
          GetWindowRect(dialog_, &window);
          const int width = window.right - window.left;
          const int height = window.bottom - window.top;
          if (width != form_.Width() || height != form_.Height())
            form_.SetBounds(form_.Left(), form_.Top(), width, height);
          // The model's constraints have the last word on the size.
          if (width != form_.Width() || height != form_.Height()) {
            SetWindowPos(dialog_, nullptr, 0, 0, form_.Width(), form_.Height(),
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
            return TRUE;
          }
          Place();
        }
        return TRUE;
      }
      case WM_COMMAND: {
        const int id = LOWORD(wparam);
        const int code = HIWORD(wparam);
        if (Binding* b = BindingOfId(id);
            b != nullptr && b->kind == ControlKind::kButton && code == BN_CLICKED) {
          static_cast<TButton*>(b->control)->Click();
          EndIfDecided();
          return TRUE;
        }
        // IDCANCEL without a control: Escape, which the form handles on its release.
        return id == IDCANCEL || id == IDOK;
      }
      case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->code == UDN_DELTAPOS) {
          const auto* change = reinterpret_cast<const NMUPDOWN*>(lparam);
          for (Binding& b : bindings_) {
            if (b.up_down == header->hwndFrom) Step(b, change->iDelta > 0 ? 1 : -1);
          }
          // The up-down control's own position does not matter: the edit holds the value.
          SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, 1);
          return TRUE;
        }
        return FALSE;
      }
      case WM_HELP: {
        const auto* info = reinterpret_cast<const HELPINFO*>(lparam);
        const TControl* control = &form_;
        if (info->iContextType == HELPINFO_WINDOW) {
          HWND window = static_cast<HWND>(info->hItemHandle);
          if (const Binding* b = BindingOfWindow(window)) control = b->control;
        }
        const int32_t context = HelpContextFor(control);
        if (context != 0) Application().HelpContext(context);
        return TRUE;
      }
      case WM_CLOSE:
        // Closing by the window: the model decides (no modal result means Cancel).
        End();
        return TRUE;
      default:
        return FALSE;
    }
  }

  // The window size for a client size.
  SIZE Outer(int width, int height) const {
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(dialog_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(dialog_, GWL_EXSTYLE)));
    return SIZE{r.right - r.left, r.bottom - r.top};
  }

  void Build() {
    SetPropA(dialog_, kNameProperty, const_cast<char*>(form_.Name().c_str()));
    SetWindowTextW(dialog_, Wide(form_.Caption).c_str());
    const TFont& f = form_.Font();
    font_ = CreateFontW(f.Height > 0 ? -f.Height : 0, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, f.Name.empty() ? L"MS Shell Dlg" : Wide(f.Name).c_str());
    // Tab order is creation order: first what takes no focus, then the focus's path.
    const std::vector<TWinControl*> tabs = TabSequence(form_);
    std::vector<TControl*> order;
    for (TControl* control : ControlsInPaintOrder(form_)) {
      auto* windowed = dynamic_cast<TWinControl*>(control);
      if (windowed == nullptr || !windowed->TabStop()) order.push_back(control);
    }
    order.insert(order.end(), tabs.begin(), tabs.end());
    bindings_.reserve(order.size());
    for (TControl* control : order)
      Make(*control);
    for (Binding& b : bindings_) {
      if (b.window) SendMessageW(b.window, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    // Enter clicks the default button unless another button has the focus.
    for (const Binding& b : bindings_) {
      if (b.kind == ControlKind::kButton && static_cast<TButton*>(b.control)->Default)
        SendMessageW(dialog_, DM_SETDEFID, static_cast<WPARAM>(b.id), 0);
    }
    ModelToWidgets();
    const SIZE frame = Outer(0, 0);
    form_.SetFrameSize(frame.cx, frame.cy);
    POINT place{form_.Left(), form_.Top()};
    if (form_.Position == TPosition::poScreenCenter) place = WorkAreaCentre();
    SetWindowPos(dialog_, nullptr, place.x, place.y, form_.Width(), form_.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    built_ = true;
    Place();
  }

  // The top-left corner that centres the window on the work area of the owner window's monitor (the
  // primary monitor without an owner).
  POINT WorkAreaCentre() const {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(owner_, MONITOR_DEFAULTTOPRIMARY);
    if (monitor == nullptr || !GetMonitorInfoW(monitor, &info)) return POINT{form_.Left(), form_.Top()};
    const RECT& area = info.rcWork;
    return POINT{area.left + (area.right - area.left - form_.Width()) / 2,
                 area.top + (area.bottom - area.top - form_.Height()) / 2};
  }

  void Make(TControl& control) {
    Binding b;
    b.control = &control;
    b.kind = KindOf(control);
    b.name = control.Name();
    b.id = kFirstId + static_cast<int>(bindings_.size());
    const wchar_t* window_class = nullptr;
    DWORD style = WS_CHILD;
    DWORD ex_style = 0;
    std::wstring text;
    switch (b.kind) {
      case ControlKind::kLabel: {
        auto& label = static_cast<TLabel&>(control);
        window_class = L"STATIC";
        style |= label.WordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
        text = Wide(label.Caption);
        break;
      }
      case ControlKind::kPanel:
        // A panel without a bevel only holds; it needs no window of its own.
        if (static_cast<TPanel&>(control).BevelOuter == TBevelCut::bvNone) break;
        window_class = L"STATIC";
        style |= SS_ETCHEDFRAME;
        break;
      case ControlKind::kGroupBox:
        window_class = L"BUTTON";
        style |= BS_GROUPBOX;
        text = Wide(static_cast<TGroupBox&>(control).Caption);
        break;
      case ControlKind::kBevel:
        window_class = L"STATIC";
        style |= SS_ETCHEDHORZ;
        break;
      case ControlKind::kButton: {
        auto& button = static_cast<TButton&>(control);
        window_class = L"BUTTON";
        style |= WS_TABSTOP | (button.Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        text = Wide(button.Caption);
        break;
      }
      case ControlKind::kComboBox:
        window_class = L"COMBOBOX";
        style |=
            WS_TABSTOP | WS_VSCROLL | CBS_AUTOHSCROLL |
            (static_cast<TComboBox&>(control).Style() == TComboBoxStyle::csDropDownList ? CBS_DROPDOWNLIST
                                                                                        : CBS_DROPDOWN);
        break;
      case ControlKind::kSpinEdit:
        window_class = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        ex_style |= WS_EX_CLIENTEDGE;
        break;
      case ControlKind::kOther:
        break;
    }
    if (window_class != nullptr) {
      b.window = CreateWindowExW(ex_style, window_class, text.c_str(), style, 0, 0, 0, 0, dialog_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), nullptr, nullptr);
    }
    if (b.window != nullptr && b.kind == ControlKind::kSpinEdit) {
      b.up_down = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0,
                                  0, dialog_, nullptr, nullptr, nullptr);
      if (b.up_down) SendMessageW(b.up_down, UDM_SETRANGE32, static_cast<WPARAM>(-1000000), 1000000);
    }
    bindings_.push_back(std::move(b));
    Binding& stored = bindings_.back();
    if (stored.window) {
      SetPropA(stored.window, kNameProperty, const_cast<char*>(stored.name.c_str()));
      EnableWindow(stored.window, control.Enabled());
      const auto index = static_cast<UINT_PTR>(bindings_.size() - 1);
      SetWindowSubclass(stored.window, &KeyProc, index, reinterpret_cast<DWORD_PTR>(this));
      // An editable combo box types into an edit window of its own.
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      if (stored.kind == ControlKind::kComboBox && GetComboBoxInfo(stored.window, &info) && info.hwndItem &&
          info.hwndItem != stored.window) {
        SetWindowSubclass(info.hwndItem, &KeyProc, index, reinterpret_cast<DWORD_PTR>(this));
      }
    }
  }

  void ModelToWidgets() {
    for (Binding& b : bindings_) {
      if (b.window == nullptr) continue;
      if (b.kind == ControlKind::kComboBox) {
        auto* model = static_cast<TComboBox*>(b.control);
        SendMessageW(b.window, CB_RESETCONTENT, 0, 0);
        for (int32_t i = 0; i < model->Items().Count(); ++i)
          SendMessageW(b.window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(model->Items()[i]).c_str()));
        SendMessageW(b.window, CB_SETCURSEL, static_cast<WPARAM>(model->ItemIndex()), 0);
        if (model->Style() != TComboBoxStyle::csDropDownList)
          SetWindowTextW(b.window, Wide(model->Text()).c_str());
      } else if (b.kind == ControlKind::kSpinEdit) {
        SetWindowTextW(b.window, Wide(static_cast<TRxSpinEdit*>(b.control)->Text()).c_str());
      }
    }
  }

  void WidgetsToModel() {
    for (Binding& b : bindings_) {
      if (b.window == nullptr) continue;
      if (b.kind == ControlKind::kComboBox) {
        auto* model = static_cast<TComboBox*>(b.control);
        const int index = static_cast<int>(SendMessageW(b.window, CB_GETCURSEL, 0, 0));
        if (model->Style() == TComboBoxStyle::csDropDownList) {
          model->SetItemIndex(index);
        } else {
          const std::string text = Narrow(WindowText(b.window));
          if (index >= 0 && index < model->Items().Count() && model->Items()[index] == text) {
            model->SetItemIndex(index);
          } else {
            model->SetText(text);
          }
        }
      } else if (b.kind == ControlKind::kSpinEdit) {
        static_cast<TRxSpinEdit*>(b.control)->SetText(Narrow(WindowText(b.window)));
      }
    }
    RECT window{};
    GetWindowRect(dialog_, &window);
    form_.SetBounds(window.left, window.top, window.right - window.left, window.bottom - window.top);
  }

  void Place() {
    HDWP batch = BeginDeferWindowPos(static_cast<int>(bindings_.size()) + 8);
    for (Binding& b : bindings_) {
      if (b.window == nullptr) continue;
      Rect r = FormRect(*b.control);
      if (b.kind == ControlKind::kBevel) {
        const auto shape = static_cast<TBevel*>(b.control)->Shape;
        if (shape == TBevelShape::bsBottomLine) r = Rect{r.left, r.top + r.height - 2, r.width, 2};
        if (shape == TBevelShape::bsTopLine) r.height = 2;
      }
      int height = r.height;
      if (b.kind == ControlKind::kComboBox) height += kDropDownHeight;  // its list's room
      int width = r.width;
      if (b.up_down != nullptr) width = r.width > kUpDownWidth ? r.width - kUpDownWidth : r.width;
      const UINT flags =
          SWP_NOZORDER | SWP_NOACTIVATE | (b.control->Visible() ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
      batch = DeferWindowPos(batch, b.window, nullptr, r.left, r.top, width, height, flags);
      if (b.up_down != nullptr)
        batch = DeferWindowPos(batch, b.up_down, nullptr, r.left + width, r.top, r.width - width, r.height,
                               flags);
    }
    EndDeferWindowPos(batch);
  }

  void Step(Binding& b, int direction) {
    auto* spin = static_cast<TRxSpinEdit*>(b.control);
    spin->SetText(Narrow(WindowText(b.window)));
    const double value = spin->Value() + direction * spin->Increment;
    if (value > -kUnlimited && value < kUnlimited) spin->SetValue(value);
    SetWindowTextW(b.window, Wide(spin->Text()).c_str());
  }

  void EndIfDecided() {
    if (form_.ModalResult != mrNone) End();
  }

  // The widgets' values go to the model, whose Close decides whether the dialog ends.
  void End() {
    if (ended_) return;
    WidgetsToModel();
    if (!CloseModal(form_)) return;
    closed_ = true;
    ended_ = true;
    ShowWindow(dialog_, SW_HIDE);
  }

  Binding* BindingOf(const TControl* control) {
    for (Binding& b : bindings_) {
      if (b.control == control && b.window != nullptr) return &b;
    }
    return nullptr;
  }
  Binding* BindingOfId(int id) {
    const int index = id - kFirstId;
    return index >= 0 && index < static_cast<int>(bindings_.size()) ? &bindings_[static_cast<size_t>(index)]
                                                                    : nullptr;
  }
  // The binding of a child window or of a window inside it (a combo box's edit).
  const Binding* BindingOfWindow(HWND window) const {
    for (; window != nullptr && window != dialog_; window = GetParent(window)) {
      for (const Binding& b : bindings_) {
        if (b.window == window || b.up_down == window) return &b;
      }
    }
    return nullptr;
  }

  TCustomForm& form_;
  std::vector<Binding> bindings_;
  HWND dialog_ = nullptr;
  HWND owner_ = nullptr;
  HFONT font_ = nullptr;
  bool built_ = false;
  bool ended_ = false;
  bool closed_ = false;
};

}  // namespace

bool ToolkitAvailable(std::string* reason) {
  // Without a display no top-level window can be made; ask with an invisible one.
  HWND probe = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               nullptr, nullptr);
  if (probe == nullptr) {
    if (reason) *reason = "no display (no window can be made)";
    return false;
  }
  DestroyWindow(probe);
  return true;
}

bool ToolkitRunModal(TCustomForm& form, std::string* reason) {
  static const bool common_controls = [] {
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&init) != FALSE;
  }();
  (void)common_controls;
  HWND owner = GetActiveWindow();
  FormDialog dialog(form);
  if (!dialog.Run(owner)) {
    if (reason) *reason = "the dialog window could not be made";
    return false;
  }
  return true;
}

bool ToolkitMessageBox(void* owner_window, const std::string& text, const std::string& caption, bool error) {
  MessageBoxW(static_cast<HWND>(owner_window), Wide(text).c_str(), Wide(caption).c_str(),
              MB_OK | (error ? MB_ICONERROR : 0u));
  return true;
}

}  // namespace kvo::view
