#include "xmldoc/xml_document.h"

#include "platform/file_util.h"
#include "xmldoc/xml_parser.h"
#include "xmldoc/xml_utf16.h"
#include "xmldoc/xml_writer.h"

namespace xmldoc {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Length of the declaration at the start of `text` (after an optional byte-order mark and
// blanks), 0 when the text does not begin with one. Only a leading "<?xml" counts: a "?>" further
// on belongs to an instruction inside the body.
size_t DeclarationLength(std::string_view text) {
  size_t i = text.starts_with(kUtf8Bom) ? 3 : 0;
  while (i < text.size() && IsBlank(text[i]))
    ++i;
  const std::string_view rest = text.substr(i);
  if (!rest.starts_with("<?xml") || rest.size() < 6 || !(IsBlank(rest[5]) || rest[5] == '?')) {
    return 0;
  }
  const size_t close = text.find("?>", i + 5);
  return close == std::string_view::npos ? 0 : close + 2;
}

}  // namespace

CXmlDocument::CXmlDocument() {
  Reset();
}

CXmlDocument::~CXmlDocument() = default;

void CXmlDocument::Reset() {
  status_ = kXmlParsed;
  wide_path_ = false;
  path_.clear();
  declaration_ = CXmlDeclaration();
  root_ = std::make_unique<CXmlNode>();
}

bool CXmlDocument::Load(std::string_view source, XmlSource kind, const XmlTransform* transform) {
  Reset();
  if (kind == XmlSource::kText) {
    if (!source.empty())
      LoadText(std::string(source));  // the tree refers into this one copy
    return true;
  }
  path_.assign(source);
  wide_path_ = kind == XmlSource::kWideFilePath;
  return LoadRaw(path_, transform);
}

bool CXmlDocument::Load(std::u16string_view path, const XmlTransform* transform) {
  Reset();
  path_ = Utf16ToUtf8(path);
  wide_path_ = true;
  return LoadRaw(path_, transform);
}

bool CXmlDocument::LoadRaw(const std::string& file_path, const XmlTransform* transform) {
  std::string raw;
  if (!platform::ReadFile(file_path, &raw))
    return true;  // empty but usable; the path stays
  if (transform) {
    path_.clear();
    std::string text;
    if (!transform->Transform(raw, &text))
      return true;
    raw = std::move(text);
  }
  if (raw.size() >= 2 && raw[0] == '\xFF' && raw[1] == '\xFE') {
    // UTF-16LE: the byte-order mark becomes the UTF-8 one.
    raw = Utf16LeBytesToUtf8(raw);
  }
  LoadText(std::move(raw));
  return true;
}

void CXmlDocument::LoadText(std::string source) {
  // Names, values and texts stay where they stand in the text, which the arena keeps.
  XmlArenaRef arena(new XmlArena(std::move(source)));
  const std::string_view text = arena->source();
  std::string_view body = text;
  if (const size_t length = DeclarationLength(text)) {
    declaration_.text.assign(text.substr(0, length));
    body.remove_prefix(length);
  } else {
    path_.clear();
    status_ = kXmlNoDeclaration;
    declaration_.text = std::string(kUtf8Bom) + kDefaultDeclaration;
  }
  if (body.find('<') == std::string_view::npos) {
    path_.clear();
    status_ = kXmlNoDeclaration;
    root_ = std::make_unique<CXmlNode>(nullptr, "<root>");
    return;
  }
  XmlParser parser(arena.get(), body, &declaration_);
  std::unique_ptr<CXmlNode> root = parser.ParseDocument(&status_);
  root_ = root ? std::move(root) : std::make_unique<CXmlNode>();
}

void CXmlDocument::SetRoot(std::unique_ptr<CXmlNode> root) {
  root_ = root ? std::move(root) : std::make_unique<CXmlNode>();
}

std::unique_ptr<CXmlNode> CXmlDocument::ReleaseRoot() {
  std::unique_ptr<CXmlNode> root = std::move(root_);
  root_ = std::make_unique<CXmlNode>();
  return root;
}

std::string CXmlDocument::SaveToMemory() {
  declaration_.text = kDefaultDeclaration;
  XmlTextOutput output(XmlTarget::kFile);
  WriteDocument(*this, output);
  return output.bytes();
}

bool CXmlDocument::SaveToFile(const std::string& path) {
  if (path.empty())
    return false;
  return platform::WriteFileAtomic(path, SaveToMemory());
}

bool CXmlDocument::Save() {
  return SaveToFile(path_);
}

}  // namespace xmldoc
