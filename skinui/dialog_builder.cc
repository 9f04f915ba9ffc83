#include "skinui/dialog_builder.h"

#include <strings.h>

#include <algorithm>

#include "platform/file_util.h"
#include "skinui/attribute_parse.h"
#include "skinui/button.h"
#include "skinui/container.h"
#include "skinui/edit.h"
#include "skinui/label.h"
#include "skinui/list.h"
#include "skinui/paint_manager.h"
#include "skinui/ui_log.h"

namespace skinui {
namespace {

// Skins deeper than this are damaged; the XML parser has its own, larger limit.
constexpr int kMaxControlDepth = 64;

bool IsResourceElement(const std::string& name) {
  return name == "Font" || name == "Default" || name == "Image";
}

void ReadWindowResources(xmldoc::CXmlNode* window, CPaintManagerUI* manager) {
  if (manager == nullptr)
    return;
  const SIZE size = ParseSize(window->GetAttributeValue("size"));
  if (size.cx > 0 && size.cy > 0)
    manager->SetInitSize(size.cx, size.cy);
  manager->SetCaptionRect(ParseRect(window->GetAttributeValue("caption")));
  manager->SetDefaultButton(window->GetAttributeValue("defaultbutton"));
  for (xmldoc::CXmlNode* child : window->children()) {
    if (child == nullptr)
      continue;
    const std::string name = child->GetName();
    if (name == "Font") {
      FontSpec font;
      font.name = child->GetAttributeValue("name");
      font.size = std::clamp(ParseInt(child->GetAttributeValue("size"), 12), 6, 96);
      font.bold = ParseBool(child->GetAttributeValue("bold"));
      font.underline = ParseBool(child->GetAttributeValue("underline"));
      font.italic = ParseBool(child->GetAttributeValue("italic"));
      const int id = ParseInt(child->GetAttributeValue("id"), -1);
      manager->AddFont(id, font, ParseBool(child->GetAttributeValue("default")));
    } else if (name == "Default") {
      manager->SetDefaultAttributeList(child->GetAttributeValue("name"),
                                       child->GetAttributeValue("value"));
    }
  }
}

}  // namespace

CControlUI* CreateBuiltinControl(const std::string& c) {
  if (c == "Control")
    return new CControlUI;
  if (c == "Label" || c == "Text")
    return new CLabelUI;
  if (c == "Button")
    return new CButtonUI;
  if (c == "Option")
    return new COptionUI;
  if (c == "Edit")
    return new CEditUI;
  if (c == "RichEdit")
    return new CRichEditUI;
  if (c == "Progress")
    return new CProgressUI;
  if (c == "Container")
    return new CContainerUI;
  if (c == "VerticalLayout")
    return new CVerticalLayoutUI;
  if (c == "HorizontalLayout")
    return new CHorizontalLayoutUI;
  if (c == "List")
    return new CListUI;
  if (c == "ListContainerElement")
    return new CListContainerElementUI;
  if (c == "Combo")
    return new CComboUI;
  return nullptr;
}

bool CDialogBuilder::Load(const std::string& xml, CPaintManagerUI* manager) {
  markup_.valid_ = false;
  if (!xml.empty() && xml[0] == '<') {
    markup_.document_.Load(xml, xmldoc::XmlSource::kText);
  } else {
    std::string path = xml;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (manager != nullptr && (path.empty() || path[0] != '/')) {
      path = platform::JoinPath(manager->GetResourceFolder(), path);
    }
    if (!platform::FileExists(path)) {
      UiLog("skin file missing: " + path);
      return false;
    }
    markup_.document_.Load(path, xmldoc::XmlSource::kFilePath);
  }
  if (markup_.document_.status() != xmldoc::kXmlParsed &&
      markup_.document_.status() != xmldoc::kXmlNoDeclaration) {
    UiLog("skin is not well formed: " + xml.substr(0, 80));
    return false;
  }
  markup_.valid_ = markup_.document_.root() != nullptr;
  return markup_.valid_;
}

CControlUI* CDialogBuilder::Create(const std::string& xml, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
  if (!Load(xml, manager))
    return nullptr;
  return Create(callback, manager, parent);
}

CControlUI* CDialogBuilder::Create(IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
  if (!markup_.IsValid())
    return nullptr;
  xmldoc::CXmlNode* root = markup_.root();
  if (root->GetName() != "Window")
    return Build(root, callback, manager, parent, 0);
  ReadWindowResources(root, manager);
  for (xmldoc::CXmlNode* child : root->children()) {
    if (child == nullptr || IsResourceElement(child->GetName()))
      continue;
    if (CControlUI* control = Build(child, callback, manager, parent, 0))
      return control;
  }
  return nullptr;
}

CControlUI* CDialogBuilder::Build(xmldoc::CXmlNode* node, IDialogBuilderCallback* callback,
                                  CPaintManagerUI* manager, CControlUI* parent, int depth) {
  if (depth > kMaxControlDepth) {
    UiLog("skin nests too deep");
    return nullptr;
  }
  const std::string cls = node->GetName();
  CControlUI* control = CreateBuiltinControl(cls);
  if (control == nullptr && callback != nullptr)
    control = callback->CreateControl(cls.c_str());
  if (control == nullptr) {
    UiLog("skin names an unknown control class: " + cls);
    return nullptr;
  }
  if (manager != nullptr) {
    if (const std::string* defaults = manager->GetDefaultAttributeList(cls)) {
      control->ApplyAttributeList(defaults->c_str());
    }
  }
  for (const auto& attr : node->attributes()) {
    const std::string name = attr->GetName();
    const std::string value = node->GetAttributeValue(name);
    control->SetAttribute(name.c_str(), value.c_str());
  }
  if (auto* container = static_cast<CContainerUI*>(control->GetInterface("Container"))) {
    for (xmldoc::CXmlNode* child : node->children()) {
      if (child == nullptr)
        continue;
      Build(child, callback, manager, container, depth + 1);
    }
  }
  if (parent != nullptr) {
    auto* container = static_cast<CContainerUI*>(parent->GetInterface("Container"));
    if (container == nullptr) {
      UiLog("skin puts a control inside a " + std::string(parent->GetClass()));
      delete control;
      return nullptr;
    }
    container->Add(control);
  }
  return control;
}

}  // namespace skinui
