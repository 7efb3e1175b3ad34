// Natively there are no windows: no template can be loaded.
#include "api/dialogs.h"

namespace qs {

int RunModalDialog(std::intptr_t, WindowHandle, Dialog* dialog) {
  if (dialog) dialog->Release();
  return -1;
}

void CancelDialogsShowing(Web*, Anchor*) {}

}  // namespace qs
