#include "cli/cli_texts.h"

#include "cli/options.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {
namespace {

struct CliTextPair {
  const char* english;
  const char* japanese;
};

// In the order of CliTextId.
constexpr CliTextPair kTexts[] = {
    {"no command given", "コマンドが指定されていません"},
    {"unknown command %s", "不明なコマンドです: %s"},
    {"unknown option %s", "不明なオプションです: %s"},
    {"%s needs a value", "%s には値が必要です"},
    {"no SOURCE given", "SOURCE が指定されていません"},
    {"list takes exactly one MAILBOX.mbx", "list には MAILBOX.mbx を１つだけ指定して下さい"},
    {"%s needs --to DIR", "%s には --to DIR が必要です"},
    {"--prefix must not be empty", "--prefix を空にすることはできません"},
    {"skipping %s: not a .mbx mailbox", "%s は .mbx メールボックスではないので飛ばします"},
    {"interrupted; every file written holds whole messages",
     "中断しました。書き出したファイルはどれも完全なメールだけを含みます"},
    {"cannot use %s: it holds characters that Windows' ANSI code page lacks; rename it",
     "%s は使えません: Windows の ANSI コードページにない文字を含んでいます。名前を変えて下さい"},
    {"skipping %s: it does not exist", "%s は存在しないので飛ばします"},
    {"cannot write to standard output: %s", "標準出力に書き込めません: %s"},
    {"salvage: %s", "サルベージ: %s"},
    {"imap is not available in this build of ferrolt-cli (use the Linux one)",
     "この ferrolt-cli には imap がありません (Linux 版を使って下さい)"},
};

const char kUsageJapanese[] =
    "使い方:\n"
    "  ferrolt-cli eml     [--include-deleted] [--salvage] [--prefix PREFIX] SOURCE...\n"
    "  ferrolt-cli import  [--include-deleted] [--salvage] [--prefer-euc] --to DIR SOURCE...\n"
    "  ferrolt-cli mbox    [--include-deleted] [--salvage] --to DIR SOURCE...\n"
    "  ferrolt-cli maildir [--include-deleted] [--salvage] --to DIR SOURCE...\n"
    "  ferrolt-cli list    [--salvage] [--raw] [--prefer-euc] MAILBOX.mbx\n"
    "  ferrolt-cli imap    [--include-deleted] [--salvage] [--ca-file FILE] --to URL SOURCE...\n"
    "  ferrolt-cli --help\n"
    "\n"
    "Microsoft Internet Mail のメール (.mbx メールボックスと .idx インデックス) を取り出します。\n"
    "元のファイルは読むだけで、変更しません。\n"
    "\n"
    "  eml      すべてのメールをそのままのバイト列で PREFIX00001.eml, PREFIX00002.eml, ...\n"
    "           に書き出します (番号は実行全体の通し番号、PREFIX の既定値は ./exp)。\n"
    "  import   メールボックスごとに同じ名前の Corvane! メールボックスを DIR に作ります。\n"
    "           メールは Shift_JIS に変換し (半角カナは全角にします)、既読のものに\n"
    "           \"Status: R\" を付け、それぞれの後に \".\" の行を置きます。DIR がなければ作り、\n"
    "           その横に空の DIR.mbx を置きます。\n"
    "  mbox     メールボックスごとに DIR/NAME.mbox (mboxrd 形式) を作ります。既読/未読は\n"
    "           Status: RO / O として残ります。DIR はまだ存在してはいけません。\n"
    "  maildir  メールボックスごとに Maildir DIR/NAME を作ります (既読は cur/ にフラグ S、\n"
    "           未読は new/)。DIR はまだ存在してはいけません。\n"
    "  list     メールごとに番号、フラグ (D 削除、R 既読、U 未読、インデックスなしは --)、\n"
    "           レコード位置、長さ、Date、From、Subject をタブ区切りで表示します。From と\n"
    "           Subject は UTF-8 に変換して表示します (--raw: 保存されたまま)。半角カナは\n"
    "           そのまま、制御文字と方向指定文字はエスケープして (\\x1b, \\u202e) 表示します。\n"
    "  imap     メールボックス NAME ごとに IMAP サーバーのフォルダー FOLDER/NAME (なければ作る)\n"
    "           へ送ります。バイト列はそのまま、既読は \\Seen、日付は Date ヘッダーから。\n"
    "           再実行ではサーバーにまだないものだけを送ります。URL は\n"
    "           imaps://USER@HOST[:PORT][/FOLDER] (TLS) か imap://USER@HOST[:PORT][/FOLDER]\n"
    "           (STARTTLS 必須)。FOLDER の既定値は \"From MS-IM\"。パスワードは\n"
    "           FERROLT_IMAP_PASSWORD から、なければ端末で尋ねます。証明書はシステムの CA か\n"
    "           --ca-file FILE で検証します。(Windows 版 ferrolt-cli.exe にはありません)\n"
    "\n"
    "SOURCE はフォルダー１つ (その中のすべての *.mbx を名前順に) か、.mbx ファイルです。\n"
    "  --include-deleted  Internet Mail で削除されたメールも出力します (mbox: X-Status: D、\n"
    "                     maildir: フラグ T)\n"
    "  --prefer-euc       Shift_JIS の半角カナだけとも読める EUC-JP のテキストを EUC-JP として\n"
    "                     読みます (既定は半角カナとして読む)。charset の指定でもバイト列でも\n"
    "                     決まらないテキストだけが対象です\n"
    "  --salvage          壊れたメールボックスを読めるところまで読みます。壊れたレコードを\n"
    "                     飛ばして無事なメールをすべて取り出し、飛ばしたものを標準エラーに\n"
    "                     報告します。list では各メールの見つけ方 (index, chain, scan) も表示\n"
    "\n"
    "出力は UTF-8 です。Windows ではコンソールにはコードページによらず文字として表示し、\n"
    "ファイルやパイプへのリダイレクトでは UTF-8 のまま書きます。引数のファイル名に使える文字は\n"
    "ANSI コードページにあるものだけです。\n"
    "既存のファイルを上書きすることはありません。同じ名前があればそこで止まります。\n"
    "Ctrl-C、SIGTERM、SIGHUP では書いている途中のメールを書き終えてから止まります。\n"
    "Windows では Ctrl+Break、コンソールを閉じたとき、ログオフとシャットダウンでも同じです。\n"
    "終了コード: 0 完了、1 失敗 (メッセージを表示)、2 使い方の誤り、\n"
    "128 + N シグナル N で停止 (Ctrl-C では 130。Windows では Ctrl+Break で 149、\n"
    "コンソールを閉じたとき 129、ログオフ・シャットダウンで 143)。\n";

bool japanese_texts = false;

}  // namespace

void UseJapaneseTexts(bool japanese) {
  japanese_texts = japanese;
  SetCatalogueLoader(japanese ? nullptr : LoadEnglishCatalogueText);
}

std::string CliText(CliTextId id, const std::string& detail) {
  const CliTextPair& pair = kTexts[static_cast<int>(id)];
  return FillPlaceholders(japanese_texts ? pair.japanese : pair.english, &detail, 1);
}

bool UsingJapaneseTexts() { return japanese_texts; }

const char* UsageText() { return japanese_texts ? kUsageJapanese : kUsage; }

}  // namespace ferrolt
