// Forms: size constraints, the creation event, closing, key preview and centring on the desktop.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/form.h"
#include "runtime/object.h"

namespace kvo {
namespace {

TEST(Constraints, AreAppliedWheneverTheSizeIsSet) {
  struct Case {
    int32_t min_w, min_h, max_w, max_h;
    int32_t set_w, set_h;
    int32_t width, height;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 10, 5000, 10, 5000},          // no limits
      {370, 430, 0, 430, 200, 100, 370, 430},    // fixed height, minimum width
      {370, 430, 0, 430, 900, 900, 900, 430},    // no maximum width
      {100, 100, 200, 200, 150, 150, 150, 150},  // inside the limits
      {300, 0, 200, 0, 250, 10, 300, 10},        // a minimum above the maximum wins
  };
  for (const Case& c : cases) {
    TForm form(nullptr);
    form.Constraints().MinWidth = c.min_w;
    form.Constraints().MinHeight = c.min_h;
    form.Constraints().MaxWidth = c.max_w;
    form.Constraints().MaxHeight = c.max_h;
    form.SetBounds(5, 6, c.set_w, c.set_h);
    EXPECT_EQ(form.Width(), c.width) << c.set_w << "x" << c.set_h;
    EXPECT_EQ(form.Height(), c.height) << c.set_w << "x" << c.set_h;
    EXPECT_EQ(form.Left(), 5);
  }
}

TEST(Constraints, AssigningNewConstraintsResizesAFormOutsideThem) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 100, 100);
  TSizeConstraints fixed;
  fixed.MinHeight = fixed.MaxHeight = 430;
  form.SetConstraints(fixed);
  EXPECT_EQ(form.Height(), 430);
  EXPECT_EQ(form.Width(), 100);
}

class CreatedForm : public TForm {
 public:
  explicit CreatedForm(std::vector<std::string>* log) : TForm(nullptr), log_(log) {
    Caption = "set by the constructor";
    OnCreate = [this](TObject& sender) {
      log_->push_back(std::string("create sees ") + Caption + (&sender == this ? " from itself" : ""));
    };
  }
  void Loaded() override {
    TForm::Loaded();
    log_->push_back("loaded");
  }

 private:
  std::vector<std::string>* log_;
};

TEST(Form, CreationEventRunsOnceAfterTheWholeConstructorAndLoaded) {
  std::vector<std::string> log;
  std::unique_ptr<CreatedForm> form(Create<CreatedForm>(&log));
  EXPECT_EQ(log, (std::vector<std::string>{"loaded", "create sees set by the constructor from itself"}));
  EXPECT_FALSE(form->Loading());
}

TEST(Form, ClosingWithoutAResultReportsCancelAndTheHandlerChoosesTheAction) {
  struct Case {
    int32_t result_before;
    bool handler_frees;
    int32_t result_after;
    TCloseAction action;
    bool visible_after;
  };
  const Case cases[] = {
      {mrNone, false, mrCancel, TCloseAction::caHide, false},
      {mrOk, false, mrOk, TCloseAction::caHide, false},
      {mrNone, true, mrCancel, TCloseAction::caFree, true},
  };
  for (const Case& c : cases) {
    TForm form(nullptr);
    form.ModalResult = c.result_before;
    int32_t seen = -1;
    form.OnClose = [&](TObject&, TCloseAction& action) {
      seen = form.ModalResult;
      if (c.handler_frees) action = TCloseAction::caFree;
    };
    EXPECT_EQ(form.Close(), c.action);
    EXPECT_EQ(form.ModalResult, c.result_after);
    EXPECT_EQ(seen, c.result_after);
    EXPECT_EQ(form.Visible(), c.visible_after);
  }
}

TEST(Form, KeyUpReachesTheFormOnlyWithKeyPreview) {
  for (bool preview : {false, true}) {
    TForm form(nullptr);
    form.KeyPreview = preview;
    std::vector<uint16_t> keys;
    form.OnKeyUp = [&](TObject&, uint16_t& key, TShiftState shift) {
      keys.push_back(key);
      EXPECT_TRUE(shift.Contains(TShiftKind::ssCtrl));
    };
    uint16_t key = kKeyEscape;
    form.KeyUp(key, TShiftState{TShiftKind::ssCtrl});
    EXPECT_EQ(keys, preview ? std::vector<uint16_t>{kKeyEscape} : std::vector<uint16_t>{});
  }
}

// Width and Height are the window's: the frame a view reports comes out of the client area, not on top.
TEST(Form, AWindowFrameTakesItsShareFromTheClientArea) {
  TForm form(nullptr);
  form.SetBorderWidth(3);
  form.SetBounds(0, 0, 487, 430);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetAlign(TAlign::alClient);
  struct Case {
    int32_t frame_w, frame_h;
  };
  for (const Case& c : {Case{16, 39}, Case{4, 4}, Case{0, 0}}) {
    form.SetFrameSize(c.frame_w, c.frame_h);
    EXPECT_EQ(form.Width(), 487) << c.frame_w;
    EXPECT_EQ(form.Height(), 430) << c.frame_w;
    EXPECT_EQ(form.ClientWidth(), 487 - 6 - c.frame_w) << c.frame_w;
    EXPECT_EQ(form.ClientHeight(), 430 - 6 - c.frame_h) << c.frame_w;
    EXPECT_EQ(panel->Width(), form.ClientWidth()) << c.frame_w;
    EXPECT_EQ(panel->Height(), form.ClientHeight()) << c.frame_w;
  }
}

TEST(Form, CentreOnDesktopUsesTheInjectedDesktopSize) {
  struct Case {
    int32_t desktop_w, desktop_h, left, top;
  };
  const Case cases[] = {{1024, 768, 262, 184}, {1920, 1080, 710, 340}, {500, 400, 0, 0}};
  for (const Case& c : cases) {
    TForm::SetDesktopSize(c.desktop_w, c.desktop_h);
    TForm form(nullptr);
    form.SetBounds(1, 2, 500, 400);
    form.CentreOnDesktop();
    EXPECT_EQ(form.Left(), c.left) << c.desktop_w;
    EXPECT_EQ(form.Top(), c.top) << c.desktop_w;
    EXPECT_EQ(form.Width(), 500);
    EXPECT_EQ(form.Height(), 400);
  }
  TForm::SetDesktopSize(1024, 768);
}

}  // namespace
}  // namespace kvo
