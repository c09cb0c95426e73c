#include "notices/catalogue.h"

#include <gtest/gtest.h>

#include <string>

namespace ferrolt {
namespace {

struct ExpectedText {
  int id;
  const char* text;
};

// Typed from the table of texts the program must show, independently of catalogue.inc.
constexpr ExpectedText kExpected[] = {
    {1, "レジストリエラー"},
    {3, "設定エラー"},
    {4, "Ferroltエラー"},
    {8, "Ferroltメッセージ"},
    {16, "Corvane! がインストールされていません。"},
    {17, "Corvane! が起動しています。終了させて下さい。"},
    {18, "Microsoft Internet Mail がインストールされていません。"},
    {20, "Microsoft Internet Mail のメールボックスの位置が不明です。"},
    {21, "Corvane! のメールボックスの位置が不明です。"},
    {32, "ウインドウクラスが登録できません。"},
    {33, "ウインドウが開けません。"},
    {34, "Corvane!の通常使用メールボックスが無効です。"},
    {35, "%d 個のメールボックスから、計 %d 通のメールを変換しました。"},
    {36, "%d 個のメールボックスから、計 %d 通のメールを変換しました。\n（内、削除メール %d 通）"},
    {48, "変換するメールボックスが１つもありません。"},
    {49, "CreateDirectory のエラーです。Code=<%d>\n%s"},
    {50, "FindNextFile のエラーです。Code=<%d>\n%s"},
    {51, "CreateFile(Source) のエラーです。Code=<%d>\n%s"},
    {52, "CreateFile(Destination) のエラーです。Code=<%d>\n%s"},
    {53, "ReadFile(Source) のエラーです。Code=<%d>\n%s"},
    {54, "ReadFile(Index) のエラーです。Code=<%d>\n%s"},
    {55, "WriteFile(Destination) のエラーです。Code=<%d>\n%s"},
    {59, "Microsoft Internet Mail メールボックス形式のファイルではありません。"},
    {62, "メモリが確保できませんでした。"},
    {63, "MS-IM のフォルダーと同じ名前のフォルダーがすでに Corvane! に存在します。\n%s"},
    {80, "Ferroltについて(&A)…"},
    {81, "\"*.eml\" ファイル出力位置"},
    {82, "\"*.mbx\" ファイル読み込み位置"},
};

TEST(CatalogueTest, EveryTextIsExactlyAsTyped) {
  for (const ExpectedText& expected : kExpected) {
    std::string text;
    ASSERT_TRUE(LoadCompiledCatalogueText(expected.id, &text)) << "id " << expected.id;
    EXPECT_EQ(text, expected.text) << "id " << expected.id;
  }
}

TEST(CatalogueTest, HoldsNoOtherIds) {
  int found = 0;
  for (int id = 0; id < 1000; ++id) {
    std::string text;
    if (LoadCompiledCatalogueText(id, &text)) ++found;
  }
  EXPECT_EQ(found, static_cast<int>(std::size(kExpected)));
}

bool LoadOnlyCaptionFour(int id, std::string* text) {
  if (id != 4) return false;
  *text = "installed";
  return true;
}

TEST(CatalogueTest, InstalledLoaderReplacesTheTableUntilRemoved) {
  std::string text;
  SetCatalogueLoader(LoadOnlyCaptionFour);
  EXPECT_FALSE(LoadCatalogueText(16, &text));
  ASSERT_TRUE(LoadCatalogueText(4, &text));
  EXPECT_EQ(text, "installed");
  SetCatalogueLoader(nullptr);
  ASSERT_TRUE(LoadCatalogueText(4, &text));
  EXPECT_EQ(text, "Ferroltエラー");
}

}  // namespace
}  // namespace ferrolt
