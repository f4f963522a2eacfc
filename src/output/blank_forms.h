// The blank forms window "空表出力": six buttons, each opening one empty
// paper form delivered as a PDF file in the program directory's PDF folder,
// so that the user can print it. The window is not modal: the main window
// stays usable beside it, and it stays open after each button, so several
// forms can be opened one after another.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "host/dialog.h"
#include "util/env.h"

namespace zelka {

struct BlankForm {
  std::string_view button;   // control id
  std::string_view caption;  // the button's caption
  std::string_view file;     // file name in the PDF folder
};

inline constexpr char kBlankFormFolder[] = "PDF";
inline constexpr std::array<BlankForm, 6> kBlankForms = {{
    {"cmdUketuke", "相談受付表", "UKETUKE.pdf"},
    {"CmdAssessment", "アセスメント表", "Assessment.pdf"},
    {"cmdCapSelect", "CAP選定表", "CapSelect.pdf"},
    {"Kyotaku1", "居宅サービス計画表(1)", "KyoKeikaku1.pdf"},
    {"Kyotaku2", "居宅サービス計画表(2)", "KyoKeikaku2.pdf"},
    {"Syukan", "週間サービス計画表", "SyuKeikaku.pdf"},
}};

inline constexpr char kBlankFormsCaption[] = "空表出力";
inline constexpr char kBlankFormMissing[] = "空表のファイルが見つかりません。\r\n";
inline constexpr char kBlankFormNotOpened[] = "空表のファイルを開けませんでした。\r\n";

// Whether a file name is one of the blank forms (compared exactly).
bool IsBlankFormFile(std::string_view name);

class BlankFormsWindow : public Dialog {
 public:
  BlankFormsWindow(std::string app_dir, Env& env);
  // A button opens its form, or names the file that is missing; Escape and
  // the close box close the window.
  void OnEvent(const DialogEvent& event, Host& host) override;

 private:
  std::string app_dir_;
  Env& env_;
};

}  // namespace zelka
