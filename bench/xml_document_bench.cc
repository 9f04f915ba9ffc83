// Parse and save throughput of our XML documents beside pugixml and tinyxml2, on (a) a check-list
// of 50,000 "file" elements (about 5 MB) and (b) a skin file of nested controls.
//
// Each parse builds and frees a tree of several MB, so on a VM the first touch of fresh pages can
// outweigh the parse itself. Run it twice: as it is (malloc's defaults, what the hall gets), and
// with GLIBC_TUNABLES set to these three, joined by ':', which keep freed memory in the process
// for all three parsers alike:
//   glibc.malloc.trim_threshold=1000000000
//   glibc.malloc.mmap_threshold=1000000000
//   glibc.malloc.top_pad=268435456
// Every result is labelled with the malloc settings it ran under. Every parse's status is checked,
// and so is what it built: the check-list's 50,000 files, the skin's 200 rows.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <tinyxml2.h>

#include <cstdio>
#include <pugixml.hpp>
#include <string>

#include "bench/interleaved_main.h"
#include "xmldoc/xml_document.h"

namespace {

constexpr int kCheckListFiles = 50000;

const std::string& CheckListText() {
  static const std::string text = [] {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\r\n<checklist>\r\n";
    char line[256];
    for (int i = 0; i < kCheckListFiles; ++i) {
      std::snprintf(line, sizeof line,
                    "\t<file path=\"games\\ddz\\resource\\image\\card_%05d_highlight.png\" "
                    "size=\"%d\" ftime=\"%d\"/>\r\n",
                    i, 1000 + i * 37, 1700000000 + i);
      out += line;
    }
    return out + "</checklist>\r\n";
  }();
  return text;
}

const std::string& SkinText() {
  static const std::string text = [] {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\r\n"
        "<Window size=\"600,800\" caption=\"0,0,0,30\" roundcorner=\"4,4\">\r\n"
        "<Font name=\"WenQuanYi Micro Hei\" size=\"12\" default=\"true\"/>\r\n"
        "<VerticalLayout bkimage=\"main\\bk.png\">\r\n";
    char block[1024];
    for (int i = 0; i < 200; ++i) {
      std::snprintf(block, sizeof block,
                    "<HorizontalLayout height=\"30\" name=\"row%d\">\r\n"
                    "\t<Label name=\"title%d\" text=\"Match &lt;%d&gt; &amp; more\" width=\"120\" "
                    "textcolor=\"#FF333333\"/>\r\n"
                    "\t<Button name=\"signup%d\" normalimage=\"file='btn.png' source='0,0,60,24'\" "
                    "hotimage=\"file='btn.png' source='60,0,120,24'\"/>\r\n"
                    "\t<!-- row %d -->\r\n\t<Text>Prize pool %d</Text>\r\n"
                    "</HorizontalLayout>\r\n",
                    i, i, i, i, i, i);
      out += block;
    }
    return out + "</VerticalLayout>\r\n</Window>\r\n";
  }();
  return text;
}

const std::string& Input(int which) {
  return which == 0 ? CheckListText() : SkinText();
}

// What a whole parse of input `which` has: the check-list's root holds every file; the skin's
// root holds its font and its layout, and the layout every row.
constexpr size_t kRootChildren[] = {kCheckListFiles, 2};
constexpr size_t kLastChildChildren[] = {0, 200};

void Label(benchmark::State& state) {
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  state.SetLabel(std::string(state.range(0) == 0 ? "check-list" : "skin") +
                 (tunables != nullptr && std::string(tunables).find("malloc") != std::string::npos
                      ? ", tuned malloc"
                      : ", default malloc"));
}

bool WholeTree(const xmldoc::CXmlDocument& doc, int which) {
  const xmldoc::CXmlNode* root = doc.root();
  if (root == nullptr || root->ChildCount() != kRootChildren[which])
    return false;
  const xmldoc::CXmlNode* last = root->Child(root->ChildCount() - 1);
  return last != nullptr && last->ChildCount() == kLastChildChildren[which];
}

bool WholeTree(const pugi::xml_document& doc, int which) {
  const pugi::xml_node root = doc.document_element();
  size_t count = 0;
  pugi::xml_node last;
  for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
    ++count;
    last = child;
  }
  size_t last_count = 0;
  for (pugi::xml_node child = last.first_child(); child; child = child.next_sibling())
    last_count += child.type() == pugi::node_element;
  return count == kRootChildren[which] && last_count == kLastChildChildren[which];
}

bool WholeTree(const tinyxml2::XMLDocument& doc, int which) {
  const tinyxml2::XMLElement* root = doc.RootElement();
  if (root == nullptr)
    return false;
  size_t count = 0;
  const tinyxml2::XMLElement* last = nullptr;
  for (const tinyxml2::XMLElement* e = root->FirstChildElement(); e != nullptr;
       e = e->NextSiblingElement()) {
    ++count;
    last = e;
  }
  size_t last_count = 0;
  for (const tinyxml2::XMLElement* e = last != nullptr ? last->FirstChildElement() : nullptr;
       e != nullptr; e = e->NextSiblingElement()) {
    ++last_count;
  }
  return count == kRootChildren[which] && last_count == kLastChildChildren[which];
}

void BM_ParseOurs(benchmark::State& state) {
  Label(state);
  const int which = static_cast<int>(state.range(0));
  const std::string& text = Input(which);
  for (auto _ : state) {
    xmldoc::CXmlDocument doc;
    if (!doc.Load(text, xmldoc::XmlSource::kText) || !WholeTree(doc, which)) {
      state.SkipWithError("the text did not parse whole");
      return;
    }
    benchmark::DoNotOptimize(doc.root());
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_ParsePugixml(benchmark::State& state) {
  Label(state);
  const int which = static_cast<int>(state.range(0));
  const std::string& text = Input(which);
  for (auto _ : state) {
    pugi::xml_document doc;
    if (doc.load_buffer(text.data(), text.size()).status != pugi::status_ok ||
        !WholeTree(doc, which)) {
      state.SkipWithError("the text did not parse whole");
      return;
    }
    benchmark::DoNotOptimize(doc.first_child());
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_ParseTinyxml2(benchmark::State& state) {
  Label(state);
  const int which = static_cast<int>(state.range(0));
  const std::string& text = Input(which);
  for (auto _ : state) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS || !WholeTree(doc, which)) {
      state.SkipWithError("the text did not parse whole");
      return;
    }
    benchmark::DoNotOptimize(doc.RootElement());
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}

// Each saver's output must be a whole document again; checked once, outside the timing.
bool ReparsesWhole(const std::string& saved, int which) {
  xmldoc::CXmlDocument doc;
  return doc.Load(saved, xmldoc::XmlSource::kText) && WholeTree(doc, which);
}

void BM_SaveOurs(benchmark::State& state) {
  Label(state);
  const int which = static_cast<int>(state.range(0));
  xmldoc::CXmlDocument doc;
  if (!doc.Load(Input(which), xmldoc::XmlSource::kText) || !WholeTree(doc, which) ||
      !ReparsesWhole(doc.SaveToMemory(), which)) {
    state.SkipWithError("the document did not load or save whole");
    return;
  }
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string out = doc.SaveToMemory();
    bytes += out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(bytes);
}

struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
};

void BM_SavePugixml(benchmark::State& state) {
  Label(state);
  const int which = static_cast<int>(state.range(0));
  pugi::xml_document doc;
  const std::string& text = Input(which);
  StringWriter once;
  pugi::xml_document again;
  if (doc.load_buffer(text.data(), text.size()).status != pugi::status_ok ||
      (doc.save(once),
       again.load_buffer(once.out.data(), once.out.size()).status != pugi::status_ok) ||
      !WholeTree(again, which)) {
    state.SkipWithError("the document did not load or save whole");
    return;
  }
  size_t bytes = 0;
  for (auto _ : state) {
    StringWriter writer;
    doc.save(writer);
    bytes += writer.out.size();
    benchmark::DoNotOptimize(writer.out.data());
  }
  state.SetBytesProcessed(bytes);
}

void BM_SaveTinyxml2(benchmark::State& state) {
  Label(state);
  const int which = static_cast<int>(state.range(0));
  tinyxml2::XMLDocument doc;
  const std::string& text = Input(which);
  tinyxml2::XMLPrinter once;
  tinyxml2::XMLDocument again;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS || (doc.Print(&once), false) ||
      again.Parse(once.CStr(), static_cast<size_t>(once.CStrSize() - 1)) != tinyxml2::XML_SUCCESS ||
      !WholeTree(again, which)) {
    state.SkipWithError("the document did not load or save whole");
    return;
  }
  size_t bytes = 0;
  for (auto _ : state) {
    tinyxml2::XMLPrinter printer;
    doc.Print(&printer);
    bytes += printer.CStrSize();
    benchmark::DoNotOptimize(printer.CStr());
  }
  state.SetBytesProcessed(bytes);
}

// Argument 0: the check-list; 1: the skin.
BENCHMARK(BM_ParseOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParsePugixml)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseTinyxml2)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePugixml)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTinyxml2)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

TARVIX_BENCHMARK_MAIN()
