// The views' part in link following: the link code hands a followed link,
// a range and a graphic area to the view it was followed in, and the
// layout's link markers and link text follow their links through here.
// Installed while the engine runs.
#pragma once
#include "foundation/callbacks.h"

namespace qs {

class DocumentView;
class View;

void InstallViewLinkHooks();
void RemoveViewLinkHooks();

// The link code's view pointer of a document view, and back (null for a
// view that is no document view).
View* LinkViewOf(DocumentView* view);
DocumentView* DocumentViewOf(View* view);
// The window a document view draws in, 0 without one.
WindowHandle DocumentViewWindow(DocumentView* view);

}  // namespace qs
