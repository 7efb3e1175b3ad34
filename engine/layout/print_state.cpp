#include "layout/print_state.h"

namespace qs {

PrintState& GetPrintState() {
  static PrintState state;
  return state;
}

}  // namespace qs
