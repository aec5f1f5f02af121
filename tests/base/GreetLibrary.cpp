// A small library for the run-time loading tests: "greet" exists only in
// its text variant, "twice" in both forms.
extern "C" {

__attribute__((visibility("default"))) int greetA() { return 1; }
__attribute__((visibility("default"))) int twice() { return 2; }
__attribute__((visibility("default"))) int twiceA() { return 3; }

}
