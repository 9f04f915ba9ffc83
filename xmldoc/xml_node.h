// One element: its name, attributes, child elements and the text-like items (text pieces,
// comments, CDATA sections) that stood among the children.
//
// Every text-like item remembers its position: the number of child elements that preceded it in
// its parent, so `<a>T1<b/>T2</a>` holds T1 at 0 and T2 at 1. A null entry in the children is a
// child held in a spill file (see ReloadSpilledChildren); the writer skips entries it cannot
// reload. Children are owned by the node unless they were added as borrowed.
//
// A parsed node lives in its document's arena (xml_arena.h); `delete` and std::unique_ptr work on
// it as on any other node, and a parsed tree handed out of its document (ReleaseRoot,
// ReleaseChild) keeps that arena alive until the tree is freed.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "xmldoc/xml_attribute.h"
#include "xmldoc/xml_slots.h"
#include "xmldoc/xml_string.h"

namespace xmldoc {

class CXmlNode;
class XmlArena;

// A text piece, comment or CDATA section. Texts are held escaped like names and values; comments
// and CDATA hold their inner text as it stood.
struct CXmlText {
  CXmlNode* owner = nullptr;  // null for a comment at document level
  XmlString text;
  uint32_t position =
      0;  // child elements before it; at document level 0 = before the root, 1 after
  // A comment that stood as a processing instruction ("<?...?>"), written back as one.
  bool instruction = false;
};

class CXmlNode {
 public:
  // A node built from a start tag ("<name a=\"1\" b=\"2\">" or "<name/>"): its name and attributes
  // are taken as they stand. An empty tag stands for "<root />".
  explicit CXmlNode(CXmlNode* parent = nullptr, std::string_view tag = {});
  ~CXmlNode();
  CXmlNode(const CXmlNode&) = delete;
  CXmlNode& operator=(const CXmlNode&) = delete;

  // Nodes made with `new` come from the heap; parsed ones from their arena, which `delete` must
  // not hand to the heap: it destroys the node and frees only what the heap gave.
  static void* operator new(size_t size) { return ::operator new(size); }
  static void operator delete(void* memory) { ::operator delete(memory); }
  static void operator delete(CXmlNode* node, std::destroying_delete_t);

  // A node named `name` (escaped when stored) without attributes.
  static std::unique_ptr<CXmlNode> Create(std::string_view name);

  // The name decoded; with `raw`, as stored.
  std::string GetName(bool raw = false) const;
  std::string_view raw_name() const { return name_; }
  void SetName(std::string_view name);  // escapes it
  CXmlNode* parent() const { return parent_; }

  // --- Children. Entries may be null (a spilled child).
  std::span<CXmlNode* const> children() const { return children_.view(); }
  size_t ChildCount() const { return children_.size(); }
  CXmlNode* Child(size_t i) const { return i < children_.size() ? children_[i] : nullptr; }
  // The first child whose decoded name equals `name`, null when there is none.
  CXmlNode* FindChild(std::string_view name) const;
  // Index of `child` among the children, -1 when it is not one.
  int IndexOf(const CXmlNode* child) const;
  // Appends `child` (owned from now on) and makes this node its parent. Returns it.
  CXmlNode* AddChild(std::unique_ptr<CXmlNode> child);
  // Appends a child that another owner keeps: it is not freed with this node.
  CXmlNode* AddBorrowedChild(CXmlNode* child);
  // Appends an empty entry standing for a child held in its spill file.
  void AddSpilledChild() { children_.PushBack(nullptr); }
  // Takes child `i` out of the tree and hands it over; its entry becomes empty. Null when there is
  // no such owned child.
  std::unique_ptr<CXmlNode> ReleaseChild(size_t i);

  // --- Attributes.
  std::span<CXmlAttribute* const> attributes() const { return attributes_.view(); }
  // The first attribute whose decoded name equals `name` (case-sensitive). When there is none and
  // `create` is set, one named `name` with `default_value` (both escaped) is appended.
  CXmlAttribute* GetAttribute(std::string_view name, bool create = false,
                              std::string_view default_value = {});
  const CXmlAttribute* GetAttribute(std::string_view name) const;
  // The decoded value of attribute `name`, `fallback` when it is missing.
  std::string GetAttributeValue(std::string_view name, std::string_view fallback = {}) const;
  // Appends an attribute whose name and value are escaped when stored.
  CXmlAttribute* AddAttribute(std::string_view name, std::string_view value);
  // Appends an attribute stored exactly as given (text from a file).
  CXmlAttribute* AddRawAttribute(std::string_view name, std::string_view value);

  // --- Text-like items, each placed after the children added so far.
  std::span<const CXmlText> texts() const { return texts_.view(); }
  std::span<const CXmlText> comments() const { return comments_.view(); }
  std::span<const CXmlText> cdata() const { return cdata_.view(); }
  // `text` is escaped when stored.
  void AddText(std::string_view text);
  void AddRawText(std::string_view text);
  // False (nothing added) when the text holds "--" or ends in '-', which no comment can carry.
  bool AddComment(std::string_view text);
  // False (nothing added) when the text holds "]]>", which would end the section early.
  bool AddCData(std::string_view text);
  // All text pieces decoded and joined in order.
  std::string GetText() const;

  // --- Spill files (children held in "<index path>.xmltmp" files in the working folder).
  // Loads each empty child entry from its spill file when that file parses, deleting the file.
  void ReloadSpilledChildren();
  // Deletes the spill file of each empty child entry.
  void DeleteTempFile();

  // Formatting state read by the writer: a blank rather than a tab as the indentation unit, and
  // an element whose only content is one text piece on one line.
  bool indent_with_blank = false;
  bool single_line_text = false;

 private:
  friend class XmlParser;
  friend std::string ParseTag(std::string_view tag, CXmlNode* node);

  // A parsed node in `arena`, named `name` (borrowed from the arena); the parser fills the rest.
  CXmlNode(XmlArena* arena, CXmlNode* parent, XmlString name);

  XmlString name_;
  CXmlNode* parent_;
  XmlArena* arena_ = nullptr;  // the arena this node lives in, null for one from the heap
  bool holds_arena_ = false;   // this node keeps arena_ alive (it heads a parsed tree)
  // The first ones are in the arena too; the rest were added on the heap.
  uint32_t arena_attributes_ = 0;
  XmlSlots<CXmlNode*> children_;
  XmlSlots<CXmlAttribute*> attributes_;
  XmlSlots<CXmlText> comments_;
  XmlSlots<CXmlText> texts_;
  XmlSlots<CXmlText> cdata_;
  std::vector<const CXmlNode*> borrowed_;
};

}  // namespace xmldoc
