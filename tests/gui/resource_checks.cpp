// Reads the compiled resources of Ferrolt.exe and compares every template control, the icon, the
// version record and the manifest with values typed here, and every text with the catalogue.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/gui/gui_cases.h"
#include "tests/gui/harness.h"

namespace ferrolt::gui {
namespace {

struct Item {
  int id;
  const char* window_class;
  const char* text;  // UTF-8; "#102" for an ordinal (the icon)
  uint32_t style;
  int x, y, width, height;
};

struct Template {
  int id;
  uint32_t style;
  const char* window_class;  // "" for the standard dialog class
  const char* caption;
  int x, y, width, height;
  std::vector<Item> items;
};

// Children are WS_CHILD | WS_VISIBLE (0x50000000) plus their own bits.
const Template kMainWindow = {
    101,
    0x80CA08C0,
    "Ferrolt",
    "MS-IM to Corvane! Mail Data Converter",
    20,
    20,
    232,
    126,
    {{1002, "Button", "実行", 0x50010000, 170, 105, 55, 15},
     {1003, "Button", "終了", 0x50010000, 110, 105, 55, 15},
     {1014, "Button", "出力方法", 0x50020007, 5, 20, 220, 35},
     {1008, "Button", "Corvane! のメールボックスに直接出力する", 0x50000009, 10, 30, 164, 10},
     {1009, "Button", "\"*.eml\" ファイルとして出力する", 0x50000009, 10, 40, 136, 10},
     {1010, "Button", "コード変換", 0x50020007, 5, 60, 220, 35},
     {1011, "Button", "半角カナ文字を優先する", 0x50000009, 10, 70, 104, 10},
     {1012, "Button", "ＥＵＣコードを優先する", 0x50000009, 10, 80, 104, 10},
     {1016, "Button", "MS-IMで削除されているメールも出力する", 0x50010003, 10, 5, 172, 10}}};

const Template kAboutBox = {
    103,
    0x80C808C0,
    "",
    "Ferrolt について",
    20,
    20,
    222,
    82,
    {{1, "Button", "OK", 0x50030001, 181, 5, 33, 14},
     {0xFFFF, "Static", "#102", 0x50000003, 3, 2, 18, 20},
     {0xFFFF, "Static", "Ferrolt", 0x50000000, 30, 10, 50, 8},
     {0xFFFF, "Static", "MS-IM to Corvane! Mail Data Converter", 0x50000000, 30, 22, 150, 8},
     {0xFFFF, "Static", "Version 0.03  '97-05-05", 0x50000000, 30, 34, 120, 8},
     {0xFFFF, "Static", "(C) 1997 Ferrolt developers", 0x50000000, 30, 47, 140, 8},
     {1015, "Edit", "", 0x50010800, 30, 60, 185, 10}}};

const Template kProgressWindow = {
    106,
    0x80C008C0,
    "",
    "Ferrolt",
    0,
    0,
    187,
    69,
    {{1019, "msctls_progress32", "Progress1", 0x50000000, 5, 25, 175, 10},
     {1020, "Static", "FileName", 0x50000000, 5, 5, 175, 10}}};

const struct {
  int id;
  const char* text;
} kCatalogue[] = {
#define FERROLT_TEXT(id, text) {id, text},
#include "notices/catalogue.inc"
#undef FERROLT_TEXT
};

// Reads a dialog template (the DLGTEMPLATE form windres writes).
class TemplateReader {
 public:
  TemplateReader(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  uint16_t Word() {
    uint16_t value = 0;
    if (at_ + 2 <= size_) std::memcpy(&value, data_ + at_, 2);
    at_ += 2;
    return value;
  }
  uint32_t Dword() {
    uint32_t low = Word();
    return low | (static_cast<uint32_t>(Word()) << 16);
  }
  int Short() { return static_cast<int16_t>(Word()); }
  std::wstring String() {
    std::wstring text;
    for (uint16_t c = Word(); c != 0 && at_ <= size_; c = Word()) text += static_cast<wchar_t>(c);
    return text;
  }
  // A name or an ordinal: an ordinal comes back as "#<n>", a standard class by its name.
  std::wstring NameOrOrdinal(bool is_class) {
    uint16_t first = Word();
    if (first == 0) return L"";
    if (first == 0xFFFF) {
      uint16_t ordinal = Word();
      if (is_class) {
        static const wchar_t* kClasses[] = {L"Button",  L"Edit",      L"Static",
                                            L"ListBox", L"ScrollBar", L"ComboBox"};
        if (ordinal >= 0x80 && ordinal <= 0x85) return kClasses[ordinal - 0x80];
      }
      return L"#" + std::to_wstring(ordinal);
    }
    at_ -= 2;
    return String();
  }
  void AlignDword() { at_ = (at_ + 3) & ~static_cast<size_t>(3); }
  void Skip(size_t count) { at_ += count; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

bool LoadResourceBytes(HMODULE module, LPCSTR type, LPCSTR name, const void** data, size_t* size) {
  HRSRC found = FindResourceA(module, name, type);
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return false;
  *data = LockResource(loaded);
  *size = SizeofResource(module, found);
  return *data != nullptr;
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), (int)a.size(), b.data(),
                        (int)b.size()) == CSTR_EQUAL;
}

void CheckTemplate(HMODULE module, const Template& expected, int offset, int font_size) {
  int id = expected.id + offset;
  std::string where = "template " + std::to_string(id);
  const void* data = nullptr;
  size_t size = 0;
  if (!Check(LoadResourceBytes(module, RT_DIALOG, MAKEINTRESOURCEA(id), &data, &size),
             where + " exists")) {
    return;
  }
  TemplateReader reader(data, size);
  uint32_t style = reader.Dword();
  reader.Dword();  // extended style
  size_t count = reader.Word();
  int x = reader.Short(), y = reader.Short(), width = reader.Short(), height = reader.Short();
  reader.NameOrOrdinal(false);  // menu
  std::wstring window_class = reader.NameOrOrdinal(true);
  std::wstring caption = reader.String();
  int points = reader.Word();
  std::wstring font = reader.String();
  Check(style == expected.style, where + " style " + std::to_string(style));
  Check(x == expected.x && y == expected.y && width == expected.width && height == expected.height,
        where + " position and size");
  Check(SameIgnoringCase(window_class, Wide(expected.window_class)), where + " window class");
  Check(caption == Wide(expected.caption), where + " caption");
  Check(points == font_size && font == L"Terminal",
        where + " font Terminal " + std::to_string(font_size) + " pt");
  if (!Check(count == expected.items.size(), where + " control count")) return;
  for (const Item& item : expected.items) {
    reader.AlignDword();
    uint32_t item_style = reader.Dword();
    reader.Dword();
    int ix = reader.Short(), iy = reader.Short(), iw = reader.Short(), ih = reader.Short();
    int item_id = reader.Word();
    std::wstring item_class = reader.NameOrOrdinal(true);
    std::wstring text = reader.NameOrOrdinal(false);
    reader.Skip(reader.Word());  // creation data
    std::string what = where + " control " + std::to_string(item.id) + " \"" + item.text + "\"";
    Check(item_id == item.id && SameIgnoringCase(item_class, Wide(item.window_class)) &&
              text == Wide(item.text) && item_style == item.style && ix == item.x && iy == item.y &&
              iw == item.width && ih == item.height,
          what + " (id, class, text, style, position, size)");
  }
}

// The string table as compiled: blocks of 16 length-prefixed UTF-16 strings.
bool ReadCatalogueString(HMODULE module, int id, std::wstring* text) {
  const void* data = nullptr;
  size_t size = 0;
  if (!LoadResourceBytes(module, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), &data, &size)) {
    return false;
  }
  const uint16_t* words = static_cast<const uint16_t*>(data);
  size_t at = 0;
  for (int i = 0; i < id % 16; ++i) at += 1 + words[at];
  if (words[at] == 0) return false;
  text->assign(reinterpret_cast<const wchar_t*>(words + at + 1), words[at]);
  return true;
}

}  // namespace

void RunResourceChecks(const std::string& ferrolt_exe) {
  HMODULE module = LoadLibraryExA(ferrolt_exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!Check(module != nullptr, "Ferrolt.exe loads as a resource file")) return;
  for (int offset : {0, 10}) {
    int font_size = offset == 0 ? 10 : 8;
    CheckTemplate(module, kMainWindow, offset, font_size);
    CheckTemplate(module, kAboutBox, offset, font_size);
    CheckTemplate(module, kProgressWindow, offset, font_size);
  }
  for (const auto& entry : kCatalogue) {
    std::wstring text;
    bool found = ReadCatalogueString(module, entry.id, &text);
    Check(found && text == Wide(entry.text), "string " + std::to_string(entry.id));
  }
  std::wstring missing;
  Check(!ReadCatalogueString(module, 99, &missing), "no string 99");

  const void* data = nullptr;
  size_t size = 0;
  bool has_icon = LoadResourceBytes(module, RT_GROUP_ICON, MAKEINTRESOURCEA(102), &data, &size);
  const uint8_t* group = static_cast<const uint8_t*>(data);
  Check(has_icon && size >= 20 && group[4] == 1 && group[6] == 32 && group[7] == 32,
        "icon 102 holds one 32 x 32 image");
  bool has_manifest =
      LoadResourceBytes(module, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), &data, &size);
  std::string manifest = has_manifest ? std::string(static_cast<const char*>(data), size) : "";
  Check(manifest.find("Microsoft.Windows.Common-Controls") != std::string::npos &&
            manifest.find("version=\"6.0.0.0\"") != std::string::npos,
        "manifest asks for common controls 6");
  Check(manifest.find("<dpiAware>true</dpiAware>") != std::string::npos,
        "manifest declares system DPI awareness");
  FreeLibrary(module);

  DWORD handle = 0;
  DWORD version_size = GetFileVersionInfoSizeA(ferrolt_exe.c_str(), &handle);
  std::vector<char> version(version_size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  char* file_version = nullptr;
  UINT length = 0;
  bool read = version_size > 0 &&
              GetFileVersionInfoA(ferrolt_exe.c_str(), 0, version_size, version.data()) &&
              VerQueryValueA(version.data(), "\\", reinterpret_cast<void**>(&fixed), &length);
  Check(read && fixed->dwFileVersionMS == 0x00000003 && fixed->dwFileVersionLS == 0,
        "version record 0.3.0.0");
  bool has_text = read && VerQueryValueA(version.data(), "\\StringFileInfo\\041103a4\\FileVersion",
                                         reinterpret_cast<void**>(&file_version), &length);
  Check(has_text && std::string(file_version) == "0.03", "version text 0.03");
}

}  // namespace ferrolt::gui
