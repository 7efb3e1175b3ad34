// Catalogs and ENTITYRC files that a host pushes for the time of one load:
// each pushed catalog becomes the head of the engine's resolver chain, each
// pushed ENTITYRC file an include of the engine's own.
#pragma once

namespace qs {

class EntityrcFile;

void PushCatalog(const char* path);
// Nothing when nothing is pushed.
void PopCatalog();
// `root`: the engine's ENTITYRC file that gets the include (may be null).
void PushEntityrc(EntityrcFile* root, const char* path);
void PopEntityrc(EntityrcFile* root);
// Drops everything still pushed (when the engine goes).
void ClearResolverStacks(EntityrcFile* root);

}  // namespace qs
