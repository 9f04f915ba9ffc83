// Builds control trees from skin XML. A skin's root element is either "Window" (the window's size
// in "size", its fonts as <Font id= name= size= bold= underline= italic= default=/>, default
// attributes per class as <Default name= value=/>, then the root control) or a control element
// itself (a row skin). Elements name control classes ("Button", "VerticalLayout" ...); a class the
// library does not know is asked of the callback, and an element nobody can make is reported and
// skipped with its children. Attributes are applied in the order they stand, after the class's
// default attributes.
#pragma once

#include <memory>
#include <string>

#include "xmldoc/xml_document.h"

namespace skinui {

class CControlUI;
class CPaintManagerUI;

class IDialogBuilderCallback {
 public:
  virtual ~IDialogBuilderCallback() = default;
  // A new control for `class_name`, or null when the caller does not know it either.
  virtual CControlUI* CreateControl(const char* class_name) = 0;
};

// A parsed skin kept for building it again (rows built one after another).
class CMarkup {
 public:
  bool IsValid() const { return valid_; }
  xmldoc::CXmlNode* root() const { return document_.root(); }

 private:
  friend class CDialogBuilder;
  xmldoc::CXmlDocument document_;
  bool valid_ = false;
};

class CDialogBuilder {
 public:
  // Builds from a skin file (relative to the manager's resource folder, or absolute), or from the
  // skin text itself when `xml` starts with '<'. With a `parent` container the tree is added to it.
  // Returns the root control (owned by `parent`, else by the caller), null when the skin cannot
  // be read or holds no control.
  CControlUI* Create(const std::string& xml, IDialogBuilderCallback* callback,
                     CPaintManagerUI* manager, CControlUI* parent = nullptr);
  // Builds again from the skin parsed by the last Create.
  CControlUI* Create(IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                     CControlUI* parent = nullptr);
  CMarkup* GetMarkup() { return &markup_; }

 private:
  bool Load(const std::string& xml, CPaintManagerUI* manager);
  CControlUI* Build(xmldoc::CXmlNode* node, IDialogBuilderCallback* callback,
                    CPaintManagerUI* manager, CControlUI* parent, int depth);

  CMarkup markup_;
};

// A control of a class the library knows ("Button", "ListContainerElement" ...), null otherwise.
CControlUI* CreateBuiltinControl(const std::string& class_name);

}  // namespace skinui
