#include "output/worksheet_batch.h"

#include "output/worksheet.h"
#include "store/store_startup.h"

namespace zelka {

namespace {

// Messages to the streams; a failure is never retried.
class StreamReporter : public WorksheetReporter {
 public:
  StreamReporter(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
  void Information(const std::string& text) override { out_ << text << "\n"; }
  void Critical(const std::string& text, const std::string& title) override {
    err_ << (title.empty() ? "" : title + ": ") << text << "\n";
  }
  bool Retry(const std::string& failure) override {
    err_ << failure << "\n";
    return false;
  }

 private:
  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace

int RunWorksheetCommand(const std::string& app_dir, int64_t record_number, const Date& reference_date,
                        const std::string& out_path, std::ostream& out, std::ostream& err) {
  if (std::string refused = OutputFileProblem(app_dir, out_path); !refused.empty()) {
    err << refused << "\n";
    return 1;
  }
  try {
    std::unique_ptr<Database> db = OpenStoreForBatch(app_dir, Env::Default());
    SettingsBuffer settings;
    // The worksheet is made of the settings file's fragments: without them
    // it would be written without a single CAP block.
    if (std::string problem = settings.SetPrivateAppBuf(app_dir + "/" + kSettingsFileName, Env::Default(), nullptr);
        !problem.empty()) {
      for (char& c : problem)
        if (c == '\r') c = '\n';
      err << problem << "\n";
      return 1;
    }
    AssessmentKey key{record_number, reference_date.DateOnly()};
    if (db->Query("SELECT 1 FROM [A] WHERE [整理番号]=?1 AND [基準日]=?2", {key.record_number, key.reference_date.IsoDate()})
            .empty()) {
      err << DescribeAssessment(key) << " のアセスメントはありません\n";
      return 1;
    }
    CapEngine engine;
    StoreSelection(*db, key);
    WorksheetContext context{*db, engine, settings, Env::Default(), app_dir};
    StreamReporter reporter(out, err);
    WorksheetOutcome outcome = WriteWorksheet(context, key, out_path, reporter);
    return outcome == WorksheetOutcome::kWritten || outcome == WorksheetOutcome::kNoCaps ? 0 : 1;
  } catch (const std::exception& failure) {
    err << failure.what() << "\n";
    return 1;
  }
}

}  // namespace zelka
