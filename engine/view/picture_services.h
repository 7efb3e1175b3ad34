// Pictures for layout: the graphic services that the formatter's entity
// boxes use, answered by the engine's graphic cache, notation rules and
// renderers.
#pragma once
#include "view/graphic_services.h"

namespace qs {

class EntityDecl;
class GraphicObject;

// The graphic of an entity in a context: its key from the notation rules,
// its mask from the data attribute "MASK" named in the context; one use for
// the caller, or null.
GraphicObject* GetEntityPicture(Document* context, EntityDecl* entity, bool create);

// Installs the engine's picture services (engine start) and takes them out
// again, with the cache, at teardown.
void InstallPictureServices();
void RemovePictureServices();

}  // namespace qs
