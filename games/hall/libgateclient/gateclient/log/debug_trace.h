// The debug trace: printf-style texts for a developer watching the program, the counterpart of a
// debugger's output window. By default they go to standard error when the environment variable
// TARVIX_DEBUG_TRACE is set (to anything), and nowhere otherwise; tests install their own output.
#pragma once

#include <cstddef>

// Longest trace text; longer texts are cut to this many bytes.
inline constexpr std::size_t kDebugTraceMaxText = 65535;

// Formats like printf (cut at kDebugTraceMaxText bytes) and hands the text to the trace output.
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

using DebugTraceOutput = void (*)(const char* text);
// Replaces the trace output; null restores the default. Returns the previous output (null for the
// default). REQUIRES: no trace is being written meanwhile.
DebugTraceOutput SetDebugTraceOutput(DebugTraceOutput output);
