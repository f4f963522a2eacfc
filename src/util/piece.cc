#include "util/piece.h"

#include "util/utf8.h"

namespace zelka {
namespace {

constexpr char kArgumentTitle[] = "引数のｴﾗｰ";

void Warn(const Warning& warn, const std::string& text, const char* title) {
  if (warn) warn(Notice{text, title, false});
}

// Checks the arguments the way both piece functions do; `who` names the function.
void CheckPieceArguments(int n, std::string_view delimiter, bool text_empty, const char* who,
                         const Warning& warn) {
  if (CharCount(delimiter) != 1)
    Warn(warn, std::string(who) + "ﾕｰｻﾞｰ関数: 区切り文字は1文字で指定してく出さい", kArgumentTitle);
  if (!text_empty && n < 1)
    Warn(warn, std::string(who) + "ﾕｰｻﾞｰ関数: 何個めかは、1以上を指定して下さい", kArgumentTitle);
}

std::string_view PieceOf(std::string_view text, int n, std::string_view delimiter) {
  if (text.empty() || n < 1) return {};
  if (delimiter.empty()) return n == 1 ? text : std::string_view{};
  size_t start = 0;
  for (int i = 1; i < n; ++i) {
    size_t at = text.find(delimiter, start);
    if (at == std::string_view::npos) return {};
    start = at + delimiter.size();
  }
  size_t end = text.find(delimiter, start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

}  // namespace

std::string Piece2(std::string_view text, int n, std::string_view delimiter, const Warning& warn) {
  CheckPieceArguments(n, delimiter, text.empty(), "Piece2", warn);
  std::string_view piece = PieceOf(text, n, delimiter);
  if (piece.size() >= 2 && piece.front() == '"' && piece.back() == '"')
    Warn(warn,
         "このデータはダブルクォーティーションで囲まれています。\r"
         "余計なスペースが入っていると思われます",
         "Piece2");
  return std::string(piece);
}

std::string Piece(std::string_view text, int n, std::string_view delimiter, const Warning& warn) {
  CheckPieceArguments(n, delimiter, text.empty(), "Piece", warn);
  return std::string(PieceOf(text, n, delimiter));
}

int PieceCnt(std::string_view text, std::string_view delimiter, const Warning& warn) {
  if (CharCount(delimiter) != 1)
    Warn(warn, "PieceCntﾕｰｻﾞｰ関数: 区切り文字は1文字で指定してく出さい", kArgumentTitle);
  if (text.empty() || delimiter.empty()) return 0;
  int count = 0;
  for (size_t at = text.find(delimiter); at != std::string_view::npos;
       at = text.find(delimiter, at + delimiter.size()))
    ++count;
  return count;
}

std::string StrRep(std::string_view text, std::string_view find, std::string_view replacement,
                   const Warning& warn) {
  if (text.empty()) return "";
  if (find.empty()) {
    Warn(warn, "StrRepﾕｰｻﾞｰ関数: 検索文字列がありません", "引数ｴﾗｰ");
    return "";
  }
  std::string out;
  size_t start = 0;
  for (size_t at = text.find(find); at != std::string_view::npos; at = text.find(find, start)) {
    out.append(text.substr(start, at - start));
    out.append(replacement);
    start = at + find.size();
  }
  out.append(text.substr(start));
  return out;
}

}  // namespace zelka
