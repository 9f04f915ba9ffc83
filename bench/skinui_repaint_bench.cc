// Run with SDL_VIDEODRIVER=offscreen when there is no display (set here unless the run chose).
#include <SDL.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench/interleaved_main.h"
#include "skinui/control.h"
#include "skinui/list.h"
#include "skinui/sdl/sdl_backend.h"
#include "skinui/window_impl_base.h"

namespace {

constexpr int kRows = 1000;
constexpr int kWidth = 600;
constexpr int kHeight = 800;
constexpr int kRowHeight = 32;

std::string MainSkin() {
  std::string s =
      "<Window size=\"600,800\"><Font id=\"0\" size=\"13\" default=\"true\"/>"
      "<VerticalLayout bkcolor=\"#FFF0F4F8\">"
      "<HorizontalLayout height=\"60\" bkcolor=\"#FF3A73B8\">"
      "<Label name=\"NickNameText\" text=\"玩家昵称\" textcolor=\"#FFFFFFFF\" width=\"200\"/>"
      "<Label name=\"fee1_text\" text=\"1200\" width=\"80\"/><Control/>"
      "<Button name=\"closebtn\" text=\"关闭\" width=\"60\"/></HorizontalLayout>"
      "<HorizontalLayout><VerticalLayout width=\"120\" bkcolor=\"#FFE4EBF3\">";
  for (int g = 0; g < 8; ++g) {
    s += "<Option name=\"group_btn_" + std::to_string(g) +
         "\" group=\"gametype\" height=\"40\" text=\"游戏类型" + std::to_string(g) + "\"/>";
  }
  s += "</VerticalLayout><List name=\"plan_list\">";
  for (int i = 0; i < kRows; ++i) {
    s += "<ListContainerElement height=\"32\" name=\"plan_list_item\">"
         "<Label name=\"title\" text=\"每日积分赛 第" +
         std::to_string(i) +
         "场\"/>"
         "<Label name=\"count\" width=\"80\" text=\"" +
         std::to_string(i % 97) +
         "人报名\"/>"
         "<Label name=\"cond\" width=\"90\" text=\"满64人开赛\"/>"
         "<Button name=\"bt_signup\" width=\"70\" text=\"立即报名\" bkcolor=\"#FF5BA85B\"/>"
         "</ListContainerElement>";
  }
  s += "</List></HorizontalLayout></VerticalLayout></Window>";
  return s;
}

class MainLike : public skinui::WindowImplBase {
 public:
  explicit MainLike(const std::string* skin) : skin_(skin) {}
  const char* GetWindowClassName() const override { return "BenchMainFrame"; }
  skinui::CDuiString GetSkinFile() override { return *skin_; }

 private:
  const std::string* skin_;
};

// Whether the window was built whole: the plan list with every row.
bool BuiltWhole(MainLike& w) {
  auto* list = static_cast<skinui::CListUI*>(w.GetPaintManager().FindControl("plan_list"));
  return list != nullptr && list->GetCount() == kRows;
}

void BM_BuildAndLayoutMainSkin(benchmark::State& state) {
  skinui::SetBackend(nullptr);  // the model and layout alone
  const std::string skin = MainSkin();
  for (auto _ : state) {
    MainLike w(&skin);
    w.Create(nullptr, "bench", 0, 0, 0, 0, kWidth, kHeight);
    w.GetPaintManager().GetRoot()->SetPos(RECT{0, 0, kWidth, kHeight});
    if (!BuiltWhole(w)) {
      state.SkipWithError("the skin did not build whole");
      return;
    }
    w.DestroyWindow();
  }
}
BENCHMARK(BM_BuildAndLayoutMainSkin)->Unit(benchmark::kMillisecond);

skinui::SdlBackend& Sdl() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  static skinui::SdlBackend* backend = new skinui::SdlBackend;
  return *backend;
}

void BM_FullRepaint600x800(benchmark::State& state) {
  skinui::SdlBackend& sdl = Sdl();
  if (!sdl.ok()) {
    state.SkipWithError(sdl.error().c_str());
    return;
  }
  skinui::SetBackend(&sdl);
  const std::string skin = MainSkin();
  MainLike w(&skin);
  w.Create(nullptr, "bench", 0, 0, 0, 0, kWidth, kHeight);
  w.ShowWindow();
  if (!BuiltWhole(w)) {
    state.SkipWithError("the skin did not build whole");
    return;
  }
  auto* list = static_cast<skinui::CListUI*>(w.GetPaintManager().FindControl("plan_list"));
  list->SelectItem(3, false, false);
  w.GetPaintManager().Paint();  // first paint: layout and the text pictures
  for (auto _ : state) {
    w.GetPaintManager().Invalidate();
    w.GetPaintManager().Paint();
  }
  w.DestroyWindow();
  skinui::SetBackend(nullptr);
}
BENCHMARK(BM_FullRepaint600x800)->Unit(benchmark::kMillisecond);

// The same visible picture drawn with SDL directly: fills and pre-rendered texts, no tree.
void BM_RawSdlRepaintBaseline(benchmark::State& state) {
  skinui::SdlBackend& sdl = Sdl();
  if (!sdl.ok()) {
    state.SkipWithError(sdl.error().c_str());
    return;
  }
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer* r = SDL_CreateSoftwareRenderer(surface);
  TTF_Font* font = TTF_OpenFont(skinui::kDefaultFontFile, 13);
  if (surface == nullptr || r == nullptr || font == nullptr) {
    state.SkipWithError("SDL could not make its renderer or open the font");
    return;
  }
  const int visible = (kHeight - 60) / kRowHeight + 1;
  std::vector<SDL_Texture*> texts;
  for (int i = 0; i < visible * 4 + 12; ++i) {
    SDL_Surface* t = TTF_RenderUTF8_Blended(
        font, ("每日积分赛 第" + std::to_string(i) + "场").c_str(), SDL_Color{0, 0, 0, 255});
    texts.push_back(t != nullptr ? SDL_CreateTextureFromSurface(r, t) : nullptr);
    SDL_FreeSurface(t);
    if (texts.back() == nullptr) {
      state.SkipWithError("a text did not render");
      return;
    }
  }
  for (auto _ : state) {
    SDL_SetRenderDrawColor(r, 240, 244, 248, 255);
    SDL_RenderClear(r);
    size_t n = 0;
    for (int row = 0; row < visible; ++row) {
      const SDL_Rect bar{120, 60 + row * kRowHeight, kWidth - 120, kRowHeight};
      SDL_SetRenderDrawColor(r, 255, 255, 255, 255);
      SDL_RenderFillRect(r, &bar);
      for (int c = 0; c < 4; ++c) {
        int tw = 0, th = 0;
        SDL_QueryTexture(texts[n], nullptr, nullptr, &tw, &th);
        const SDL_Rect d{130 + c * 110, bar.y + 8, tw, th};
        SDL_RenderCopy(r, texts[n++], nullptr, &d);
      }
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

TARVIX_BENCHMARK_MAIN()
