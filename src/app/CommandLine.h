#pragma once
// Hosts start the program without arguments. A person who types one of the
// usual questions gets an answer instead of a run on the folder's work file.

namespace hq2hd {

// With exactly one argument that asks for the version or the usage (`/?` too
// on Windows), prints the answer and returns true: the process then ends
// without touching any file. Every other command line is ignored.
bool AnswerTypedQuestion(int argc, const char* const* argv);

}  // namespace hq2hd
