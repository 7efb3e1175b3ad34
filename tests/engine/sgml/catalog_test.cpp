// External identifiers, catalogs, the ENTITYRC file and the setup file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/callbacks.h"
#include "foundation/engine.h"
#include "foundation/errors.h"
#include "foundation/memory.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "recording_sink.h"
#include "sgml/catalog.h"
#include "sgml/entityrc.h"
#include "sgml/external_id.h"
#include "sgml/resolver_stack.h"
#include "sgml/setup_file.h"
#include "foundation/text_writer.h"
#include "../foundation/temp_folder.h"

namespace qs {
namespace {

// A hosted engine made current for one test, its boxes recorded, with a
// folder of files to read.
class ResolverTest : public testing::Test {
 protected:

 protected:
  ResolverTest() : engine_(0, Dir().c_str(), "T", nullptr) {
    previous_ = SetEngine(&engine_);
  }
  ~ResolverTest() override {
    GetEntityrcList().Clear();
    GetCatalogList().Clear();
    SetCurrentResolver(nullptr);
    SetEngine(previous_);
  }
  std::string Path(const std::string& name) const { return folder_.File(name); }
  // The folder with the platform's separator after it.
  std::string Dir() const {
    std::string f = folder_.File("x");
    return f.substr(0, f.size() - 1);
  }
  void Write(const std::string& name, const std::string& text) {
    test::TempFolder::Write(Path(name), text);
  }
  std::string Resolved(SystemPath* path) {
    if (!path) return "(none)";
    char* full = path->GetFullPath();
    std::string s = full ? full : "";
    MemFree(full);
    path->Release();
    return s;
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> m;
    for (const auto& r : sink_.messages()) m.push_back(r.text);
    return m;
  }

  test::RecordingSink sink_;
  test::TempFolder folder_;
  HostedEngine engine_;
  EngineBase* previous_;
};

TEST(PublicIds, Normalisation) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"  -//acme//DTD  Manual//en ", "-//ACME//DTD MANUAL//EN"},
      {"\t-//A//B\n\r C//x\t", "-//A//B C//X"},
      {"", ""},
      {"   ", ""},
      {"caf\xE9", "CAF\xC9"},
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    NormalizePublicId(text.data());
    EXPECT_STREQ(text.c_str(), c.out) << c.in;
  }
  std::string longId(300, 'a');
  EXPECT_FALSE(NormalizePublicIdBuffered(longId.data(), 256));
  EXPECT_EQ(longId, std::string(300, 'a'));  // refused, untouched
  EXPECT_TRUE(NormalizePublicIdBuffered(longId.data(), 512));
}

TEST_F(ResolverTest, ExternalIdResolutionOrder) {
  Write("catalog", "PUBLIC \"-//X//DTD A//EN\" a.dtd\nDOCTYPE book book.dtd\nENTITY logo logo.gif\n");
  Catalog* catalog = CreateCatalog(Path("catalog").c_str());
  InternedName* base = g_nameTable->Intern("C:\\base\\");
  struct Case {
    const char* name;
    const char* system;
    const char* publicId;
    int kind;
    std::string want;
  } cases[] = {
      {nullptr, "s.dtd", "  -//x//dtd  a//en", 0, Dir() + "a.dtd"},
      {nullptr, "s.dtd", "-//X//DTD UNKNOWN//EN", 0, "C:\\base\\s.dtd"},
      {nullptr, "/abs/s.dtd", nullptr, 0, "/abs/s.dtd"},
      {"book", nullptr, nullptr, ExternalId::kDoctype, Dir() + "book.dtd"},
      {"logo", nullptr, nullptr, ExternalId::kGeneralEntity, Dir() + "logo.gif"},
      {"logo", nullptr, nullptr, ExternalId::kParameterEntity, "C:\\base\\logo"},
      {"other", nullptr, nullptr, ExternalId::kDoctype, "C:\\base\\other"},
  };
  for (const Case& c : cases) {
    ExternalId id(catalog, base, c.name, c.system, c.publicId, c.kind);
    char* path = id.GetFilePath();
    EXPECT_EQ(path ? std::string(path) : "(none)", c.want) << (c.name ? c.name : c.system);
    MemFree(path);
  }
  ExternalId none(catalog, base, nullptr, nullptr, "-//NOWHERE//EN", 0);
  EXPECT_EQ(none.Location(), nullptr);
  EXPECT_EQ(none.GetFilePath(), nullptr);
  base->Release();
}

TEST_F(ResolverTest, ExternalIdEqualsAndFormat) {
  ExternalId a(nullptr, nullptr, "n", "x.sgm", "-//A//EN", 0);
  ExternalId b(nullptr, nullptr, "m", "y.sgm", " -//a//en ", 0);
  ExternalId c(nullptr, nullptr, "n", "x.sgm", nullptr, 0);
  ExternalId d(nullptr, nullptr, "n", "x.sgm", nullptr, 0);
  ExternalId e(nullptr, nullptr, nullptr, nullptr, nullptr, 0);
  ExternalId f(nullptr, nullptr, nullptr, nullptr, nullptr, 0);
  EXPECT_TRUE(a.Equals(b));   // by public identifier
  EXPECT_FALSE(a.Equals(c));  // only one has a public identifier
  EXPECT_TRUE(c.Equals(d));   // by location
  EXPECT_FALSE(c.Equals(e));  // only one has a location
  EXPECT_TRUE(e.Equals(f));

  char buf[64];
  EXPECT_STREQ(a.Format(buf, sizeof buf), "PUBLIC \"-//A//EN\"");
  EXPECT_STREQ(c.Format(buf, sizeof buf), "SYSTEM \"x.sgm\"");
  EXPECT_STREQ(e.Format(buf, sizeof buf), "<untitled>");
  char small[10];
  EXPECT_STREQ(a.Format(small, sizeof small), "PUBLIC \"-");
}

TEST_F(ResolverTest, CatalogFirstEntryWinsAndIncludesKeepFileOrder) {
  Write("sub", "PUBLIC Q sub.dtd\nPUBLIC P subp.dtd\n");
  Write("unquoted", "PUBLIC U u.dtd\n");
  Write("catalog",
        "-- main catalog -- PUBLIC \"p\" before.dtd\n"
        "PUBLIC \"  P \" ignored.dtd\n"
        "CATALOG \"sub\"\n"
        "PUBLIC \"Q\" after.dtd\n"
        "CATALOG unquoted\n"
        "PUBLIC \"R\" r/after.dtd\n"
        "ENTITY \"%ISOlat1\" lat1.ent\n"
        "OVERRIDE YES SGMLDECL \"x.dcl\" DTDDECL \"-//Y//EN\" y.dcl\n");
  Catalog* catalog = CreateCatalog(Path("catalog").c_str());
  EXPECT_EQ(Resolved(catalog->ResolvePublicId("P", 0)), Dir() + "before.dtd");
  EXPECT_EQ(Resolved(catalog->ResolvePublicId("Q", 0)), Dir() + "sub.dtd");
  EXPECT_EQ(Resolved(catalog->ResolvePublicId("R", 0)), Dir() + "r/after.dtd");
  EXPECT_EQ(Resolved(catalog->ResolvePublicId("U", 0)), Dir() + "u.dtd");
  EXPECT_EQ(Resolved(catalog->ResolveEntityName("ISOlat1", 1, 0)), Dir() + "lat1.ent");
  EXPECT_EQ(Resolved(catalog->ResolveEntityName("ISOlat1", 0, 0)), "(none)");
  EXPECT_EQ(catalog->FindPublic("Q"), nullptr);  // its own entries only
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ResolverTest, CatalogSyntaxErrorsKeepWhatWasRead) {
  struct Case {
    std::string text;
    std::vector<std::string> messages;
    bool hasA;
  } cases[] = {
      {"PUBLIC A a.dtd\n- stray\nPUBLIC B b.dtd\n", {"Error in CATALOG"}, true},
      {"PUBLIC A a.dtd\nPUBLIC B", {"Error in CATALOG"}, true},
      {"PUBLIC A a.dtd\n\"unterminated", {"Error in CATALOG"}, true},
      {"PUBLIC A a.dtd -- open comment", {"Error in CATALOG"}, true},
      {"PUBLIC \"" + std::string(300, 'x') + "\" x.dtd PUBLIC A a.dtd", {"Error in CATALOG"}, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    sink_.Clear();
    std::string name = "bad" + std::to_string(n++);
    Write(name, c.text);
    Catalog* catalog = CreateCatalog(Path(name).c_str());
    EXPECT_EQ(Messages(), c.messages) << c.text;
    EXPECT_EQ(catalog->FindPublic("A") != nullptr, c.hasA) << c.text;
    EXPECT_EQ(catalog->FindPublic("B"), nullptr) << c.text;
  }
}

TEST_F(ResolverTest, RecursiveCatalogsReportOnceAndKeepTheirEntries) {
  Write("a", "PUBLIC A1 a1.dtd\nCATALOG \"b\"\nPUBLIC A2 a2.dtd\n");
  Write("b", "PUBLIC B1 b1.dtd\nCATALOG \"a\"\nPUBLIC B2 b2.dtd\n");
  Write("self", "CATALOG \"self\"\nPUBLIC S s.dtd\n");
  Catalog* a = CreateCatalog(Path("a").c_str());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], "Recursive CATALOG inclusion: '" + Path("a") + "'");
  for (const char* id : {"A1", "A2", "B1", "B2"})
    EXPECT_NE(Resolved(a->ResolvePublicId(id, 0)), "(none)") << id;
  sink_.Clear();
  Catalog* self = CreateCatalog(Path("self").c_str());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Recursive CATALOG inclusion: '" + Path("self") + "'"});
  EXPECT_EQ(Resolved(self->ResolvePublicId("S", 0)), Dir() + "s.dtd");
}

TEST_F(ResolverTest, CatalogListSharesAndEvicts) {
  for (int i = 0; i < 7; ++i) Write("c" + std::to_string(i), "PUBLIC X x.dtd\n");
  Catalog* first = CreateCatalog(Path("c0").c_str());
  EXPECT_EQ(CreateCatalog(Path("c0").c_str()), first);
  for (int i = 1; i < 7; ++i) CreateCatalog(Path("c" + std::to_string(i)).c_str());
  // More than four loaded and none in use: one goes per new file.
  EXPECT_LT(GetCatalogList().Count(), 7u);
}

// A host that, asked for a public identifier, pushes a catalog of its own
// and leaves the answer to it.
struct HostPush {
  std::string catalog;
  int asked = 0;
};
std::intptr_t HostResolves(WindowHandle, int, std::intptr_t, std::intptr_t, std::intptr_t data) {
  auto* host = reinterpret_cast<HostPush*>(data);
  ++host->asked;
  PushCatalog(host->catalog.c_str());
  return 0;
}

TEST_F(ResolverTest, FallbackToTheCurrentResolver) {
  Write("main", "PUBLIC A a.dtd\n");
  Write("pushed", "PUBLIC B pushed-b.dtd\nPUBLIC A pushed-a.dtd\n");
  Catalog* main = CreateCatalog(Path("main").c_str());
  Catalog* pushed = CreateCatalog(Path("pushed").c_str());
  EXPECT_EQ(Resolved(main->ResolvePublicId("B", 1)), "(none)");
  SetCurrentResolver(pushed);
  EXPECT_EQ(Resolved(main->ResolvePublicId("B", 1)), Dir() + "pushed-b.dtd");
  EXPECT_EQ(Resolved(main->ResolvePublicId("B", 0)), "(none)");
  EXPECT_EQ(Resolved(main->ResolvePublicId("A", 1)), Dir() + "a.dtd");
  SetCurrentResolver(nullptr);
}

TEST_F(ResolverTest, AResolverTheHostPushesWhileAskedAnswers) {
  Write("main", "PUBLIC A a.dtd\n");
  Write("hosts", "PUBLIC B host-b.dtd\n");
  HostPush host{Path("hosts")};
  HostedEngine hosted(0, Dir().c_str(), "H", DispatchEvent);
  SetEngine(&hosted);
  ASSERT_TRUE(RegisterCallback(0, kEventResolvePublicId, HostResolves,
                               reinterpret_cast<std::intptr_t>(&host)));
  Catalog* main = CreateCatalog(Path("main").c_str());
  EXPECT_EQ(Resolved(main->ResolvePublicId("A", 1)), Dir() + "a.dtd");
  EXPECT_EQ(host.asked, 0);  // the catalog knew it
  EXPECT_EQ(Resolved(main->ResolvePublicId("B", 1)), Dir() + "host-b.dtd");
  EXPECT_EQ(host.asked, 1);
  PopCatalog();
  EXPECT_EQ(GetCurrentResolver(), nullptr);
  FreeAllCallbacks();
  SetEngine(&engine_);
}

TEST_F(ResolverTest, CatalogAndEntityrcListsUpdateAndEvict) {
  Write("cat", "PUBLIC A a.dtd\n");
  Catalog* catalog = CreateCatalog(Path("cat").c_str());
  Write("cat", "PUBLIC A b.dtd\n");
  EXPECT_EQ(Resolved(catalog->ResolvePublicId("A", 0)), Dir() + "a.dtd");
  GetCatalogList().Update();  // read anew, in place
  EXPECT_EQ(Resolved(catalog->ResolvePublicId("A", 0)), Dir() + "b.dtd");

  auto title = [](EntityrcFile* rc) {
    InternedName* atom = g_nameTable->Intern("-//E//EN");
    const char* t = rc->GetDocTitle(atom);
    atom->Release();
    return std::string(t ? t : "(none)");
  };
  for (int i = 0; i < 7; ++i) Write("e" + std::to_string(i), "PUBLIC \"-//E//EN\" DOCTITLE \"v1\"\n");
  EntityrcFile* held = CreateEntityrc(nullptr, Path("e0").c_str());
  held->AdjustUse(1, 0);
  CreateEntityrc(nullptr, Path("e1").c_str());  // loaded, in no one's use
  Write("e0", "PUBLIC \"-//E//EN\" DOCTITLE \"v2\"\n");
  Write("e1", "PUBLIC \"-//E//EN\" DOCTITLE \"v2\"\n");
  for (int i = 2; i < 7; ++i) CreateEntityrc(nullptr, Path("e" + std::to_string(i)).c_str());
  // Past four files the oldest unused one went, and comes back read anew;
  // the one in use stays as it was loaded.
  EXPECT_EQ(CreateEntityrc(nullptr, Path("e0").c_str()), held);
  EXPECT_EQ(title(held), "v1");
  EXPECT_EQ(title(CreateEntityrc(nullptr, Path("e1").c_str())), "v2");
  GetEntityrcList().Update();
  EXPECT_EQ(title(held), "v2");
  held->AdjustUse(2, 0);
  EXPECT_TRUE(Messages().empty());
}

// An ENTITYRC file that cannot be written keeps its entries as they were.
TEST_F(ResolverTest, AddResourceToAnUnwritableFileChangesNothing) {
  ExternalId doc(nullptr, nullptr, nullptr, Path("doc.sgm").c_str(), "-//A//EN", 0);
  auto resources = [&doc](EntityrcFile* rc) {
    ListHead out;
    rc->GetResources(&doc, out, false);
    std::size_t n = 0;
    for (ListNode* node = out.First(); node; node = node->Next()) ++n;
    out.DeleteAll();
    return n;
  };
  // Its folder is gone: the file cannot even be made.
  std::filesystem::create_directories(Path("gone"));
  Write("gone/entityrc", "PUBLIC \"-//A//EN\" STYLESPEC \"One\" \"one.ssh\"\n");
  EntityrcFile* rc = CreateEntityrc(nullptr, Path("gone/entityrc").c_str());
  ASSERT_EQ(resources(rc), 1u);
  std::filesystem::remove_all(Path("gone"));
  EXPECT_EQ(rc->AddResource("-//A//EN", "Two", (Dir() + "two.ssh").c_str(), 0, true), nullptr);
  EXPECT_EQ(resources(rc), 1u);

  // The text is written but cannot replace the file (a folder stands there).
  Write("blocked", "PUBLIC \"-//A//EN\" STYLESPEC \"One\" \"one.ssh\"\n");
  EntityrcFile* blocked = CreateEntityrc(nullptr, Path("blocked").c_str());
  ASSERT_EQ(resources(blocked), 1u);
  std::filesystem::remove(Path("blocked"));
  std::filesystem::create_directories(Path("blocked"));
  Write("blocked/keep", "x");
  EXPECT_EQ(blocked->AddResource("-//A//EN", "Two", (Dir() + "two.ssh").c_str(), 0, true), nullptr);
  EXPECT_EQ(resources(blocked), 1u);
  EXPECT_FALSE(test::TempFolder::Exists(Path("blocked~")));  // no scratch file left
}

// A cache of loaded resources: a found item moves to the front, and only a
// new identifier makes an item.
TEST_F(ResolverTest, ResourceCacheFindOrAddMovesToTheFront) {
  struct Cache : ResourceCache {
    int created = 0;
    ~Cache() override { items_.DeleteAll(); }
    ResourceCacheItem* Create(ExternalId* id) override {
      ++created;
      return new ResourceCacheItem(id);
    }
  } cache;
  auto* a = new ExternalId(nullptr, nullptr, nullptr, nullptr, "-//A//EN", 0);
  auto* b = new ExternalId(nullptr, nullptr, nullptr, Path("b.sgm").c_str(), nullptr, 0);
  auto* sameAsA = new ExternalId(nullptr, nullptr, nullptr, Path("other.sgm").c_str(), "-//a//en", 0);
  ResourceCacheItem* itemA = cache.FindOrAdd(a);
  ResourceCacheItem* itemB = cache.FindOrAdd(b);
  ASSERT_NE(itemA, nullptr);
  ASSERT_NE(itemB, nullptr);
  EXPECT_EQ(cache.First(), itemB);
  EXPECT_EQ(cache.FindOrAdd(sameAsA), itemA);
  EXPECT_EQ(cache.First(), itemA);
  EXPECT_EQ(cache.Next(itemA), itemB);
  EXPECT_EQ(cache.created, 2);
  // No identifier is an item of its own, found again as such.
  ResourceCacheItem* none = cache.FindOrAdd(nullptr);
  EXPECT_EQ(none->Id(), nullptr);
  EXPECT_EQ(cache.FindOrAdd(nullptr), none);
  EXPECT_EQ(cache.created, 3);
  EXPECT_EQ(cache.Find(sameAsA), itemA);
  // Items hold their identifiers.
  for (ExternalId* id : {a, b, sameAsA}) id->Release();
  EXPECT_STREQ(itemA->Id()->PublicId(), "-//A//EN");
}

// The writers of style sheets, navigators and webs write an identifier's
// file whole or not at all.
TEST_F(ResolverTest, OpenWriteWritesTheIdentifiersFile) {
  ExternalId unresolved(nullptr, nullptr, nullptr, nullptr, nullptr, 0);
  EXPECT_EQ(unresolved.OpenWrite(false), nullptr);
  Write("web.web", "old");
  ExternalId id(nullptr, nullptr, nullptr, Path("web.web").c_str(), nullptr, 0);
  TextWriter* writer = id.OpenWrite(true);
  ASSERT_NE(writer, nullptr);
  writer->PutString("<web>\n</web>\n");
  EXPECT_EQ(test::TempFolder::ReadAll(Path("web.web")), "old");
  EXPECT_TRUE(writer->Close());
  delete writer;
  EXPECT_EQ(test::TempFolder::ReadAll(Path("web.web")), "<web>\r\n</web>\r\n");
  ExternalId nowhere(nullptr, nullptr, nullptr, Path("no-such-folder/x.web").c_str(), nullptr, 0);
  EXPECT_EQ(nowhere.OpenWrite(false), nullptr);
  EXPECT_FALSE(test::TempFolder::Exists(Path("no-such-folder")));
}

TEST_F(ResolverTest, SetupFile) {
  Write("setup",
        "LAUNCH \"orphan.exe\"\n"
        "ENTITY pdf LAUNCH \"x.exe \\file\" LAUNCH \"second.exe\"\n"
        "entity \"cgm\" launch 'cgm.exe \\file'\n"
        "PUBLIC \"-//acme//NOTATION x//en\" LAUNCH a.exe\n"
        "PUBLIC \"-//ACME//NOTATION X//EN\" LAUNCH b.exe\n"
        "FONTMAP Arial Helvetica\n"
        "FONTMAP \"Helvetica Narrow\" \"DejaVu Sans\"\n");
  SetupFile setup(Path("setup").c_str());
  EXPECT_STREQ(setup.FindFontMap("ARIAL"), "HELVETICA");
  EXPECT_STREQ(setup.FindFontMap("Helvetica Narrow"), "DejaVu Sans");
  EXPECT_EQ(setup.FindFontMap("Courier"), nullptr);
  ASSERT_NE(setup.FindEntity("PDF"), nullptr);
  EXPECT_EQ(setup.FindEntity("pdf"), nullptr);
  EXPECT_STREQ(setup.FindEntity("PDF")->ActionText(), "x.exe \\file");
  EXPECT_EQ(setup.FindEntity("PDF")->ActionKind(), SetupEntry::kLaunch);
  ASSERT_NE(setup.FindEntity("cgm"), nullptr);
  EXPECT_STREQ(setup.FindEntity("cgm")->ActionText(), "cgm.exe \\file");
  ASSERT_NE(setup.FindPublic("-//ACME//NOTATION X//EN"), nullptr);
  EXPECT_STREQ(setup.FindPublic("-//ACME//NOTATION X//EN")->ActionText(), "A.EXE");
  EXPECT_TRUE(Messages().empty());

  Write("only-public", "PUBLIC");
  SetupFile bad(Path("only-public").c_str());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Error in SETUP"});
  Write("half-fontmap", "FONTMAP \"Times\"");
  SetupFile half(Path("half-fontmap").c_str());
  EXPECT_EQ(half.FindFontMap("Times"), nullptr);
  EXPECT_EQ(Messages().size(), 2u);
  SetupFile missing(Path("missing").c_str());
  EXPECT_EQ(missing.FindEntity("PDF"), nullptr);
}

TEST_F(ResolverTest, EntityrcReadAndResources) {
  Write("manual.ssh", "");
  Write("doc.sgm", "");
  Write("plain.sgm", "");
  Write("plain.ssh", "");
  Write("entityrc",
        "public \"-//ACME//DTD Manual//EN\"\n"
        "  doctitle \"Manual\" DOCTITLE \"Second\"\n"
        "  stylespec \"Main Style\" \"styles/main.ssh\"\n"
        "  navigator Nav nav.nav\n");
  EntityrcFile* rc = CreateEntityrc(nullptr, Path("entityrc").c_str());
  InternedName* atom = g_nameTable->Intern("-//ACME//DTD MANUAL//EN");
  EXPECT_STREQ(rc->GetDocTitle(atom), "Manual");
  atom->Release();

  ExternalId doc(nullptr, nullptr, nullptr, Path("doc.sgm").c_str(), "-//ACME//DTD Manual//EN", 0);
  ListHead out;
  rc->GetResources(&doc, out, true);
  std::vector<std::string> got;
  for (ListNode* n = out.First(); n; n = n->Next()) {
    EntityrcResource* r = ResourceOf(n);
    char* path = r->GetFilePath();
    got.push_back(std::to_string(r->Kind()) + ":" + r->Title() + ":" + path);
    MemFree(path);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"0:Main Style:" + Dir() + "styles/main.ssh",
                                           "1:NAV:" + Dir() + "NAV.NAV"}));
  out.DeleteAll();

  // No entry: the sibling style sheet of the same base name, and nothing else.
  ExternalId plain(nullptr, nullptr, nullptr, Path("plain.sgm").c_str(), nullptr, 0);
  rc->GetResources(&plain, out, true);
  ASSERT_TRUE(out.HasOneItem());
  EXPECT_STREQ(ResourceOf(out.First())->Title(), "Default Style Sheet");
  out.DeleteAll();
}

TEST_F(ResolverTest, EntityrcAddAndRemoveRewriteTheFile) {
  Write("entityrc", "-- comment -- PUBLIC \"-//B//EN\" DOCTITLE \"B\"\nPUBLIC \"-//A//EN\"\n");
  EntityrcFile* rc = CreateEntityrc(nullptr, Path("entityrc").c_str());
  EntityrcResource* r =
      rc->AddResource("-//a//en", "It's \"quoted\"", (Dir() + "sub/x.ssh").c_str(), 0, true);
  ASSERT_NE(r, nullptr);
  std::string text = test::TempFolder::ReadAll(Path("entityrc"));
  EXPECT_EQ(text,
            "--*************  ENTITYRC DEFINITIONS AND MAPPING  *************--\r\n"
            "\r\nPUBLIC \"-//A//EN\""
            "\r\n\tSTYLESPEC \"It's &Q;quoted&Q;\" \"sub/x.ssh\""
            "\r\nPUBLIC \"-//B//EN\"\r\n\tDOCTITLE \"B\"\r\n");
  EXPECT_EQ(rc->RemoveResource("-//A//EN", "it's \"QUOTED\"", (Dir() + "sub/x.ssh").c_str(), 0), 1);
  EXPECT_EQ(test::TempFolder::ReadAll(Path("entityrc")),
            "--*************  ENTITYRC DEFINITIONS AND MAPPING  *************--\r\n"
            "\r\nPUBLIC \"-//A//EN\"\r\nPUBLIC \"-//B//EN\"\r\n\tDOCTITLE \"B\"\r\n");
  EXPECT_EQ(rc->RemoveResource("-//A//EN", "gone", "x.ssh", 0), 0);
}

TEST_F(ResolverTest, EntityrcIncludesAndErrors) {
  Write("inner", "PUBLIC \"-//I//EN\" DOCTITLE \"Inner\"\nENTITYRC \"outer\"\n");
  Write("outer",
        "PUBLIC \"-//O//EN\" DOCTITLE \"Outer\"\nENTITYRC \"inner\"\n"
        "PUBLIC \"-//AFTER//EN\" DOCTITLE \"After\"\n");
  EntityrcFile* rc = CreateEntityrc(nullptr, Path("outer").c_str());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Recursive ENTITYRC inclusion: '" + Path("outer") + "'"});
  for (auto [id, title] : {std::pair{"-//I//EN", "Inner"}, std::pair{"-//AFTER//EN", "After"}}) {
    InternedName* atom = g_nameTable->Intern(id);
    EXPECT_STREQ(rc->GetDocTitle(atom), title);
    atom->Release();
  }
  ASSERT_EQ(rc->WriteEntityrcFile(nullptr), 1);
  EXPECT_EQ(test::TempFolder::ReadAll(Path("outer")),
            "--*************  ENTITYRC DEFINITIONS AND MAPPING  *************--\r\n"
            "\r\nPUBLIC \"-//O//EN\"\r\n\tDOCTITLE \"Outer\""
            "\r\nENTITYRC \"inner\""
            "\r\nPUBLIC \"-//AFTER//EN\"\r\n\tDOCTITLE \"After\"\r\n");
  sink_.Clear();
  Write("broken", "PUBLIC \"-//X//EN\" STYLESPEC \"title only\"");
  CreateEntityrc(nullptr, Path("broken").c_str());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Error in ENTITYRC"});
}

// Catalogs as Debian ships them: OVERRIDE, DTDDECL and comments between the
// entries are passed over without losing an entry.
TEST_F(ResolverTest, DebianCatalogs) {
  struct Case {
    const char* catalog;
    const char* publicId;
    const char* file;
  } cases[] = {
      {"/usr/share/sgml/html/dtd/4.01/catalog", "-//W3C//DTD HTML 4.01 Transitional//EN",
       "loose.dtd"},
      {"/usr/share/sgml/html/dtd/4.01/catalog", "-//W3C//DTD HTML 4.01 Frameset//EN",
       "frameset.dtd"},
      {"/usr/share/xml/docbook/schema/dtd/4.5/catalog", "-//OASIS//DTD DocBook XML V4.5//EN",
       "docbookx.dtd"},
      {"/usr/share/xml/docbook/schema/dtd/4.5/catalog", "-//OASIS//ENTITIES DocBook Character Entities V4.5//EN",
       "dbcentx.mod"},
  };
  for (const Case& c : cases) {
    if (!test::TempFolder::Exists(c.catalog)) GTEST_SKIP() << c.catalog << " is not installed";
    Catalog* catalog = CreateCatalog(c.catalog);
    std::string dir = std::string(c.catalog, std::strlen(c.catalog) - std::strlen("catalog"));
    char id[256];
    CopyStringMax(id, c.publicId, sizeof id);
    NormalizePublicId(id);
    EXPECT_EQ(Resolved(catalog->ResolvePublicId(id, 0)), dir + c.file) << c.publicId;
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ResolverTest, PushedCatalogsResolveOnlyWhilePushed) {
  Write("main", "PUBLIC M m.dtd\n");
  Write("first", "PUBLIC P first.dtd\n");
  Write("second", "PUBLIC P second.dtd\nPUBLIC S s.dtd\n");
  Catalog* main = CreateCatalog(Path("main").c_str());
  EXPECT_EQ(Resolved(main->ResolvePublicId("P", 1)), "(none)");
  PushCatalog(Path("first").c_str());
  EntityResolver* afterFirst = GetCurrentResolver();
  PushCatalog(Path("second").c_str());
  // The catalog pushed first wins; the later one still adds its own entries.
  EXPECT_EQ(Resolved(main->ResolvePublicId("P", 1)), Dir() + "first.dtd");
  EXPECT_EQ(Resolved(main->ResolvePublicId("S", 1)), Dir() + "s.dtd");
  PopCatalog();
  EXPECT_EQ(GetCurrentResolver(), afterFirst);
  EXPECT_EQ(Resolved(main->ResolvePublicId("S", 1)), "(none)");
  PopCatalog();
  EXPECT_EQ(GetCurrentResolver(), nullptr);
  EXPECT_EQ(Resolved(main->ResolvePublicId("P", 1)), "(none)");
  PopCatalog();  // nothing pushed: nothing happens
  EXPECT_EQ(GetCurrentResolver(), nullptr);
}

TEST_F(ResolverTest, PushedEntityrcIsIncludedOnlyWhilePushed) {
  Write("root", "PUBLIC \"-//R//EN\" DOCTITLE \"Root\"\nENTITYRC \"known\"\n");
  Write("known", "PUBLIC \"-//K//EN\" DOCTITLE \"Known\"\n");
  Write("local", "PUBLIC \"-//L//EN\" DOCTITLE \"Local\"\n");
  EntityrcFile* root = CreateEntityrc(nullptr, Path("root").c_str());
  InternedName* local = g_nameTable->Intern("-//L//EN");
  InternedName* known = g_nameTable->Intern("-//K//EN");
  EXPECT_EQ(root->GetDocTitle(local), nullptr);
  PushEntityrc(root, Path("local").c_str());
  EXPECT_STREQ(root->GetDocTitle(local), "Local");
  PushEntityrc(root, Path("known").c_str());  // already included: no new include
  PopEntityrc(root);
  EXPECT_STREQ(root->GetDocTitle(known), "Known");
  PopEntityrc(root);
  EXPECT_EQ(root->GetDocTitle(local), nullptr);
  EXPECT_STREQ(root->GetDocTitle(known), "Known");
  PopEntityrc(root);  // nothing pushed
  local->Release();
  known->Release();
}

// The stacks belong to the engine: what a host left pushed is popped when the
// engine goes, so nothing outlives it pointing at its catalogs.
TEST_F(ResolverTest, WhatIsLeftPushedGoesWithTheEngine) {
  Write("root", "PUBLIC \"-//R//EN\" DOCTITLE \"Root\"\n");
  Write("local", "PUBLIC \"-//L//EN\" DOCTITLE \"Local\"\n");
  Write("pushed", "PUBLIC P p.dtd\n");
  EntityrcFile* root = CreateEntityrc(nullptr, Path("root").c_str());
  root->AdjustUse(1, 0);  // the test's own use, past the engine's
  InternedName* local = g_nameTable->Intern("-//L//EN");
  auto* other = new HostedEngine(0, Dir().c_str(), "Other", nullptr);
  SetEngine(other);
  root->AdjustUse(1, 0);
  other->entityRc.Set(root, [](EntityrcFile* e) { e->AdjustUse(2, 0); });
  PushCatalog(Path("pushed").c_str());
  PushEntityrc(root, Path("local").c_str());
  EXPECT_NE(GetCurrentResolver(), nullptr);
  EXPECT_STREQ(root->GetDocTitle(local), "Local");
  delete other;
  EXPECT_EQ(GetCurrentResolver(), nullptr);
  EXPECT_EQ(root->GetDocTitle(local), nullptr);
  // The next engine starts with nothing pushed.
  SetEngine(&engine_);
  PopCatalog();
  PopEntityrc(root);
  EXPECT_EQ(GetCurrentResolver(), nullptr);
  // Without an engine a push has nowhere to go.
  SetEngine(nullptr);
  PushCatalog(Path("pushed").c_str());
  EXPECT_EQ(GetCurrentResolver(), nullptr);
  SetEngine(&engine_);
  root->AdjustUse(2, 0);
  local->Release();
}

// The system's super catalog names its parts unquoted, through two levels.
TEST_F(ResolverTest, DebianSuperCatalog) {
  const char* super = "/etc/sgml/catalog";
  const char* dtd = "/usr/share/xml/docbook/schema/dtd/4.5/docbookx.dtd";
  if (!test::TempFolder::Exists(super) || !test::TempFolder::Exists(dtd))
    GTEST_SKIP() << "DocBook XML is not installed";
  Catalog* catalog = CreateCatalog(super);
  char id[] = "-//OASIS//DTD DOCBOOK XML V4.5//EN";
  std::string got = Resolved(catalog->ResolvePublicId(id, 0));
  for (char& c : got)
    if (c == '\\') c = '/';
  EXPECT_EQ(got, dtd);
  EXPECT_TRUE(Messages().empty());
}

TEST(RelativePaths, MakeRelativePath) {
  struct Case {
    const char* path;
    const char* base;
    const char* want;
  } cases[] = {
      {"C:\\a\\b\\x.ssh", "C:\\a\\entityrc", "b\\x.ssh"},
      {"C:\\a\\x.ssh", "C:\\a\\entityrc", "x.ssh"},
      {"C:\\other\\x.ssh", "C:\\a\\entityrc", "C:\\other\\x.ssh"},
      {"C:\\ab\\x.ssh", "C:\\a\\entityrc", "C:\\ab\\x.ssh"},
  };
  for (const Case& c : cases) {
    char* got = MakeRelativePath(c.path, c.base);
    EXPECT_STREQ(got, c.want);
    MemFree(got);
  }
}

}  // namespace
}  // namespace qs
