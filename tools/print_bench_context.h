// The drawing context print_bench hands the preview exports: what a host's
// preview passes them.
#pragma once
#include <cstdint>

struct PageContext;

// A context for a page of `width` x `height` pixels, or null when none can
// be made.
PageContext* NewPageContext(int width, int height);
// The context's value for the exports (0 natively, where the preview
// draws nothing).
std::intptr_t ContextValue(const PageContext* page);
void DeletePageContext(PageContext* page);
