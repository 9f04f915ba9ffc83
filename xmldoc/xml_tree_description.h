// A one-line description of an element tree, for tests and the fuzzer: two trees are the same
// when their descriptions are equal.
//
//   a{x="1"}(T"T1" b T"T2")   element a, attribute x, text T1, child b, text T2
//   C"..." comment, P"..." instruction, D"..." CDATA, ~ a spilled child
// Every item is listed before the child whose index is its position; names, values and texts as
// stored.
#pragma once

#include <string>
#include <string_view>

#include "xmldoc/xml_document.h"
#include "xmldoc/xml_node.h"

namespace xmldoc {

std::string DescribeTree(const CXmlNode& node);
// The document-level comments before the root, the root, and those after it.
std::string DescribeDocument(const CXmlDocument& document);

// Parses `text`; when it parses (with or without a declaration), saves it, parses the saved text
// and checks that the tree, the saved text and the writer's size estimates agree. Returns what
// differed, empty when all agree or the text does not parse.
std::string CheckRoundTrip(std::string_view text);

// Reads each start tag in `text` both with the parser's one-pass scan and with ReadToken and
// ParseTag, and returns where the two differ (end, kind, name or attributes), empty when they
// agree everywhere.
std::string CheckTagScan(std::string_view text);

}  // namespace xmldoc
