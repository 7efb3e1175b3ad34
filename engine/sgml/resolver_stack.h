// Catalogs and ENTITYRC files that a host pushes for the time of one load:
// each pushed catalog becomes the head of the engine's resolver chain, each
// pushed ENTITYRC file an include of the engine's own. The stacks belong to
// the current engine: without one a push does nothing, and what is still
// pushed when the engine goes is popped then.
#pragma once

namespace qs {

class EntityrcFile;

void PushCatalog(const char* path);
// Nothing when nothing is pushed.
void PopCatalog();
// `root`: the engine's ENTITYRC file that gets the include (may be null).
void PushEntityrc(EntityrcFile* root, const char* path);
void PopEntityrc(EntityrcFile* root);

}  // namespace qs
