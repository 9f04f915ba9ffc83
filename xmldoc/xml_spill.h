// Names of the spill files that hold child elements outside the tree.
//
// Child i of node N lives in "<index path of N><i>.xmltmp" in the working folder, where the index
// path lists, from the root down, the index of each element below the root among its parent's
// children, each followed by '-'. Child 3 of the root is "3.xmltmp", child 5 of the root's child 2
// is "2-5.xmltmp".
#pragma once

#include <cstddef>
#include <string>

namespace xmldoc {

class CXmlNode;

inline constexpr char kSpillFileSuffix[] = ".xmltmp";

// "2-" for the root's child 2, "" for the root; -1 stands for a node missing from its parent.
std::string SpillIndexPath(const CXmlNode& node);
// The spill file name of child `index` of `node`.
std::string SpillFileName(const CXmlNode& node, size_t index);

}  // namespace xmldoc
