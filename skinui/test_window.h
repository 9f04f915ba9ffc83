// A skin window for the library's own tests: its skin is given as text, it records every
// notification and can answer CreateControl from a table.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "skinui/container.h"
#include "skinui/control.h"
#include "skinui/headless_backend.h"
#include "skinui/message_queue.h"
#include "skinui/window_impl_base.h"

namespace skinui {

class SkinTestWindow : public WindowImplBase {
 public:
  explicit SkinTestWindow(std::string skin) : skin_(std::move(skin)) {}
  const char* GetWindowClassName() const override { return "SkinTestWindow"; }
  CDuiString GetSkinFile() override { return skin_; }
  CControlUI* CreateControl(const char* class_name) override {
    const auto it = factories.find(class_name);
    return it == factories.end() ? nullptr : it->second();
  }
  void Notify(TNotifyUI& msg) override {
    log.push_back(msg.sType + ":" + (msg.pSender ? std::string(msg.pSender->GetName()) : ""));
    WindowImplBase::Notify(msg);
  }
  void OnClick(TNotifyUI& msg) override { clicks.push_back(msg.pSender->GetName()); }
  void InitWindow() override { init_calls++; }

  // Shows the window at `cx` x `cy` and lays it out.
  void Open(int cx = 400, int cy = 300) {
    Create(nullptr, "test", 0, 0, 0, 0, cx, cy);
    ShowWindow(true);
  }

  std::map<std::string, std::function<CControlUI*()>> factories;
  std::vector<std::string> log;     // "type:sender" of every notification
  std::vector<std::string> clicks;  // senders of clicks that reached OnClick
  int init_calls = 0;

 private:
  std::string skin_;
};

}  // namespace skinui
