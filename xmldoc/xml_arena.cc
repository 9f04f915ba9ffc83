#include "xmldoc/xml_arena.h"

#include <algorithm>
#include <cstring>

namespace xmldoc {
namespace {

// Blocks grow from the first size to the last: a small document stays small, a large one needs
// few blocks.
constexpr size_t kFirstBlockSize = 16 * 1024;
constexpr size_t kLargestBlockSize = 4 * 1024 * 1024;

}  // namespace

XmlArena::~XmlArena() {
  while (block_ != nullptr) {
    Block* previous = block_->previous;
    ::operator delete(block_);
    block_ = previous;
  }
}

void XmlArena::AddBlock(size_t at_least) {
  // A parsed tree takes a few times its text; start near that for a large document.
  size_t size = block_ == nullptr ? std::clamp(source_.size(), kFirstBlockSize, kLargestBlockSize)
                                  : std::min(block_size_ * 2, kLargestBlockSize);
  size = std::max(size, at_least + sizeof(Block));
  auto* block = static_cast<Block*>(::operator new(size));
  block->previous = block_;
  block_ = block;
  block_size_ = size;
  used_ = sizeof(Block);
}

std::string_view XmlArena::Copy(std::string_view text) {
  if (text.empty())
    return {};
  char* copy = AllocateArray<char>(text.size());
  std::memcpy(copy, text.data(), text.size());
  return {copy, text.size()};
}

}  // namespace xmldoc
