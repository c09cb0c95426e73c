#include "notices/catalogue.h"

#include <cstddef>
#include <iterator>

namespace ferrolt {
namespace {

struct CatalogueEntry {
  int id;
  const char* text;
};

constexpr CatalogueEntry kCatalogue[] = {
#define FERROLT_TEXT(id, text) {id, text},
#include "notices/catalogue.inc"
#undef FERROLT_TEXT
};

constexpr CatalogueEntry kEnglishCatalogue[] = {
#define FERROLT_TEXT(id, text) {id, text},
#include "notices/catalogue_english.inc"
#undef FERROLT_TEXT
};

CatalogueLoader installed_loader = nullptr;

template <size_t N>
bool Find(const CatalogueEntry (&table)[N], int id, std::string* text) {
  for (const CatalogueEntry& entry : table) {
    if (entry.id == id) {
      *text = entry.text;
      return true;
    }
  }
  return false;
}

}  // namespace

bool LoadCompiledCatalogueText(int id, std::string* text) { return Find(kCatalogue, id, text); }

bool LoadEnglishCatalogueText(int id, std::string* text) {
  return Find(kEnglishCatalogue, id, text);
}

void SetCatalogueLoader(CatalogueLoader loader) { installed_loader = loader; }

bool LoadCatalogueText(int id, std::string* text) {
  if (installed_loader != nullptr) return installed_loader(id, text);
  return LoadCompiledCatalogueText(id, text);
}

}  // namespace ferrolt
