#include "output/blank_forms.h"

#include "host/host.h"

namespace zelka {

bool IsBlankFormFile(std::string_view name) {
  for (const auto& form : kBlankForms)
    if (form.file == name) return true;
  return false;
}

BlankFormsWindow::BlankFormsWindow(std::string app_dir, Env& env)
    : app_dir_(std::move(app_dir)), env_(env) {
  caption = kBlankFormsCaption;
  for (const auto& form : kBlankForms)
    controls.push_back({std::string(form.button), "button", std::string(form.caption)});
  controls.push_back({"lbMsg", "label", "各種空表を出力するには、ブラウザー等、"});
  controls.push_back({"lbMsg2", "label", "PDFを表示できるソフトウェアが必要です。"});
  controls.push_back({"lbMsg3", "label", "多くのブラウザーはPDFをそのまま表示し、印刷することが出来ます。"});
}

void BlankFormsWindow::OnEvent(const DialogEvent& event, Host& host) {
  if (event.kind == DialogEvent::Kind::kClose ||
      (event.kind == DialogEvent::Kind::kKey && event.key == "Escape")) {
    closed = true;
    return;
  }
  if (event.kind != DialogEvent::Kind::kClick) return;
  for (const auto& form : kBlankForms) {
    if (form.button != event.control) continue;
    const std::string relative = std::string(kBlankFormFolder) + "/" + std::string(form.file);
    const std::string path = app_dir_ + "/" + relative;
    if (!env_.FileExists(path))
      host.ShowMessage(kBlankFormMissing + path, Buttons::kOk, Icon::kCritical);
    else if (!host.OpenDocument(relative))
      host.ShowMessage(kBlankFormNotOpened + path, Buttons::kOk, Icon::kCritical);
    return;
  }
}

}  // namespace zelka
