#include "xmldoc/xml_tag.h"

#include <cstring>

#include "xmldoc/xml_node.h"

namespace xmldoc {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Finds the '>' that closes a tag begun at `from`, skipping double-quoted text. npos if none.
// Searches with memchr: the text between tags is most of a document.
size_t FindTagClose(std::string_view text, size_t from) {
  const char* const data = text.data();
  const char* const end = data + text.size();
  const char* p = data + from;
  while (p < end) {
    const auto* close = static_cast<const char*>(std::memchr(p, '>', end - p));
    if (close == nullptr)
      return std::string_view::npos;
    const auto* quote = static_cast<const char*>(std::memchr(p, '"', close - p));
    if (quote == nullptr)
      return close - data;
    const auto* unquote = static_cast<const char*>(std::memchr(quote + 1, '"', end - quote - 1));
    if (unquote == nullptr)
      return std::string_view::npos;
    p = unquote + 1;
  }
  return std::string_view::npos;
}

bool EndsName(char c) {
  return IsBlank(c) || c == '/' || c == '>' || c == '"';
}

bool ReadDelimited(std::string_view text, size_t lt, size_t open_length, std::string_view close,
                   XmlToken* token) {
  const size_t inner = lt + open_length;
  const size_t close_at = text.find(close, inner);
  if (close_at == std::string_view::npos)
    return false;
  token->inner = text.substr(inner, close_at - inner);
  token->end = close_at + close.size();
  return true;
}

}  // namespace

bool ReadToken(std::string_view text, size_t lt, XmlToken* token) {
  token->begin = lt;
  token->inner = {};
  const std::string_view rest = text.substr(lt);
  if (rest.starts_with("<![CDATA[")) {
    token->kind = XmlConstruct::kCData;
    return ReadDelimited(text, lt, 9, "]]>", token);
  }
  if (rest.starts_with("<!--")) {
    token->kind = XmlConstruct::kComment;
    return ReadDelimited(text, lt, 4, "-->", token);
  }
  if (rest.starts_with("<?")) {
    token->kind = XmlConstruct::kInstruction;
    return ReadDelimited(text, lt, 2, "?>", token);
  }
  if (rest.starts_with("<!")) {
    token->kind = XmlConstruct::kMarkup;
  } else if (rest.starts_with("</")) {
    token->kind = XmlConstruct::kEndTag;
  } else if (rest.size() < 2 || IsBlank(rest[1]) || rest[1] == '>' || rest[1] == '"') {
    // No name: nothing an element could be written back as. Skipped like a declaration.
    token->kind = XmlConstruct::kMarkup;
  } else {
    token->kind = XmlConstruct::kStartTag;
  }
  const size_t close = FindTagClose(text, lt + 1);
  if (close == std::string_view::npos)
    return false;
  token->end = close + 1;
  if (token->kind == XmlConstruct::kStartTag && close > lt + 1 && text[close - 1] == '/') {
    token->kind = XmlConstruct::kEmptyTag;
  }
  return true;
}

std::string ParseTag(std::string_view tag, CXmlNode* node) {
  size_t i = tag.starts_with('<') ? 1 : 0;
  const size_t name_start = i;
  while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '/' && tag[i] != '>' && tag[i] != '"') {
    ++i;
  }
  std::string name(tag.substr(name_start, i - name_start));
  for (;;) {
    while (i < tag.size() && IsBlank(tag[i])) {
      ++i;
    }
    if (i >= tag.size() || tag[i] == '>' || tag[i] == '/')
      break;
    const size_t equals = tag.find('=', i);
    if (equals == std::string_view::npos)
      break;
    // A quote before the '=' means the text is no attribute; writing it back as a name would
    // unbalance the quotes of the tag.
    if (tag.substr(i, equals - i).find('"') != std::string_view::npos)
      break;
    size_t name_end = equals;
    while (name_end > i && IsBlank(tag[name_end - 1])) {
      --name_end;
    }
    const size_t open_quote = tag.find('"', equals + 1);
    if (open_quote == std::string_view::npos)
      break;
    const size_t close_quote = tag.find('"', open_quote + 1);
    if (close_quote == std::string_view::npos)
      break;
    node->AddRawAttribute(tag.substr(i, name_end - i),
                          tag.substr(open_quote + 1, close_quote - open_quote - 1));
    i = close_quote + 1;
  }
  return name;
}

bool ScanStartTag(std::string_view text, size_t lt, XmlStartTag* tag,
                  std::vector<XmlTagAttribute>* attributes) {
  const char* const p = text.data();
  const size_t n = text.size();
  size_t i = lt + 1;
  while (i < n && !EndsName(p[i]))
    ++i;
  tag->name = text.substr(lt + 1, i - lt - 1);
  // Between attributes the scan stands outside quotes, so the first '>' it meets there closes the
  // tag. Where ParseTag would stop reading attributes, the rest is skipped as FindTagClose does.
  size_t close = std::string_view::npos;
  for (;;) {
    while (i < n && IsBlank(p[i]))
      ++i;
    if (i >= n)
      return false;
    if (p[i] == '>') {
      close = i;
      break;
    }
    if (p[i] == '/')
      break;
    size_t equals = i;
    while (equals < n && p[equals] != '=' && p[equals] != '"' && p[equals] != '>')
      ++equals;
    if (equals >= n)
      return false;
    if (p[equals] == '>') {
      close = equals;
      break;
    }
    if (p[equals] == '"')
      break;  // a quote before the '=': no attribute
    size_t name_end = equals;
    while (name_end > i && IsBlank(p[name_end - 1]))
      --name_end;
    size_t open_quote = equals + 1;
    while (open_quote < n && p[open_quote] != '"' && p[open_quote] != '>')
      ++open_quote;
    if (open_quote >= n)
      return false;
    if (p[open_quote] == '>') {
      close = open_quote;
      break;
    }
    const auto* close_quote = FindByte(p + open_quote + 1, p + n, '"');
    if (close_quote == nullptr)
      return false;
    const size_t value_end = close_quote - p;
    attributes->push_back(XmlTagAttribute{text.substr(i, name_end - i),
                                          text.substr(open_quote + 1, value_end - open_quote - 1)});
    i = value_end + 1;
  }
  if (close == std::string_view::npos) {
    close = FindTagClose(text, i);
    if (close == std::string_view::npos)
      return false;
  }
  tag->end = close + 1;
  tag->empty = close > lt + 1 && p[close - 1] == '/';
  return true;
}

}  // namespace xmldoc
