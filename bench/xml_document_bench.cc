// Parse and save throughput of our XML documents beside pugixml and tinyxml2, on (a) a check-list
// of 50,000 "file" elements (about 5 MB) and (b) a skin file of nested controls.
//
// Each parse builds and frees a tree of several MB, so on a VM the first touch of fresh pages can
// outweigh the parse itself. For figures that compare the parsers, keep freed memory in the
// process for all three alike: run with GLIBC_TUNABLES set to these three, joined by ':',
//   glibc.malloc.trim_threshold=1000000000
//   glibc.malloc.mmap_threshold=1000000000
//   glibc.malloc.top_pad=268435456
// and --benchmark_repetitions=5, and compare the medians.
#include <benchmark/benchmark.h>
#include <tinyxml2.h>

#include <cstdio>
#include <pugixml.hpp>
#include <string>

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

void BM_ParseOurs(benchmark::State& state) {
  const std::string& text = Input(state.range(0));
  for (auto _ : state) {
    xmldoc::CXmlDocument doc;
    doc.Load(text, xmldoc::XmlSource::kText);
    benchmark::DoNotOptimize(doc.root());
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_ParsePugixml(benchmark::State& state) {
  const std::string& text = Input(state.range(0));
  for (auto _ : state) {
    pugi::xml_document doc;
    doc.load_buffer(text.data(), text.size());
    benchmark::DoNotOptimize(doc.first_child());
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_ParseTinyxml2(benchmark::State& state) {
  const std::string& text = Input(state.range(0));
  for (auto _ : state) {
    tinyxml2::XMLDocument doc;
    doc.Parse(text.data(), text.size());
    benchmark::DoNotOptimize(doc.RootElement());
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_SaveOurs(benchmark::State& state) {
  xmldoc::CXmlDocument doc;
  doc.Load(Input(state.range(0)), xmldoc::XmlSource::kText);
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
  pugi::xml_document doc;
  const std::string& text = Input(state.range(0));
  doc.load_buffer(text.data(), text.size());
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
  tinyxml2::XMLDocument doc;
  const std::string& text = Input(state.range(0));
  doc.Parse(text.data(), text.size());
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

BENCHMARK_MAIN();
