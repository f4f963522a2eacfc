#include "store/program_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "util/env.h"

namespace zelka {
namespace {

namespace fs = std::filesystem;

TEST(OutputFileTest, TheProgramsOwnFilesAreRefusedUnderAnySpelling) {
  testing::TempDir dir;
  fs::create_directories(dir.Child("FORM"));
  fs::create_directories(dir.Child("other"));
  for (const char* file : {"ZELKA20.mdb", "ZELKA20.PRA", "CAP_BEGIN_RTF.DAT"})
    ASSERT_TRUE(Env::Default().WriteFile(dir.Child(file), "x"));
  fs::create_hard_link(dir.Child("ZELKA20.mdb"), dir.Child("other/link"));
  fs::create_symlink(dir.path(), dir.Child("other/up"));
  fs::create_symlink("../_ZELKA20.mdb", dir.Child("other/dangling"));
  struct Case {
    std::string path;
    bool refused;
  } cases[] = {
      {dir.Child("_ZELKA20.mdb"), true},  // refused even while it does not exist
      {dir.Child("ZELKA20.mdb-journal"), true},
      {dir.Child("FORM/A.HTM"), true},
      {dir.Child("other/../ZELKA20.mdb"), true},
      {dir.Child("other/up/ZELKA20.PRA"), true},
      {dir.Child("other/link"), true},
      {dir.Child("other/dangling"), true},  // the write would create _ZELKA20.mdb
      {fs::read_symlink("/proc/self/exe").string(), true},
      {dir.Child("worksheet.rtf"), false},
      {dir.Child("other/ZELKA20.mdb"), false},
      {dir.Child("FORMS.rtf"), false},
  };
  for (const Case& c : cases) {
    std::string problem = OutputFileProblem(dir.path(), c.path);
    EXPECT_EQ(!problem.empty(), c.refused) << c.path << ": " << problem;
    if (c.refused) {
      EXPECT_NE(problem.find(c.path), std::string::npos) << problem;
    }
  }
  // Relative to the working folder, as a command line gives it.
  fs::path here = fs::current_path();
  fs::current_path(dir.path());
  EXPECT_FALSE(OutputFileProblem(dir.path(), "ZELKA20.mdb").empty());
  EXPECT_FALSE(OutputFileProblem(".", "./ZELKA20.PRA").empty());
  fs::current_path(here);
}

}  // namespace
}  // namespace zelka
