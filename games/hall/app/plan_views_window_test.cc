// The catalogue views drawn for real (SDL offscreen, or a display the run chose), driven through
// the real event path: the wheel, a type's fold button and a row's sign-up button.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "games/hall/app/plan_row_text.h"
#include "games/hall/app/testing/plan_views_fixture.h"
#include "skinui/sdl/sdl_backend.h"

namespace hall {
namespace {

using testing::PlanViewsTest;

// One screenshot, read back for its pixels.
class Picture {
 public:
  explicit Picture(const std::string& png) {
    if (SDL_Surface* raw = IMG_Load(png.c_str())) {
      surface_ = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0);
      SDL_FreeSurface(raw);
    }
  }
  ~Picture() {
    if (surface_ != nullptr)
      SDL_FreeSurface(surface_);
  }
  bool ok() const { return surface_ != nullptr; }
  uint32_t At(int x, int y) const {
    return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(surface_->pixels) +
                                             y * surface_->pitch)[x];
  }
  // Pixels of `r` that differ from its top-left pixel.
  int InkIn(const RECT& r) const {
    const uint32_t bg = At(r.left, r.top);
    int ink = 0;
    for (int y = r.top; y < r.bottom && y < surface_->h; ++y) {
      for (int x = r.left; x < r.right && x < surface_->w; ++x)
        ink += At(x, y) != bg;
    }
    return ink;
  }

 private:
  SDL_Surface* surface_ = nullptr;
};

// Which of red, green and blue is strongest at a pixel.
char Hue(uint32_t argb) {
  const int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  if (r > g && r > b)
    return 'r';
  return g > b ? 'g' : 'b';
}

class PlanViewsWindowTest : public PlanViewsTest {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    static skinui::SdlBackend* backend = new skinui::SdlBackend;  // SDL stays up for the process
    ASSERT_TRUE(backend->ok()) << backend->error();
    skinui::SetBackend(backend);
  }
  void TearDown() override {
    if (host_ != nullptr && host_->GetHWND() != nullptr)
      host_->DestroyWindow();
    host_ = nullptr;
    skinui::SetBackend(nullptr);
  }
  std::string Shot(const std::string& name) {
    const std::string png = ::testing::TempDir() + name;
    EXPECT_TRUE(skinui::TestDriver::SaveScreenshot(*host_, png));
    return png;
  }
  // The sample hall: three games of 120 plans each, the first one shown.
  void OpenSampleHall(const std::string& skin = PLAN_VIEWS_HOST_SKIN) {
    testing::FillSampleHall(fixture_, 3, 120, testing::kTestToday);
    host_ = std::make_unique<testing::PlanViewsHost>(Links(), skin);
    host_->Open();
    driver_.RunUntilIdle();
    ASSERT_NE(host_->bar(), nullptr);
    host_->bar()->Rebuild();
    host_->hot()->Refresh();
    driver_.RunUntilIdle();
  }
  PlanTreeNode* FirstType() { return tree().root().children().front().get(); }
};

TEST_F(PlanViewsWindowTest, TheWheelScrollsTheTreeAndTheRowsMoveUp) {
  OpenSampleHall();
  const std::string before = Shot("plan_views_tree.png");
  const RECT area = tree().GetPos();
  const POINT probe{area.left + 60, area.top + 40};
  skinui::CControlUI* top_row = host_->GetPaintManager().FindControl(probe);
  for (int i = 0; i < 10; ++i) {
    skinui::PostMessage(host_->GetHWND(), WM_MOUSEWHEEL,
                        static_cast<WPARAM>(MAKELPARAM(0, static_cast<WORD>(-120))),
                        MAKELPARAM(static_cast<WORD>(probe.x), static_cast<WORD>(probe.y)));
  }
  driver_.RunUntilIdle();
  EXPECT_EQ(tree().GetScrollPos(), 300);
  skinui::CControlUI* now = host_->GetPaintManager().FindControl(probe);
  EXPECT_NE(now, top_row);
  const std::string after = Shot("plan_views_tree_scrolled.png");
  Picture a(before), b(after);
  ASSERT_TRUE(a.ok() && b.ok());
  int changed = 0;
  for (int y = area.top; y < area.bottom; y += 2) {
    for (int x = area.left; x < area.right; x += 2)
      changed += a.At(x, y) != b.At(x, y);
  }
  EXPECT_GT(changed, 1000) << "the tree was drawn again, scrolled";
}

TEST_F(PlanViewsWindowTest, TheFoldButtonFoldsATypeAndTheNextTypeMovesUnderIt) {
  OpenSampleHall();
  PlanTreeNode* first = FirstType();
  PlanTreeNode* second = tree().root().children().at(1).get();
  const RECT first_row = first->data().row->GetPos();
  ASSERT_GT(second->data().row->GetPos().top, first_row.bottom + 5 * UIPlanList::kRowHeight);
  ASSERT_TRUE(driver_.Click(*host_, "btn_pl_type_fold"));
  EXPECT_FALSE(first->data().expanded);
  driver_.RunUntilIdle();
  EXPECT_EQ(second->data().row->GetPos().top, first_row.bottom);
  const Picture shot(Shot("plan_views_folded.png"));
  ASSERT_TRUE(shot.ok());
  EXPECT_GT(shot.InkIn(first->data().row->FindByName("btn_pl_type_expand")->GetPos()), 10)
      << "the unfold triangle is drawn";
}

TEST_F(PlanViewsWindowTest, ASignupButtonStartsTheFlowWithItsPlanAndShowsItsState) {
  OpenSampleHall();
  // The first type's rows, top to bottom: find one of each look.
  PlanTreeNode* first = FirstType();
  ASSERT_FALSE(first->children().empty());
  PlanTreeNode* item = first->children().back().get();  // the top row under the type
  const auto plan = static_cast<uint32_t>(item->data().id);
  ASSERT_NE(item->data().signup_button, nullptr);
  ASSERT_TRUE(item->data().signup_button->IsVisible());
  ASSERT_TRUE(driver_.ClickControl(*host_, item->data().signup_button));
  EXPECT_EQ(signups_, (std::vector<uint32_t>{plan}));

  // The colour of each state's button as drawn: blue, green (free), red (withdraw). The tree is
  // scrolled to where the first type's free plans end and the next type's begin.
  PlanTreeNode* second = tree().root().children().at(1).get();
  for (const PlanTreeNode* row :
       {first->children().front().get(), second->children().back().get()}) {
    Join(static_cast<uint32_t>(row->data().id));
    tree().RefreshPlanRow(static_cast<uint32_t>(row->data().id));
  }
  tree().SetScrollPos(second->data().row->GetPos().top - tree().GetPos().top - 150);
  driver_.RunUntilIdle();
  const Picture shot(Shot("plan_views_buttons.png"));
  ASSERT_TRUE(shot.ok());
  std::string hues;
  for (const auto& type : tree().root().children()) {
    for (const auto& node : type->children()) {
      skinui::CButtonUI* button = node->data().signup_button;
      const RECT area = tree().GetPos();
      if (button == nullptr || !button->IsVisible() || button->GetPos().top < area.top ||
          button->GetPos().bottom > area.bottom)
        continue;
      const RECT r = button->GetPos();
      const char hue = Hue(shot.At(r.left + 4, (r.top + r.bottom) / 2));
      const std::string& image = button->GetButtonImage();
      SCOPED_TRACE(image);
      EXPECT_EQ(hue, image == kWithdrawImage ? 'r' : image == kFreeSignupImage ? 'g' : 'b');
      if (hues.find(hue) == std::string::npos)
        hues += hue;
    }
  }
  std::sort(hues.begin(), hues.end());
  EXPECT_EQ(hues, "bgr") << "each look was on show";
}

TEST_F(PlanViewsWindowTest, TheMainWindowsSkinHoldsTheViewsAndTheBarsTemplate) {
  OpenSampleHall("main_frame.xml");
  EXPECT_EQ(host_->bar()->options().size(), 3u);
  EXPECT_EQ(host_->bar()->SelectedGroup(), 1u);
  EXPECT_FALSE(tree().root().children().empty());
  EXPECT_EQ(host_->hot()->rows().size(), HotMatchList::kMaxRows);
  const Picture shot(Shot("plan_views_main_frame.png"));
  ASSERT_TRUE(shot.ok());
  EXPECT_GT(shot.InkIn(host_->hot()->rows().front().name->GetPos()), 100);
  EXPECT_GT(shot.InkIn(host_->bar()->options().front()->GetPos()), 100);
}

}  // namespace
}  // namespace hall
