// The property check of decoded gate frames handed to the command factories and to the client
// frame's handlers, run by the gate_commands fuzz target and by the replay of its corpus.
//
// Input: records of u16 kind, u16 subid (big-endian), a flags byte, a u16 big-endian length and
// that many payload bytes (the last record takes what is left).
//   kind 12: a gate frame of that subid carrying the payload.
//   any other kind: a transfer (12, 3) carrying the payload as a command of (kind, subid).
//   flags bit 0: the connection closes and a new one opens before the record.
//   flags bit 1: the frame arrives on a connection that is no longer current.
//   flags bit 2: the payload is sent in clear even when the link is keyed (the gate would
//                encipher it).
//   flags bits 3, 4: the transfer names the kind, the subid, plus 2^16.
#pragma once

#include <string>
#include <string_view>

namespace gatecheck {

// For every record: each factory makes a command only of its own kind and of a (kind, subid) that
// has a command class, and what it makes serializes to bytes that parse back to the same bytes; a
// gate command encodes into a frame that decodes to the same message. Then the records go, one
// frame each, through a client frame that is not connected to any network (a catalogue and a
// window attached): the session's state stays one of its five; the window receives exactly the
// commands a transfer carries (each entry of a packed message that a command can be made of) and
// nothing from a stale connection; a hello reply keys the link with its key and sets the gate
// list and token; a login reply sets the login state; a match detail is kept under its plan.
// Returns "" when all hold, else what failed.
std::string CheckGateCommands(std::string_view input);

}  // namespace gatecheck
