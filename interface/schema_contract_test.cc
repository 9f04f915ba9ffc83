// Holds the descriptor set that protoc writes from the seven schemas against the contract table.
// The checker reports every difference as one line, so a failing run names each copying error.

#include <google/protobuf/descriptor.h>
#include <google/protobuf/descriptor.pb.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "interface/schema_contract_table.h"
#include "platform/file_util.h"

namespace {

using google::protobuf::DescriptorProto;
using google::protobuf::EnumDescriptorProto;
using google::protobuf::FieldDescriptor;
using google::protobuf::FieldDescriptorProto;
using google::protobuf::FileDescriptorProto;
using google::protobuf::FileDescriptorSet;
using google::protobuf::FileOptions;
using wire_contract::Label;

std::string TypeText(const FieldDescriptorProto& field) {
  // protoc writes type names fully qualified with a leading dot.
  std::string name = field.type_name();
  if (!name.empty() && name[0] == '.')
    name.erase(0, 1);
  switch (field.type()) {
    case FieldDescriptorProto::TYPE_ENUM:
      return "enum:" + name;
    case FieldDescriptorProto::TYPE_MESSAGE:
      return "message:" + name;
    default:
      return FieldDescriptor::TypeName(static_cast<FieldDescriptor::Type>(field.type()));
  }
}

Label LabelOf(const FieldDescriptorProto& field) {
  switch (field.label()) {
    case FieldDescriptorProto::LABEL_REQUIRED:
      return Label::kRequired;
    case FieldDescriptorProto::LABEL_REPEATED:
      return Label::kRepeated;
    default:
      return Label::kOptional;
  }
}

const char* LabelText(Label label) {
  switch (label) {
    case Label::kRequired:
      return "required";
    case Label::kRepeated:
      return "repeated";
    default:
      return "optional";
  }
}

struct Collected {
  std::map<std::string, const FileDescriptorProto*> files;
  std::map<std::string, const DescriptorProto*> messages;         // full name
  std::map<std::string, const EnumDescriptorProto*> enums;        // full name
  std::map<std::string, std::string> message_file;                // full name -> file
  std::map<std::string, std::vector<std::string>> file_messages;  // in declaration order
  std::map<std::string, std::string> enum_file;
};

void CollectEnum(const std::string& scope, const std::string& file, const EnumDescriptorProto& e,
                 Collected* out) {
  std::string full = scope + "." + e.name();
  out->enums[full] = &e;
  out->enum_file[full] = file;
}

void CollectMessage(const std::string& scope, const std::string& file, const DescriptorProto& m,
                    Collected* out) {
  std::string full = scope + "." + m.name();
  out->messages[full] = &m;
  out->message_file[full] = file;
  out->file_messages[file].push_back(full);
  for (const auto& e : m.enum_type())
    CollectEnum(full, file, e, out);
  for (const auto& nested : m.nested_type())
    CollectMessage(full, file, nested, out);
}

// Every difference between the descriptor set and the contract table, one line each.
std::vector<std::string> CheckSchemas(const FileDescriptorSet& set) {
  std::vector<std::string> errors;
  auto fail = [&errors](const std::string& what) { errors.push_back(what); };

  Collected got;
  for (const auto& file : set.file()) {
    got.files[file.name()] = &file;
    for (const auto& m : file.message_type())
      CollectMessage(file.package(), file.name(), m, &got);
    for (const auto& e : file.enum_type())
      CollectEnum(file.package(), file.name(), e, &got);
  }

  std::set<std::string> lite_files;
  for (const auto& row : wire_contract::Files()) {
    auto it = got.files.find(row.file);
    if (it == got.files.end()) {
      fail(std::string("missing schema ") + row.file);
      continue;
    }
    const FileDescriptorProto& file = *it->second;
    if (file.package() != row.package)
      fail(std::string(row.file) + ": package " + file.package());
    if (!file.syntax().empty() && file.syntax() != "proto2") {
      fail(std::string(row.file) + ": syntax " + file.syntax());
    }
    std::vector<std::string> want_deps;
    if (*row.dependency)
      want_deps.push_back(row.dependency);
    std::vector<std::string> deps(file.dependency().begin(), file.dependency().end());
    if (deps != want_deps)
      fail(std::string(row.file) + ": imports differ");
    if (row.lite) {
      lite_files.insert(row.file);
      if (file.options().optimize_for() != FileOptions::LITE_RUNTIME) {
        fail(std::string(row.file) + ": not built for the lite runtime");
      }
    } else if (file.has_options()) {
      fail(std::string(row.file) + ": declares file options");
    }
    if (file.service_size() || file.extension_size()) {
      fail(std::string(row.file) + ": declares services or extensions");
    }
  }
  if (got.files.size() != wire_contract::Files().size())
    fail("unexpected extra schema");

  // Messages: exactly the table's set per file; the lite schema also in the table's order.
  std::map<std::string, std::vector<std::string>> want_messages;
  for (const auto& row : wire_contract::Messages()) {
    want_messages[row.file].push_back(row.message);
  }
  for (const auto& [file, want] : want_messages) {
    std::vector<std::string> have = got.file_messages[file];
    if (lite_files.count(file)) {
      if (have != want)
        fail(file + ": messages differ or are out of order");
      continue;
    }
    std::sort(have.begin(), have.end());
    std::vector<std::string> sorted_want = want;
    std::sort(sorted_want.begin(), sorted_want.end());
    if (have != sorted_want)
      fail(file + ": messages differ");
  }
  for (const auto& [name, message] : got.messages) {
    if (message->nested_type_size())
      fail(name + ": nested message");
    if (message->oneof_decl_size())
      fail(name + ": oneof");
    if (message->extension_size() || message->extension_range_size())
      fail(name + ": extensions");
  }

  // Fields: every row matched by number, no field beyond the table.
  std::map<std::string, std::map<int, const wire_contract::FieldRow*>> want_fields;
  for (const auto& row : wire_contract::Fields())
    want_fields[row.message][row.number] = &row;
  for (const auto& [name, message] : got.messages) {
    const auto& want = want_fields[name];
    std::set<int> seen;
    int previous = 0;
    bool lite = lite_files.count(got.message_file[name]) > 0;
    for (const auto& field : message->field()) {
      std::string where = name + "." + field.name() + " (" + std::to_string(field.number()) + ")";
      seen.insert(field.number());
      if (lite && field.number() < previous)
        fail(where + ": declared out of number order");
      previous = field.number();
      auto it = want.find(field.number());
      if (it == want.end()) {
        fail(where + ": not in the contract");
        continue;
      }
      const wire_contract::FieldRow& row = *it->second;
      if (field.name() != row.name)
        fail(where + ": name should be " + row.name);
      if (LabelOf(field) != row.label)
        fail(where + ": label should be " + LabelText(row.label));
      if (TypeText(field) != row.type) {
        fail(where + ": type " + TypeText(field) + " should be " + row.type);
      }
      if (row.default_value == nullptr) {
        if (field.has_default_value())
          fail(where + ": declares a default");
      } else if (!field.has_default_value() || field.default_value() != row.default_value) {
        fail(where + ": default should be " + row.default_value);
      }
      if (field.options().has_packed())
        fail(where + ": packed option");
    }
    for (const auto& [number, row] : want) {
      if (!seen.count(number))
        fail(name + ": missing field " + std::to_string(number));
    }
  }
  for (const auto& [name, fields] : want_fields) {
    if (!got.messages.count(name))
      fail("missing message " + name);
  }

  // Enums: named values in the table's order; where the schema names its values, the number set
  // with the table's default first, and names unique in the package.
  std::map<std::string, std::vector<const wire_contract::EnumValueRow*>> want_enums;
  for (const auto& row : wire_contract::EnumValues())
    want_enums[row.enum_name].push_back(&row);
  for (const auto& [name, e] : got.enums) {
    auto it = want_enums.find(name);
    if (it == want_enums.end()) {
      fail("enum " + name + " not in the contract");
      continue;
    }
    const auto& want = it->second;
    if (static_cast<size_t>(e->value_size()) != want.size()) {
      fail("enum " + name + ": value count differs");
      continue;
    }
    if (want[0]->value_name == nullptr) {
      if (e->value(0).number() != want[0]->number)
        fail("enum " + name + ": wrong first value");
      std::set<int> have_numbers, want_numbers;
      for (const auto& v : e->value())
        have_numbers.insert(v.number());
      for (const auto* row : want)
        want_numbers.insert(row->number);
      if (have_numbers != want_numbers)
        fail("enum " + name + ": value set differs");
      continue;
    }
    for (size_t i = 0; i < want.size(); ++i) {
      const auto& v = e->value(static_cast<int>(i));
      if (v.name() != want[i]->value_name || v.number() != want[i]->number) {
        fail("enum " + name + ": value " + std::to_string(i) + " is " + v.name() + " " +
             std::to_string(v.number()));
      }
    }
  }
  for (const auto& [name, rows] : want_enums) {
    if (!got.enums.count(name))
      fail("missing enum " + name);
  }
  for (const auto& file : lite_files) {
    std::set<std::string> names;
    for (const auto& [name, e] : got.enums) {
      if (got.enum_file[name] != file)
        continue;
      for (const auto& v : e->value()) {
        if (!names.insert(v.name()).second)
          fail(file + ": enumerator " + v.name() + " twice");
      }
    }
  }
  return errors;
}

FileDescriptorSet LoadDescriptorSet() {
  std::string bytes;
  FileDescriptorSet set;
  if (!platform::ReadFile(WIRE_DESCRIPTOR_SET, &bytes) || !set.ParseFromString(bytes)) {
    ADD_FAILURE() << "cannot read " << WIRE_DESCRIPTOR_SET;
  }
  return set;
}

TEST(SchemaContractTest, SchemasMatchTheContract) {
  FileDescriptorSet set = LoadDescriptorSet();
  ASSERT_EQ(set.file_size(), 7);
  EXPECT_THAT(CheckSchemas(set), testing::IsEmpty());
}

// The checker itself must see each kind of copying error; every row spoils one thing.
TEST(SchemaContractTest, CheckerReportsEachKindOfDifference) {
  const FileDescriptorSet pristine = LoadDescriptorSet();
  ASSERT_THAT(CheckSchemas(pristine), testing::IsEmpty());

  auto message = [](FileDescriptorSet& set, const std::string& file,
                    const std::string& name) -> DescriptorProto* {
    for (auto& f : *set.mutable_file()) {
      if (f.name() != file)
        continue;
      for (auto& m : *f.mutable_message_type()) {
        if (m.name() == name)
          return &m;
      }
    }
    return nullptr;
  };
  auto file = [](FileDescriptorSet& set, const std::string& name) -> FileDescriptorProto* {
    for (auto& f : *set.mutable_file()) {
      if (f.name() == name)
        return &f;
    }
    return nullptr;
  };

  struct Case {
    const char* what;
    std::function<void(FileDescriptorSet&)> spoil;
  };
  const std::vector<Case> cases = {
      {"TransferDataRsp.req_id numbered 2",
       [&](FileDescriptorSet& s) {
         message(s, "gate/gate.proto", "TransferDataRsp")->mutable_field(1)->set_number(2);
       }},
      {"PulseRsp.attachd_data respelled",
       [&](FileDescriptorSet& s) {
         message(s, "gate/gate.proto", "PulseRsp")->mutable_field(1)->set_name("attached_data");
       }},
      {"LoginReq.market_id made optional",
       [&](FileDescriptorSet& s) {
         message(s, "client/client.proto", "LoginReq")
             ->mutable_field(4)
             ->set_label(FieldDescriptorProto::LABEL_OPTIONAL);
       }},
      {"UserRoomInfo.score as int64",
       [&](FileDescriptorSet& s) {
         message(s, "types/types.proto", "UserRoomInfo")
             ->mutable_field(2)
             ->set_type(FieldDescriptorProto::TYPE_INT64);
       }},
      {"MessagePrompt.is_chat default false",
       [&](FileDescriptorSet& s) {
         message(s, "client/client.proto", "MessagePrompt")
             ->mutable_field(2)
             ->set_default_value("false");
       }},
      {"TitleMatchItem.hide_nick dropped",
       [&](FileDescriptorSet& s) {
         message(s, "client/hallclient.proto", "TitleMatchItem")->mutable_field()->RemoveLast();
       }},
      {"CaptchaRsp gains a field",
       [&](FileDescriptorSet& s) {
         auto* f = message(s, "client/captcha.proto", "CaptchaRsp")->add_field();
         f->set_name("extra");
         f->set_number(9);
         f->set_label(FieldDescriptorProto::LABEL_OPTIONAL);
         f->set_type(FieldDescriptorProto::TYPE_UINT32);
       }},
      {"AllPlanRsp.planid_set packed",
       [&](FileDescriptorSet& s) {
         message(s, "client/hallclient.proto", "AllPlanRsp")
             ->mutable_field(4)
             ->mutable_options()
             ->set_packed(true);
       }},
      {"LoginRsp.Result without UNKOWN first",
       [&](FileDescriptorSet& s) {
         auto* values =
             message(s, "client/client.proto", "LoginRsp")->mutable_enum_type(0)->mutable_value();
         values->SwapElements(0, 1);
       }},
      {"JoinRsp.Result with 0 declared first",
       [&](FileDescriptorSet& s) {
         message(s, "client/matchclient.proto", "JoinRsp")
             ->mutable_enum_type(0)
             ->mutable_value()
             ->SwapElements(0, 1);
       }},
      {"ActionType loses 15",
       [&](FileDescriptorSet& s) {
         file(s, "client/matchclient.proto")->mutable_enum_type(0)->mutable_value()->RemoveLast();
       }},
      {"matchclient built for the full runtime",
       [&](FileDescriptorSet& s) { file(s, "client/matchclient.proto")->clear_options(); }},
      {"client imports matchclient",
       [&](FileDescriptorSet& s) {
         file(s, "client/client.proto")->add_dependency("client/matchclient.proto");
       }},
      {"matchclient messages reordered",
       [&](FileDescriptorSet& s) {
         file(s, "client/matchclient.proto")->mutable_message_type()->SwapElements(0, 1);
       }},
      {"matchclient field out of number order",
       [&](FileDescriptorSet& s) {
         message(s, "client/matchclient.proto", "JoinRsp")->mutable_field()->SwapElements(0, 1);
       }},
      {"userinfo package renamed",
       [&](FileDescriptorSet& s) { file(s, "client/userinfo.proto")->set_package("qv.user"); }},
  };
  for (const auto& c : cases) {
    FileDescriptorSet spoiled = pristine;
    c.spoil(spoiled);
    EXPECT_THAT(CheckSchemas(spoiled), testing::Not(testing::IsEmpty())) << c.what;
  }
}

}  // namespace
