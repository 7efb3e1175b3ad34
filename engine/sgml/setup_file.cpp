#include "sgml/setup_file.h"

#include "foundation/engine.h"
#include "foundation/names.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "sgml/catalog.h"
#include "sgml/external_id.h"

namespace qs {

SetupEntry::SetupEntry(InternedName* key) : key_(key) { key_->AddRef(); }
SetupEntry::~SetupEntry() {
  key_->Release();
  MemFree(text_);
}
const char* SetupEntry::GetKey() const { return key_->Text(); }
std::size_t SetupEntry::GetKeyLength() const { return key_->Length(); }

void SetupEntry::SetAction(Action kind, const char* text) {
  if (text_) return;
  action_ = kind;
  text_ = DuplicateString(text);
}

namespace {
// A face and its replacement.
class FontMapItem : public HashItem {
 public:
  FontMapItem(const char* face, const char* replacement)
      : face_(DuplicateString(face)), replacement_(DuplicateString(replacement)) {}
  ~FontMapItem() override {
    MemFree(face_);
    MemFree(replacement_);
  }
  const char* GetKey() const override { return face_; }
  std::size_t GetKeyLength() const override { return GetStringLength(face_); }
  const char* Replacement() const { return replacement_; }

 private:
  char* face_;
  char* replacement_;
};

enum : int { kPublic = 4, kEntity = 5, kLaunch = 6, kFontMap = 7 };

const KeywordTable& SetupKeywords() {
  static KeywordTable* table = [] {
    auto* t = new KeywordTable(8);
    t->AddKeyword("PUBLIC", kPublic);
    t->AddKeyword("ENTITY", kEntity);
    t->AddKeyword("LAUNCH", kLaunch);
    t->AddKeyword("FONTMAP", kFontMap);
    return t;
  }();
  return *table;
}
}  // namespace

SetupFile::SetupFile(const char* path) {
  if (!path) return;
  fileName_ = DuplicateString(path);
  Stream* stream = OpenConfigStream(path);
  if (!stream) return;
  ReadSetupFile(stream);
  stream->Release();
}

SetupFile::~SetupFile() { MemFree(fileName_); }

SetupEntry* SetupFile::FindPublic(const char* text) const {
  return text ? static_cast<SetupEntry*>(publicTable_.Find(text, GetStringLength(text))) : nullptr;
}

SetupEntry* SetupFile::FindEntity(const char* text) const {
  return text ? static_cast<SetupEntry*>(entityTable_.Find(text, GetStringLength(text))) : nullptr;
}

const char* SetupFile::FindFontMap(const char* face) const {
  if (!face) return nullptr;
  auto* item = static_cast<FontMapItem*>(fontMap_.Find(face, GetStringLength(face)));
  return item ? item->Replacement() : nullptr;
}

SetupEntry* SetupFile::Add(HashTable& table, InternedName* key) {
  auto* entry = new SetupEntry(key);
  if (!table.Insert(entry, true)) return nullptr;
  return entry;
}

SetupEntry* SetupFile::AddPublic(InternedName* key) { return Add(publicTable_, key); }
SetupEntry* SetupFile::AddEntity(InternedName* key) { return Add(entityTable_, key); }

void SetupFile::AddFontMap(const char* face, const char* replacement) {
  fontMap_.Insert(new FontMapItem(face, replacement), true);
}

void SetupFile::ReadSetupFile(Stream* stream) {
  ConfigTokenizer tokens(stream, &SetupKeywords(), false);
  SetupEntry* current = nullptr;
  for (;;) {
    int code = tokens.Next();
    if (code == ConfigTokenizer::kEnd) break;
    if (code != kPublic && code != kEntity && code != kLaunch && code != kFontMap) continue;
    int arg = tokens.Next();
    if (arg != ConfigTokenizer::kString && arg != ConfigTokenizer::kWord) {
      tokens.SetError();
      break;
    }
    if (code == kFontMap) {
      // FONTMAP face replacement: quoted texts keep their case.
      char face[ConfigTokenizer::kMaxToken + 1];
      CopyStringMax(face, tokens.Text(), sizeof face);
      arg = tokens.Next();
      if (arg != ConfigTokenizer::kString && arg != ConfigTokenizer::kWord) {
        tokens.SetError();
        break;
      }
      AddFontMap(face, tokens.Text());
      continue;
    }
    if (code == kLaunch) {
      if (current) current->SetAction(SetupEntry::kLaunch, tokens.Text());
      continue;
    }
    char key[ConfigTokenizer::kMaxToken + 1];
    CopyStringMax(key, tokens.Text(), sizeof key);
    if (code == kPublic && !NormalizePublicIdBuffered(key, kConfigKeyCapacity)) {
      tokens.SetError();
      break;
    }
    InternedName* name = g_nameTable->Intern(key);
    if (!name) break;
    current = code == kPublic ? AddPublic(name) : AddEntity(name);
    name->Release();
  }
  if (tokens.Failed()) ReportError(kErrSetupSyntax);
}

}  // namespace qs
