// The one type of a refused input, shared by every room and face.
//
// A value, a text or a record that Quorix will not compute with (outside
// the model's domain, a text that is no number, a record without a cycle,
// a fit the data does not determine) is refused with a Refusal whose
// message names the input and, where there is one, its value:
// "n must be positive: -1", "line 7: the force \"1.2.3\" is not a number".
// The faces show the message as it is: the command line as one line on
// standard error (exit status 1), Python as ValueError, the window and the
// page beside the field or record at fault.
//
// Derived from std::invalid_argument so that a binding that knows only the
// standard types (pybind11 raises ValueError for it) needs no translator.
#pragma once

#include <stdexcept>

namespace quorix {

class Refusal : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

}  // namespace quorix
