// The property the HTTP reply fuzzer checks, and the corpus replay test on its kept inputs: what
// the update engine takes from any reply an update server (or anyone on the way) can send.
#pragma once

#include <string>
#include <string_view>

namespace hall {

// `input` picks one request and the reply it gets. Its first byte picks the byte range asked for
// (none, "0-1", "2-" or "3-7"), whether the file time is asked for, and whether the reply is
// built from a description (the rest of the input: status, Content-Range, Last-Modified, chunked
// or not, body) or is the rest of the input taken as raw bytes; the second byte picks the most
// bytes the request may deliver. A real DownloadSession fetches it from a loopback server that
// sends the reply, and the result must follow the rules:
// - never more body bytes than allowed, and the bytes reported are the bytes delivered;
// - a body is taken only from a 200, or from a 206 whose Content-Range starts at the asked byte,
//   ends within the asked range, covers every asked byte of a file of known size and is as long
//   as the body; a 206 answers only a range request;
// - the range total and the file time come only from the reply's own Content-Range and
//   Last-Modified;
// - for a described reply, exactly the code, body, status, file time and range total that the
//   rules give.
// Returns "" when that holds, else what broke.
std::string CheckHttpReply(std::string_view input);

}  // namespace hall
