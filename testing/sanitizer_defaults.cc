// Sanitizer defaults compiled into every program of the sanitizer build, so that processes
// started by tests behave like the tests themselves.

extern "C" {

const char* __asan_default_options() {
  return "detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:"
         "check_initialization_order=1";
}

const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

// Leaks inside third-party libraries that a process cannot release; never our own code.
const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n"
         "leak:libSDL2\n"
         "leak:libX11\n"
         "leak:libdbus\n";
}

}  // extern "C"
