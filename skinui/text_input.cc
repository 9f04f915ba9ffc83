#include "skinui/text_input.h"

#include <map>

#include "skinui/message_queue.h"

namespace skinui {
namespace {

struct Store {
  WPARAM next = 1;
  std::map<WPARAM, std::string> texts;
};

Store& ThreadStore() {
  thread_local Store store;
  return store;
}

bool Post(HWND hwnd, UINT message, const std::string& utf8, LPARAM lParam) {
  Store& store = ThreadStore();
  const WPARAM number = store.next++;
  store.texts.emplace(number, utf8);
  if (PostMessage(hwnd, message, number, lParam))
    return true;
  store.texts.erase(number);
  return false;
}

}  // namespace

bool PostTextInput(HWND hwnd, const std::string& utf8) {
  if (utf8.empty())
    return IsWindow(hwnd);
  return Post(hwnd, kTextInputMessage, utf8, 0);
}

bool PostComposition(HWND hwnd, const std::string& utf8, int cursor) {
  return Post(hwnd, kCompositionMessage, utf8, cursor);
}

std::optional<std::string> TakePostedText(WPARAM number) {
  Store& store = ThreadStore();
  const auto it = store.texts.find(number);
  if (it == store.texts.end())
    return std::nullopt;
  std::string text = std::move(it->second);
  // Messages of one thread are handled in the order they were posted: anything older was meant
  // for a window that went before its message was handled.
  store.texts.erase(store.texts.begin(), std::next(it));
  return text;
}

size_t PostedTextsWaiting() {
  return ThreadStore().texts.size();
}

}  // namespace skinui
