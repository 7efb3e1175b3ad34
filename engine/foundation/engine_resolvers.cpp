// The engine's resolvers and tables, made from the settings once they are
// known: the catalog and ENTITYRC file (shared through the library's lists,
// held with a use), the setup file, the SDATA table and the name of the
// input-decoding tables file.
#include "foundation/engine.h"
#include "sgml/catalog.h"
#include "sgml/entityrc.h"
#include "sgml/sdata_table.h"
#include "sgml/setup_file.h"
#include "sgml/unicode_tables.h"

namespace qs {

void Engine::CreateResolvers() {
  if (!catalog && catalogFile_) {
    Catalog* made = CreateCatalog(catalogFile_);
    made->AdjustUse(1, 0);
    catalog.Set(made, [](Catalog* c) { c->AdjustUse(2, 0); });
  }
  if (!entityRc && entityRcFile_) {
    EntityrcFile* made = CreateEntityrc(catalog.get(), entityRcFile_);
    made->AdjustUse(1, 0);
    entityRc.Set(made, [](EntityrcFile* e) { e->AdjustUse(2, 0); });
  }
  if (!setup) setup.Set(new SetupFile(setupFile_));
  if (!sdata) sdata.Set(CreateSdataTable(sdataHome_));
  char tables[kPathBufferSize];
  SetEngineTablesPath(UnicodeTablesPath(setupFile_, home(), tables, sizeof tables));
}

}  // namespace qs
