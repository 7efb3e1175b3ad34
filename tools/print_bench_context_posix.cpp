// Natively the preview lays its pages out with the platform surface's
// fixed metrics and needs no context.
#include "print_bench_context.h"

struct PageContext {};

PageContext* NewPageContext(int, int) { return new PageContext; }
std::intptr_t ContextValue(const PageContext*) { return 0; }
void DeletePageContext(PageContext* page) { delete page; }
