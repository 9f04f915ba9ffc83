#include "gateclient/log/log_sink_list.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Record {
  int level;
  std::string text;
  std::string file;
  int line;
  std::string sink;
};

std::mutex g_mu;
std::vector<Record> g_records;

void First(int level, const char* text, const char* file, int line) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_records.push_back({level, text, file, line, "first"});
}

void Second(int level, const char* text, const char* file, int line) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_records.push_back({level, text, file, line, "second"});
}

std::vector<Record> TakeRecords() {
  std::lock_guard<std::mutex> lock(g_mu);
  std::vector<Record> out;
  out.swap(g_records);
  return out;
}

TEST(LogSinkListTest, SinksAreCalledInRegistrationOrderAndAddedOnce) {
  LogSinkList list;
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(list.Add(&Second));
  EXPECT_TRUE(list.Add(&First));
  EXPECT_FALSE(list.Add(&Second));
  EXPECT_FALSE(list.Add(nullptr));
  EXPECT_EQ(list.size(), 2u);

  list.Emit(kLogEvent, "connect", "a.cc", 7);
  const std::vector<Record> records = TakeRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].sink, "second");
  EXPECT_EQ(records[1].sink, "first");
  EXPECT_EQ(records[1].level, kLogEvent);
  EXPECT_EQ(records[1].text, "connect");
  EXPECT_EQ(records[1].file, "a.cc");
  EXPECT_EQ(records[1].line, 7);
}

TEST(LogSinkListTest, FullListRefusesFurtherSinks) {
  // Distinct sinks from one template, enough to overfill the list.
  LogSinkList list;
  std::size_t added = 0;
  const LogCallback sinks[] = {
      [](int, const char*, const char*, int) {}, [](int, const char*, const char*, int) {},
      [](int, const char*, const char*, int) {}, [](int, const char*, const char*, int) {},
      [](int, const char*, const char*, int) {}, [](int, const char*, const char*, int) {},
      [](int, const char*, const char*, int) {}, [](int, const char*, const char*, int) {},
      [](int, const char*, const char*, int) {}, [](int, const char*, const char*, int) {},
      [](int, const char*, const char*, int) {}, [](int, const char*, const char*, int) {},
      [](int, const char*, const char*, int) {}, [](int, const char*, const char*, int) {},
      [](int, const char*, const char*, int) {}, [](int, const char*, const char*, int) {},
      [](int, const char*, const char*, int) {},
  };
  for (LogCallback sink : sinks)
    added += list.Add(sink) ? 1 : 0;
  EXPECT_EQ(added, LogSinkList::kMaxSinks);
  EXPECT_EQ(list.size(), LogSinkList::kMaxSinks);
}

// The process-wide list: the system's sink registers once, and records reach a further sink with
// their text whole and the statement's file and line.
TEST(LogSinkListTest, ProcessListCarriesStreamedRecords) {
  LogSinkList& list = GetLogSinkList();
  EXPECT_EQ(&list, &GetLogSinkList());

  const std::size_t before = list.size();
  RegisterLogSink();
  RegisterLogSink();
  EXPECT_LE(list.size(), before + 1);
  const std::size_t with_system_sink = list.size();

  GC_LOG(kLogTraffic) << "ignored by the discarding sink " << 1;
  EXPECT_TRUE(TakeRecords().empty());

  ASSERT_TRUE(list.Add(&First));
  EXPECT_EQ(list.size(), with_system_sink + 1);
  const std::string long_text(1 << 20, 'x');
  const int line = __LINE__ + 1;
  GC_LOG(kLogFailure) << "addr " << 42 << ' ' << -7 << ' ' << long_text;
  const std::vector<Record> records = TakeRecords();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, kLogFailure);
  EXPECT_EQ(records[0].text, "addr 42 -7 " + long_text);
  EXPECT_EQ(records[0].line, line);
  EXPECT_NE(records[0].file.find("log_sink_list_test.cc"), std::string::npos);
}

TEST(LogSinkListTest, RecordsFromSeveralThreadsAllArrive) {
  LogSinkList list;
  list.Add(&First);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&list] {
      for (int i = 0; i < 100; ++i)
        list.Emit(kLogTraffic, "x", "f", i);
    });
  }
  std::thread adder([&list] { list.Add(&Second); });
  for (auto& t : threads)
    t.join();
  adder.join();
  const std::vector<Record> records = TakeRecords();
  std::size_t from_first = 0;
  for (const Record& r : records)
    from_first += r.sink == "first" ? 1 : 0;
  EXPECT_EQ(from_first, 400u);
}

}  // namespace
