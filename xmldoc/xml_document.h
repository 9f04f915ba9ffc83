// An XML document: its declaration, the comments outside the root, and the root element.
//
// The parser is forgiving: it does not validate, it splits the text at '<' and finds the matching
// end of each element by counting start and end tags. Names, values and texts are kept as they
// stand in the text (escaped) and decoded on request. A missing or unreadable file is not an error:
// the document is then empty but usable, with the default declaration and a root named "root";
// callers check for the elements they expect. `root()` is never null after Load.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "xmldoc/xml_declaration.h"
#include "xmldoc/xml_node.h"

namespace xmldoc {

// What Load found.
enum XmlStatus : int32_t {
  kXmlParsed = 0,
  kXmlNoDeclaration = 1,    // no declaration, or no element at all
  kXmlUnclosedElement = 2,  // an element, comment, CDATA section or tag is not terminated
  kXmlTooDeep = 3,          // elements nest deeper than kXmlMaxDepth
};

// Nesting limit: a hostile document must not exhaust the stack.
inline constexpr int kXmlMaxDepth = 256;

// What Load's `source` is.
enum class XmlSource : uint32_t {
  kFilePath = 0,      // an 8-bit (UTF-8) file path
  kText = 1,          // the document text itself
  kWideFilePath = 7,  // a UTF-16 file path (use the u16string_view overload)
};

// Turns a file's raw bytes into document text (a decryption, say). A document read through one
// keeps no path.
class XmlTransform {
 public:
  virtual ~XmlTransform() = default;
  // False when the bytes cannot be turned into text; the document is then empty.
  virtual bool Transform(std::string_view raw, std::string* text) const = 0;
};

class CXmlDocument {
 public:
  // An empty document: the default declaration and a root named "root", no path.
  CXmlDocument();
  ~CXmlDocument();
  CXmlDocument(const CXmlDocument&) = delete;
  CXmlDocument& operator=(const CXmlDocument&) = delete;

  // Replaces the contents with the file at path `source` (kFilePath) or with the text `source`
  // (kText). A file in UTF-16LE with a byte-order mark is read as UTF-8. Always returns true; see
  // status() for what was found.
  bool Load(std::string_view source, XmlSource kind = XmlSource::kFilePath,
            const XmlTransform* transform = nullptr);
  // Replaces the contents with the file at the UTF-16 `path`.
  bool Load(std::u16string_view path, const XmlTransform* transform = nullptr);

  // Writes the document to its stored path, the declaration set to the default one: first to a
  // temporary file in the same folder, then renamed over the old one. False (the old file intact)
  // when the document has no path or any step fails.
  bool Save();
  // The same, to `path` (the stored path is left as it is).
  bool SaveToFile(const std::string& path);
  // The text Save writes.
  std::string SaveToMemory();

  XmlStatus status() const { return status_; }
  // The file path as given to Load (UTF-8); empty for a document read from text or through a
  // transform, or one whose text held no declaration or no element.
  const std::string& path() const { return path_; }
  bool wide_path() const { return wide_path_; }

  CXmlDeclaration& declaration() { return declaration_; }
  const CXmlDeclaration& declaration() const { return declaration_; }
  CXmlNode* root() const { return root_.get(); }
  // Replaces the root element.
  void SetRoot(std::unique_ptr<CXmlNode> root);
  // Hands the root over; the document is left with a new empty root named "root".
  std::unique_ptr<CXmlNode> ReleaseRoot();

 private:
  void Reset();
  void LoadText(std::string source);
  bool LoadRaw(const std::string& file_path, const XmlTransform* transform);

  XmlStatus status_ = kXmlParsed;
  bool wide_path_ = false;
  std::string path_;
  CXmlDeclaration declaration_;
  std::unique_ptr<CXmlNode> root_;
};

}  // namespace xmldoc
