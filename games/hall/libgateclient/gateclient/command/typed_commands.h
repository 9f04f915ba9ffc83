// The command class of every message that travels, named Cmd<Message> (for example
// qv::CmdLoginReq = qv::CMD_Template<qv::client::LoginReq, 13, 1>), and its creator
// Create<Message>Command: a new command parsed from message bytes.
#pragma once

#include <string>

#include "client/captcha.pb.h"
#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "client/matchclient.pb.h"
#include "client/userinfo.pb.h"
#include "gate/gate.pb.h"
#include "gateclient/command/cmd_template.h"
#include "gateclient/command/command_list.h"

namespace qv {

#define GATECLIENT_DECLARE_COMMAND(kind, subid, package, name) \
  using Cmd##name = CMD_Template<package::name, kind, subid>;   \
  CMD_base* Create##name##Command(const std::string& payload);
GATECLIENT_FOR_EACH_COMMAND(GATECLIENT_DECLARE_COMMAND)
#undef GATECLIENT_DECLARE_COMMAND

// A creator: a new command (releaser null, payload field empty) whose message was parsed from
// `payload`, or null when the bytes do not parse (nothing stays allocated).
using CommandCreator = CMD_base* (*)(const std::string& payload);

}  // namespace qv
