// The plan tree with one catalogue list of N plans, in the main window's skin (main_frame.xml):
// - the tree's refresh after an AllPlanRsp (AddOrUpdatePlan for each plan, then
//   RemoveStalePlans), when the rows are new and when they exist already, at 1,000 and 10,000
//   plans (linear growth means a tenfold time), beside the floor every refresh must pay: reading
//   each plan under the catalogue's lock and making its texts, without any control;
// - a full repaint of the 600 x 800 window with the tree scrolled to the middle of 10,000 rows, and
//   one wheel notch followed by the repaint, in SDL's software renderer, beside drawing the same
//   visible rows straight through SDL.
// Run with SDL_VIDEODRIVER=offscreen when there is no display (set here unless the run chose).
#include <SDL.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "games/hall/app/my_match.h"
#include "games/hall/app/plan_row_text.h"
#include "games/hall/app/testing/plan_catalogue.h"
#include "games/hall/app/testing/plan_views_host.h"
#include "games/hall/app/testing/recording_hall_gate.h"
#include "skinui/sdl/sdl_backend.h"
#include "skinui/test_driver.h"

namespace {

constexpr uint32_t kGroup = 1;
constexpr uint32_t kList = 100;
constexpr int kWidth = 600;
constexpr int kHeight = 800;

const char* const kNames[] = {"斗地主每日红包赛", "掼蛋千人积分赛", "升级周末大奖赛",
                              "跑得快话费赛",     "四川麻将冠军赛", "中国象棋闯关赛",
                              "德州扑克夜场赛"};

// The hall over a catalogue of one list of `plans` plans, each with a start point, and the main
// window's skin holding the views.
class BigList {
 public:
  explicit BigList(int plans) {
    skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
    fixture_.SetGroups({{kGroup, "斗地主"}});
    fixture_.SetLists(kGroup, {{kList, "大奖赛"}});
    std::vector<hall::testing::PlanSpec> specs;
    for (int i = 0; i < plans; ++i) {
      hall::testing::PlanSpec spec;
      spec.plan_id = static_cast<uint32_t>(10000 + i);
      spec.name = kNames[i % 7];
      spec.plan_type = 1 + i % 2;
      spec.fixed_count = 30;
      spec.free_join = i % 5 == 0;
      spec.show_join = "500金币";
      specs.push_back(spec);
      ids_.push_back(spec.plan_id);
    }
    fixture_.SetPlans(kGroup, kList, specs);
    for (uint32_t id : ids_)
      fixture_.SetStartPoint(kGroup, id, id % 31, 30, 20240315193000);
    gate_.SetCatalogue(&fixture_.catalogue());
    hall::PlanViewLinks links;
    links.gate = &gate_;
    links.my_match = &my_match_;
    links.clock = &clock_;
    host_ = std::make_unique<hall::testing::PlanViewsHost>(links, "main_frame.xml");
    host_->Open(kWidth, kHeight);
    tree().SetCurrentGroup(kGroup);
    tree().ClearShownTypes();
    tree().AddType(kList);
  }
  ~BigList() { host_->DestroyWindow(); }

  hall::UIPlanList& tree() { return *host_->tree(); }
  hall::testing::PlanViewsHost& host() { return *host_; }

  // What the main window does with an AllPlanRsp of the list.
  void Refresh() {
    tree().ClearShownPlans();
    for (uint32_t id : ids_)
      tree().AddOrUpdatePlan(kList, id);
    tree().RemoveStalePlans(kList);
  }
  // The type without its rows.
  void Empty() {
    tree().RemoveType(kList);
    tree().AddType(kList);
  }
  // The work a refresh cannot avoid: each plan read under the lock and its texts made.
  size_t MakeTexts() {
    size_t bytes = 0;
    qv::hallclient::PlanSimpleInfo info;  // parsed into again for each plan, as the tree does
    for (uint32_t id : ids_) {
      const bool signed_up = my_match_.FindSignup(id).has_value();
      bytes += fixture_.catalogue().Read([&](const qvc::PlanList::View& view) {
        view.FindPlan(id)->ReadInfo(&info);
        const hall::PlanRowTexts t =
            hall::MakePlanRowTexts(info, id, view.FindStartPoints(id), signed_up, clock_);
        return t.title.size() + t.join_count.size() + t.join_term.size();
      });
    }
    return bytes;
  }

 private:
  hall::testing::CatalogueFixture fixture_;
  hall::testing::RecordingHallGate gate_;
  hall::MyMatch my_match_;
  platform::ManualClock clock_{0, 1710504000};
  std::vector<uint32_t> ids_;
  std::unique_ptr<hall::testing::PlanViewsHost> host_;
};

void BM_TreeRefreshNewRows(benchmark::State& state) {
  skinui::SetBackend(nullptr);  // the model and its rows alone
  BigList hall(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    hall.Empty();
    state.ResumeTiming();
    hall.Refresh();
  }
  state.counters["rows"] = static_cast<double>(hall.tree().GetCount());
}
BENCHMARK(BM_TreeRefreshNewRows)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

void BM_TreeRefreshExistingRows(benchmark::State& state) {
  skinui::SetBackend(nullptr);
  BigList hall(static_cast<int>(state.range(0)));
  hall.Refresh();
  for (auto _ : state)
    hall.Refresh();
  state.counters["rows"] = static_cast<double>(hall.tree().GetCount());
}
BENCHMARK(BM_TreeRefreshExistingRows)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

void BM_RowTextsWithoutControlsBaseline(benchmark::State& state) {
  skinui::SetBackend(nullptr);
  BigList hall(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(hall.MakeTexts());
}
BENCHMARK(BM_RowTextsWithoutControlsBaseline)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

skinui::SdlBackend* Sdl() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  static skinui::SdlBackend* backend = new skinui::SdlBackend;
  return backend->ok() ? backend : nullptr;
}

// The window painted once (layout and text pictures) with the tree scrolled to its middle.
void ScrollToMiddle(BigList& hall) {
  hall.Refresh();
  hall.host().GetPaintManager().Paint();
  hall.tree().SetScrollPos(hall.tree().GetScrollRange() / 2);
  hall.host().GetPaintManager().Paint();
}

void BM_RepaintScrolledToMiddle(benchmark::State& state) {
  skinui::SdlBackend* sdl = Sdl();
  if (sdl == nullptr) {
    state.SkipWithError("no SDL");
    return;
  }
  skinui::SetBackend(sdl);
  {
    BigList hall(10000);
    ScrollToMiddle(hall);
    for (auto _ : state) {
      hall.host().GetPaintManager().Invalidate();
      hall.host().GetPaintManager().Paint();
    }
    state.counters["scroll"] = hall.tree().GetScrollPos();
  }
  skinui::SetBackend(nullptr);
}
BENCHMARK(BM_RepaintScrolledToMiddle)->Unit(benchmark::kMillisecond);

void BM_WheelNotchAndRepaint(benchmark::State& state) {
  skinui::SdlBackend* sdl = Sdl();
  if (sdl == nullptr) {
    state.SkipWithError("no SDL");
    return;
  }
  skinui::SetBackend(sdl);
  {
    BigList hall(10000);
    ScrollToMiddle(hall);
    const RECT area = hall.tree().GetPos();
    const LPARAM at = MAKELPARAM(static_cast<WORD>((area.left + area.right) / 2),
                                 static_cast<WORD>((area.top + area.bottom) / 2));
    skinui::TestDriver driver;
    int notch = 0;
    for (auto _ : state) {
      // Down and up in turn, so the view stays in the middle.
      const WORD delta = (notch++ % 2 == 0) ? static_cast<WORD>(-120) : WORD{120};
      skinui::PostMessage(hall.host().GetHWND(), WM_MOUSEWHEEL,
                          static_cast<WPARAM>(MAKELPARAM(0, delta)), at);
      driver.RunUntilIdle();
      hall.host().GetPaintManager().Paint();
    }
  }
  skinui::SetBackend(nullptr);
}
BENCHMARK(BM_WheelNotchAndRepaint)->Unit(benchmark::kMillisecond);

// The visible rows of the tree drawn straight through SDL: fills, lines, pre-rendered texts and
// the button strips' cells; no tree, no layout.
void BM_RawSdlRepaintBaseline(benchmark::State& state) {
  if (Sdl() == nullptr) {
    state.SkipWithError("no SDL");
    return;
  }
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer* r = SDL_CreateSoftwareRenderer(surface);
  TTF_Font* font = TTF_OpenFont(skinui::kDefaultFontFile, 13);
  constexpr int kTreeTop = 152, kTreeBottom = 556, kRowHeight = 32;
  const int visible = (kTreeBottom - kTreeTop) / kRowHeight + 2;
  std::vector<SDL_Texture*> texts;
  for (int i = 0; i < visible * 4 + 40; ++i) {
    SDL_Surface* t = TTF_RenderUTF8_Blended(
        font, (std::string(kNames[i % 7]) + "(" + std::to_string(10000 + i) + ")").c_str(),
        SDL_Color{0x33, 0x33, 0x33, 255});
    texts.push_back(SDL_CreateTextureFromSurface(r, t));
    SDL_FreeSurface(t);
  }
  for (auto _ : state) {
    SDL_SetRenderDrawColor(r, 0xF7, 0xF9, 0xFC, 255);
    SDL_RenderClear(r);
    size_t n = 0;
    SDL_RenderSetClipRect(r, nullptr);
    for (int row = 0; row < visible; ++row) {
      const SDL_Rect bar{116, kTreeTop + row * kRowHeight - 10, kWidth - 116, kRowHeight};
      SDL_SetRenderDrawColor(r, 255, 255, 255, 255);
      SDL_RenderFillRect(r, &bar);
      SDL_SetRenderDrawColor(r, 0xE3, 0xE9, 0xF1, 255);
      SDL_RenderDrawLine(r, bar.x, bar.y + kRowHeight - 1, kWidth, bar.y + kRowHeight - 1);
      for (int c = 0; c < 4; ++c) {
        int tw = 0, th = 0;
        SDL_QueryTexture(texts[n], nullptr, nullptr, &tw, &th);
        const SDL_Rect d{148 + c * 84, bar.y + 8, std::min(tw, 84), th};
        SDL_RenderCopy(r, texts[n++], nullptr, &d);
      }
      const SDL_Rect button{528, bar.y + 4, 64, 24};
      SDL_SetRenderDrawColor(r, 0x3A, 0x73, 0xB8, 255);
      SDL_RenderFillRect(r, &button);
    }
    SDL_RenderPresent(r);
  }
  for (SDL_Texture* t : texts)
    SDL_DestroyTexture(t);
  TTF_CloseFont(font);
  SDL_DestroyRenderer(r);
  SDL_FreeSurface(surface);
}
BENCHMARK(BM_RawSdlRepaintBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
