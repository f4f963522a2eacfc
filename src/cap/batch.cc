#include "cap/batch.h"

#include "cap/cap_engine.h"
#include "store/catalogue.h"
#include "store/store_startup.h"

namespace zelka {

int RunVerifyCommand(const std::string& app_dir, const std::string& out_path, std::ostream& out,
                     std::ostream& err) {
  if (std::string refused = OutputFileProblem(app_dir, out_path); !refused.empty()) {
    err << refused << "\n";
    return 1;
  }
  try {
    std::unique_ptr<Database> db = OpenStoreForBatch(app_dir, Env::Default());
    long last_percent = -1;
    VerificationResult result = RecomputeAllSelections(*db, [&](long done, long all) {
      long percent = all ? done * 100 / all : 100;
      if (percent == last_percent) return;
      last_percent = percent;
      err << "\rCAP検定モード: " << done << " / " << all << " (" << percent << "%)" << std::flush;
    });
    err << "\n";
    out << kVerifyDoneMessage << " (" << result.keys.size() << " 件)\n";
    std::string error;
    if (!WriteVerificationExport(result, Env::Default(), out_path, &error)) {
      err << "ファイル " << out_path << " に書き込めませんでした: " << error << "\n";
      return 1;
    }
    out << out_path << kVerifyExportedSuffix << "\n";
    return 0;
  } catch (const std::exception& failure) {
    err << "\n" << failure.what() << "\n";
    return 1;
  }
}

}  // namespace zelka
