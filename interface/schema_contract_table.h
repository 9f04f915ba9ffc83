#ifndef INTERFACE_SCHEMA_CONTRACT_TABLE_H_
#define INTERFACE_SCHEMA_CONTRACT_TABLE_H_

// The expected shape of the seven wire schemas, for the contract test.

#include <vector>

namespace wire_contract {

struct FileRow {
  const char* file;  // name below interface/, as in the descriptor pool
  const char* package;
  const char* dependency;  // the one imported schema, "" for none
  bool lite;               // built for the lite runtime
};

struct MessageRow {
  const char* file;
  const char* message;  // full name
};

enum class Label { kOptional, kRequired, kRepeated };

struct FieldRow {
  const char* message;  // full name
  int number;
  const char* name;
  Label label;
  const char* type;           // "uint32" ..., "enum:<full name>" or "message:<full name>"
  const char* default_value;  // as protoc writes it ("true", "0"); nullptr: none declared
};

struct EnumValueRow {
  const char* enum_name;   // full name
  const char* value_name;  // nullptr where the schema chooses the name
  int number;
};

const std::vector<FileRow>& Files();
const std::vector<MessageRow>& Messages();
const std::vector<FieldRow>& Fields();
const std::vector<EnumValueRow>& EnumValues();

}  // namespace wire_contract

#endif  // INTERFACE_SCHEMA_CONTRACT_TABLE_H_
