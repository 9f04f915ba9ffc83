#include "games/hall/app/ui_plan_list.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "games/hall/app/hall_gate.h"
#include "games/hall/app/my_match.h"
#include "games/hall/app/plan_row_text.h"
#include "games/hall/ui/control_text.h"
#include "skinui/button.h"
#include "skinui/label.h"

namespace hall {
namespace {

struct RowSkin {
  const char* file;
  const char* name;
};
constexpr RowSkin kRowSkins[] = {
    {"plan_type.xml", UIPlanList::kTypeRowName},
    {"plan_item.xml", UIPlanList::kItemRowName},
    {"start_point.xml", UIPlanList::kStartPointRowName},
};

constexpr char kExpandButton[] = "btn_pl_type_expand";
constexpr char kFoldButton[] = "btn_pl_type_fold";
constexpr char kRowClass[] = "ListContainerElementUI";

PlanTreeNode* NodeOf(const skinui::CControlUI* control) {
  return reinterpret_cast<PlanTreeNode*>(control->GetTag());
}

UINT_PTR TagOf(PlanTreeNode* node) {
  return reinterpret_cast<UINT_PTR>(node);
}

// An unfolded type offers to fold, a folded one to unfold.
void ShowFoldButtons(skinui::CControlUI* type_row, bool expanded) {
  if (skinui::CControlUI* fold = type_row->FindByName(kFoldButton))
    fold->SetVisible(expanded);
  if (skinui::CControlUI* expand = type_row->FindByName(kExpandButton))
    expand->SetVisible(!expanded);
}

void SetRowText(skinui::CControlUI* row, const char* name, const std::string& utf8) {
  SetControlTextUtf8(row->FindByName(name), utf8.c_str());
}

}  // namespace

UIPlanList::UIPlanList(skinui::CPaintManagerUI* manager, PlanViewLinks links)
    : row_manager_(manager), links_(std::move(links)) {
  auto root = std::make_unique<NodeData>();
  root->level = kRootLevel;
  root->expanded = true;
  root->is_root = true;
  root_ = std::make_unique<PlanTreeNode>(std::move(root));
  OnNotify += skinui::MakeDelegate(this, &UIPlanList::OnItemNotify);
}

UIPlanList::~UIPlanList() = default;

skinui::CControlUI* UIPlanList::CreateRow(int kind) {
  if (kind < 0 || kind >= kRowKinds)
    return nullptr;
  skinui::CDialogBuilder& builder = builders_[kind];
  // The skin is parsed once; later rows are built from the kept markup.
  skinui::CControlUI* row = builder.GetMarkup()->IsValid()
                                ? builder.Create(nullptr, row_manager_)
                                : builder.Create(kRowSkins[kind].file, nullptr, row_manager_);
  if (row == nullptr)
    return nullptr;
  row->SetName(kRowSkins[kind].name);
  row->SetUserData(kRowUserData);
  return row;
}

void UIPlanList::PlaceRow(PlanTreeNode* parent, std::unique_ptr<PlanTreeNode> node) {
  skinui::CControlUI* row = node->data().row;
  row->SetTag(TagOf(node.get()));
  if (parent == root_.get()) {
    Add(row);
  } else {
    AddAt(row, GetItemIndex(parent->data().row) + 1);
  }
  parent->AddChild(std::move(node));
}

PlanTreeNode* UIPlanList::FindType(uint32_t list_id) const {
  return root_->FindChild(list_id);
}

PlanTreeNode* UIPlanList::FindItem(uint32_t list_id, uint32_t plan_id) const {
  PlanTreeNode* type = FindType(list_id);
  return type != nullptr ? type->FindChild(plan_id) : nullptr;
}

void UIPlanList::AddType(uint32_t list_id) {
  shown_types_.insert(list_id);
  qvc::PlanList* catalogue = links_.gate != nullptr ? links_.gate->catalogue() : nullptr;
  if (catalogue == nullptr)
    return;
  const std::optional<std::string> name =
      catalogue->Read([&](const qvc::PlanList::View& view) -> std::optional<std::string> {
        const qvc::PlanListRecord* list = view.FindList(current_group_, list_id);
        if (list == nullptr)
          return std::nullopt;
        return list->item.show_name();
      });
  if (!name || FindType(list_id) != nullptr)
    return;
  skinui::CControlUI* row = CreateRow(kTypeRow);
  if (row == nullptr)
    return;
  auto data = std::make_unique<PlanTypeDefine>();
  data->level = kTypeLevel;
  data->expanded = true;
  data->id = list_id;
  data->name = *name;
  data->row = row;
  auto node = std::make_unique<PlanTreeNode>(std::move(data));
  for (const char* button : {kExpandButton, kFoldButton}) {
    if (skinui::CControlUI* b = row->FindByName(button)) {
      b->SetTag(TagOf(node.get()));
      b->OnNotify += skinui::MakeDelegate(this, &UIPlanList::OnTypeButtonNotify);
    }
  }
  ShowFoldButtons(row, true);
  row->SetFixedHeight(kRowHeight);
  SetRowText(row, "title", *name);
  PlaceRow(root_.get(), std::move(node));
}

void UIPlanList::RemoveStaleTypes() {
  std::vector<uint32_t> stale;
  for (const auto& type : root_->children()) {
    const auto id = static_cast<uint32_t>(type->data().id);
    if (shown_types_.count(id) == 0)
      stale.push_back(id);
  }
  for (uint32_t id : stale)
    RemoveType(id);
}

void UIPlanList::RemoveType(uint32_t list_id) {
  PlanTreeNode* type = FindType(list_id);
  if (type == nullptr)
    return;
  RemoveItems(type->TakeChildrenIf([](const PlanTreeNode&) { return true; }));
  skinui::CControlUI* row = type->data().row;
  std::unique_ptr<PlanTreeNode> gone = root_->TakeChild(type);
  if (row != nullptr)
    Remove(row);
}

void UIPlanList::AddOrUpdatePlan(uint32_t list_id, uint32_t plan_id) {
  shown_plans_.insert(plan_id);
  PlanTreeNode* type = FindType(list_id);
  if (type == nullptr)
    return;
  if (PlanTreeNode* item = type->FindChild(plan_id)) {
    FillItemRow(*item, /*unless_same=*/true);
    return;
  }
  BuildItem(type, plan_id);
}

void UIPlanList::BuildItem(PlanTreeNode* type, uint32_t plan_id) {
  skinui::CControlUI* row = CreateRow(kItemRow);
  if (row == nullptr)
    return;
  auto data = std::make_unique<PlanItemDefine>();
  data->level = kItemLevel;
  data->expanded = false;
  data->id = plan_id;
  data->row = row;
  data->description =
      "赛事 id=" + std::to_string(plan_id) + "(" + std::to_string(type->data().id) + ")";
  data->title = row->FindByName("title");
  data->join_count = row->FindByName("txt_join_count");
  data->join_term = row->FindByName("txt_join_term");
  data->start_time = row->FindByName("txt_start_time");
  if (auto* label = data->title != nullptr
                        ? static_cast<skinui::CLabelUI*>(data->title->GetInterface("Label"))
                        : nullptr) {
    label->SetShowHtml(true);
  }
  auto node = std::make_unique<PlanTreeNode>(std::move(data));
  PlanTreeNode* item = node.get();
  row->SetFixedHeight(kRowHeight);
  // A plan that arrives while its type is folded stays folded away with the others.
  row->SetVisible(type->data().expanded);
  if (skinui::CControlUI* found = row->FindByName("bt_signup")) {
    if (auto* button = static_cast<skinui::CButtonUI*>(found->GetInterface("Button"))) {
      button->SetTag(TagOf(item));
      button->OnNotify += skinui::MakeDelegate(this, &UIPlanList::OnSignupNotify);
      item->data().signup_button = button;
    }
  }
  PlaceRow(type, std::move(node));
  FillItemRow(*item);
}

void UIPlanList::FillItemRow(PlanTreeNode& item, bool unless_same) {
  qvc::PlanList* catalogue = links_.gate != nullptr ? links_.gate->catalogue() : nullptr;
  skinui::CControlUI* row = item.data().row;
  if (catalogue == nullptr || row == nullptr)
    return;
  const auto plan_id = static_cast<uint32_t>(item.data().id);
  // MyMatch has a lock of its own: asked before the catalogue's is taken, never inside it.
  const bool signed_up = links_.my_match != nullptr && links_.my_match->FindSignup(plan_id);
  const std::optional<PlanRowTexts> texts =
      catalogue->Read([&](const qvc::PlanList::View& view) -> std::optional<PlanRowTexts> {
        const qvc::PlanEntry* plan = view.FindPlan(plan_id);
        if (plan == nullptr)
          return std::nullopt;
        plan->ReadInfo(&row_info_);
        return MakePlanRowTexts(row_info_, plan_id, view.FindStartPoints(plan_id), signed_up,
                                *links_.clock);
      });
  if (!texts)
    return;
  auto* controls = item.As<PlanItemDefine>();
  if (controls == nullptr)
    return;
  PackPlanRowTexts(*texts, &packed_);
  if (unless_same && std::string_view(packed_) == std::string_view(controls->shown_texts))
    return;
  controls->shown_texts.assign(packed_.data(), packed_.size());
  SetControlTextUtf8(controls->title, texts->title.c_str());
  SetControlTextUtf8(controls->join_count, texts->join_count.c_str());
  if (skinui::CButtonUI* button = item.data().signup_button; button && texts->signup_image) {
    button->SetVisible(true);
    button->SetButtonImage(texts->signup_image->c_str(), kSignupImageStates, true);
  }
  SetControlTextUtf8(controls->join_term, texts->join_term.c_str());
  if (texts->start_time)
    SetControlTextUtf8(controls->start_time, texts->start_time->c_str());
}

void UIPlanList::RemoveItems(std::vector<std::unique_ptr<PlanTreeNode>> items) {
  for (const auto& item : items) {
    if (item->data().row != nullptr)
      Remove(item->data().row);
  }
}

void UIPlanList::RemoveStalePlans(uint32_t list_id) {
  PlanTreeNode* type = FindType(list_id);
  if (type == nullptr || type->data().keep_items)
    return;
  RemoveItems(type->TakeChildrenWithIdIf(
      [&](uint64_t id) { return !shown_plans_.contains(static_cast<uint32_t>(id)); }));
}

void UIPlanList::RemovePlanRows(uint32_t plan_id) {
  for (const auto& type : root_->children()) {
    if (PlanTreeNode* item = type->FindChild(plan_id)) {
      std::vector<std::unique_ptr<PlanTreeNode>> taken;
      taken.push_back(type->TakeChild(item));
      RemoveItems(std::move(taken));
    }
  }
}

void UIPlanList::RefreshPlanRow(uint32_t plan_id) {
  for (const auto& type : root_->children()) {
    if (PlanTreeNode* item = type->FindChild(plan_id))
      FillItemRow(*item);
  }
}

void UIPlanList::SetExpanded(PlanTreeNode* type, bool expanded) {
  if (type == nullptr || type->data().expanded == expanded)
    return;
  type->data().expanded = expanded;
  skinui::CControlUI* row = type->data().row;
  if (row == nullptr)
    return;
  ShowFoldButtons(row, expanded);
  if (!row->IsVisible())
    return;
  const auto& children = type->children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    skinui::CControlUI* child = (*it)->data().row;
    if (child == nullptr || std::strcmp(child->GetClass(), kRowClass) != 0)
      continue;
    if (!expanded) {
      child->SetVisible(false);
    } else if (type->data().expanded && row->IsVisible()) {
      child->SetVisible(true);
    }
  }
}

bool UIPlanList::OnTypeButtonNotify(void* param) {
  auto* msg = static_cast<skinui::TNotifyUI*>(param);
  if (msg->sType != skinui::kNotifyClick)
    return true;
  if (PlanTreeNode* type = NodeOf(msg->pSender))
    SetExpanded(type, !type->data().expanded);
  return false;
}

bool UIPlanList::OnSignupNotify(void* param) {
  auto* msg = static_cast<skinui::TNotifyUI*>(param);
  if (msg->sType != skinui::kNotifyClick)
    return true;
  const PlanTreeNode* item = NodeOf(msg->pSender);
  const auto plan_id = item != nullptr ? static_cast<uint32_t>(item->data().id) : 0u;
  // The flow may run a modal dialog during which the catalogue refreshes and this row goes:
  // nothing of the row is used after the call, and the flow is a copy of our own.
  if (plan_id != 0 && links_.begin_signup) {
    const std::function<void(uint32_t)> begin_signup = links_.begin_signup;
    begin_signup(plan_id);
  }
  return false;
}

bool UIPlanList::OnItemNotify(void* param) {
  auto* msg = static_cast<skinui::TNotifyUI*>(param);
  skinui::CControlUI* sender = msg->pSender;
  if (sender == nullptr || sender->GetParent() != this ||
      sender->GetName().CompareNoCase(kTypeRowName) != 0) {
    return true;
  }
  if (msg->sType != skinui::kNotifyItemClick && msg->sType != skinui::kNotifyClick)
    return true;
  if (PlanTreeNode* type = NodeOf(sender))
    SetExpanded(type, !type->data().expanded);
  return false;
}

void UIPlanList::DoEvent(skinui::TEventUI& event) {
  if (!IsMouseEnabled() && skinui::IsMouseEvent(event.Type)) {
    if (parent_ != nullptr) {
      parent_->DoEvent(event);
    } else {
      skinui::CVerticalLayoutUI::DoEvent(event);
    }
    return;
  }
  skinui::CListUI::DoEvent(event);
}

}  // namespace hall
