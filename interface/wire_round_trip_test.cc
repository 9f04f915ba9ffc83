// Every message of every schema survives serialize and parse with every field set. The fields
// are filled through reflection (values distinct per field number, negative where the type is
// signed, two elements per repeated field), so a message or field added later is covered too.
// The lite match schema has no reflection: its messages are filled as dynamic messages built
// from the descriptor set, and the lite class must parse that encoding into known fields only
// and write the same bytes again.

#include <google/protobuf/descriptor.h>
#include <google/protobuf/descriptor.pb.h>
#include <google/protobuf/dynamic_message.h>
#include <google/protobuf/message.h>
#include <google/protobuf/util/message_differencer.h>

#include <memory>
#include <string>
#include <vector>

#include "client/captcha.pb.h"
#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "client/matchclient.pb.h"
#include "client/userinfo.pb.h"
#include "gate/gate.pb.h"
#include "gtest/gtest.h"
#include "interface/wire_bytes_for_test.h"
#include "platform/file_util.h"
#include "types/types.pb.h"

namespace {

using google::protobuf::Descriptor;
using google::protobuf::DescriptorPool;
using google::protobuf::DynamicMessageFactory;
using google::protobuf::FieldDescriptor;
using google::protobuf::FileDescriptorSet;
using google::protobuf::Message;
using google::protobuf::Reflection;
using google::protobuf::util::MessageDifferencer;

// Sets every field of `message`; embedded messages are filled in turn, `depth` levels deep.
void FillAll(Message* message, int depth) {
  const Descriptor* type = message->GetDescriptor();
  const Reflection* r = message->GetReflection();
  for (int i = 0; i < type->field_count(); ++i) {
    const FieldDescriptor* f = type->field(i);
    const int copies = f->is_repeated() ? 2 : 1;
    for (int k = 0; k < copies; ++k) {
      const std::uint64_t n = static_cast<std::uint64_t>(f->number()) * 10 + k + 1;
      const bool rep = f->is_repeated();
      switch (f->cpp_type()) {
        case FieldDescriptor::CPPTYPE_UINT32: {
          std::uint32_t v = 0x80000000u + static_cast<std::uint32_t>(n);
          rep ? r->AddUInt32(message, f, v) : r->SetUInt32(message, f, v);
          break;
        }
        case FieldDescriptor::CPPTYPE_UINT64: {
          std::uint64_t v = (std::uint64_t{1} << 63) + n;
          rep ? r->AddUInt64(message, f, v) : r->SetUInt64(message, f, v);
          break;
        }
        case FieldDescriptor::CPPTYPE_INT64: {
          std::int64_t v = -static_cast<std::int64_t>(n);
          rep ? r->AddInt64(message, f, v) : r->SetInt64(message, f, v);
          break;
        }
        case FieldDescriptor::CPPTYPE_INT32: {
          std::int32_t v = -static_cast<std::int32_t>(n);
          rep ? r->AddInt32(message, f, v) : r->SetInt32(message, f, v);
          break;
        }
        case FieldDescriptor::CPPTYPE_BOOL:
          // The opposite of any declared default, so the set value is visible.
          rep ? r->AddBool(message, f, k == 0) : r->SetBool(message, f, !f->default_value_bool());
          break;
        case FieldDescriptor::CPPTYPE_STRING: {
          std::string v = f->type() == FieldDescriptor::TYPE_BYTES
                              ? std::string("\0\xff", 2) + std::to_string(n)
                              : "\xe4\xb8\xad" + std::to_string(n);  // UTF-8 text
          rep ? r->AddString(message, f, v) : r->SetString(message, f, v);
          break;
        }
        case FieldDescriptor::CPPTYPE_ENUM: {
          // The last declared value: never the default, which is declared first.
          const auto* v = f->enum_type()->value(f->enum_type()->value_count() - 1 - k);
          rep ? r->AddEnum(message, f, v) : r->SetEnum(message, f, v);
          break;
        }
        case FieldDescriptor::CPPTYPE_MESSAGE: {
          Message* inner = rep ? r->AddMessage(message, f) : r->MutableMessage(message, f);
          if (depth > 0)
            FillAll(inner, depth - 1);
          break;
        }
        default:
          ADD_FAILURE() << f->full_name() << ": a field type the schemas do not use";
      }
    }
  }
}

// Every field of `message` is set (each repeated one with two elements).
void ExpectAllSet(const Message& message) {
  std::vector<const FieldDescriptor*> set;
  message.GetReflection()->ListFields(message, &set);
  EXPECT_EQ(set.size(), static_cast<size_t>(message.GetDescriptor()->field_count()))
      << message.GetTypeName();
}

// Each full-runtime schema, named by one of its messages so that its generated code is linked.
struct SchemaRow {
  const char* file;
  const Message* anchor;
};

TEST(WireRoundTripTest, EveryFullRuntimeMessageKeepsEveryField) {
  const std::vector<SchemaRow> schemas = {
      {"gate/gate.proto", &qv::gate::PulseReq::default_instance()},
      {"types/types.proto", &qv::types::BaseUserInfo::default_instance()},
      {"client/client.proto", &qv::client::LoginReq::default_instance()},
      {"client/hallclient.proto", &qv::hallclient::AllGroupReq::default_instance()},
      {"client/userinfo.proto", &qv::userinfo::RegisterReq::default_instance()},
      {"client/captcha.proto", &qv::captcha::CaptchaReq::default_instance()},
  };
  for (const auto& schema : schemas) {
    ASSERT_EQ(schema.anchor->GetDescriptor()->file()->name(), schema.file);
    const auto* file = DescriptorPool::generated_pool()->FindFileByName(schema.file);
    ASSERT_NE(file, nullptr) << schema.file;
    ASSERT_GT(file->message_type_count(), 0) << schema.file;
    for (int i = 0; i < file->message_type_count(); ++i) {
      const Descriptor* type = file->message_type(i);
      const Message* prototype =
          google::protobuf::MessageFactory::generated_factory()->GetPrototype(type);
      std::unique_ptr<Message> original(prototype->New());
      FillAll(original.get(), 2);
      ExpectAllSet(*original);
      std::string bytes;
      ASSERT_TRUE(original->SerializePartialToString(&bytes)) << type->full_name();

      std::unique_ptr<Message> parsed(prototype->New());
      ASSERT_TRUE(parsed->ParseFromString(bytes)) << type->full_name();
      EXPECT_TRUE(parsed->GetReflection()->GetUnknownFields(*parsed).empty()) << type->full_name();
      EXPECT_TRUE(MessageDifferencer::Equals(*original, *parsed)) << type->full_name();
      ExpectAllSet(*parsed);
      std::string again;
      ASSERT_TRUE(parsed->SerializePartialToString(&again));
      EXPECT_EQ(again, bytes) << type->full_name();
    }
  }
}

class LiteRoundTrip : public testing::Test {
 protected:
  void SetUp() override {
    std::string bytes;
    FileDescriptorSet set;
    ASSERT_TRUE(platform::ReadFile(WIRE_DESCRIPTOR_SET, &bytes));
    ASSERT_TRUE(set.ParseFromString(bytes));
    for (const auto& file : set.file())
      ASSERT_NE(pool_.BuildFile(file), nullptr) << file.name();
  }

  // Fills a dynamic twin of T, parses its bytes with the lite class and checks that every field
  // landed in a known field and is written back unchanged.
  template <typename T>
  void Check() {
    T lite;
    const std::string name = lite.GetTypeName();
    const Descriptor* type = pool_.FindMessageTypeByName(name);
    ASSERT_NE(type, nullptr) << name;
    std::unique_ptr<Message> twin(factory_.GetPrototype(type)->New());
    FillAll(twin.get(), 2);
    ExpectAllSet(*twin);
    std::string bytes;
    ASSERT_TRUE(twin->SerializePartialToString(&bytes)) << name;

    ASSERT_TRUE(lite.ParseFromString(bytes)) << name;
    EXPECT_TRUE(lite.unknown_fields().empty())
        << name << ": fields left unknown: " << wire_test::Hex(lite.unknown_fields());
    std::string again;
    ASSERT_TRUE(lite.SerializePartialToString(&again)) << name;
    EXPECT_EQ(wire_test::Hex(again), wire_test::Hex(bytes)) << name;

    T copy;
    copy.CopyFrom(lite);
    EXPECT_EQ(copy.SerializePartialAsString(), bytes) << name;
    ++checked_;
  }

  DescriptorPool pool_;
  DynamicMessageFactory factory_{&pool_};
  int checked_ = 0;
};

TEST_F(LiteRoundTrip, EveryMatchMessageKeepsEveryField) {
  namespace mc = qv::matchclient;
  Check<mc::JoinReq>();
  Check<mc::JoinRsp>();
  Check<mc::PlayerActionReq>();
  Check<mc::PlayerActionRsp>();
  Check<mc::GameData>();
  Check<mc::TableStatus>();
  Check<mc::PrizeItem>();
  Check<mc::MatchPrize>();
  Check<mc::AddChip>();
  Check<mc::RoundStart>();
  Check<mc::RoundEnd>();
  Check<mc::StageEvent>();
  Check<mc::OneTurnEvent>();
  Check<mc::DieoutStageEnding>();
  Check<mc::TopRankList>();
  Check<mc::MatchRankData>();
  Check<mc::RankListReq>();
  Check<mc::EnterMatchReq>();
  Check<mc::EnterMatchRsp>();
  Check<mc::MatchStart>();
  Check<mc::BaseScoreEvent>();
  Check<mc::BackGameReq>();
  Check<mc::BackGameRsp>();
  Check<mc::FixedNumberPlanReq>();
  Check<mc::FixedNumberPlanRsp>();
  Check<mc::MayIBack2MP>();
  Check<mc::RoundSceneReq>();
  Check<mc::RoundSceneRsp>();
  Check<mc::PlayerRightReq>();
  Check<mc::PlayerRightRsp>();
  Check<mc::UserInfoInd>();
  Check<mc::UserDetailInfo>();
  Check<mc::MatchGoingInfo>();
  Check<mc::PlayerEndOneMatch>();
  Check<mc::FreeMatchNewMatch>();
  const auto* file = pool_.FindFileByName("client/matchclient.proto");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(checked_, file->message_type_count()) << "a match message is not checked";
}

// The lite classes carry no descriptor: they derive from the lite base alone.
TEST(WireRoundTripTest, MatchClassesAreLite) {
  static_assert(std::is_base_of_v<google::protobuf::MessageLite, qv::matchclient::JoinRsp>);
  static_assert(!std::is_base_of_v<google::protobuf::Message, qv::matchclient::JoinRsp>);
  static_assert(std::is_base_of_v<google::protobuf::Message, qv::client::LoginRsp>);
  EXPECT_EQ(qv::matchclient::JoinReq().GetTypeName(), "qv.matchclient.JoinReq");
}

}  // namespace
