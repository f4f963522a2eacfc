// The program directory's own files, by the names the program gives them, and
// the check that keeps a command's output file from replacing one of them.
#pragma once

#include <string>

namespace zelka {

inline constexpr char kDatabaseFile[] = "ZELKA20.mdb";
inline constexpr char kPreviousDatabaseFile[] = "_ZELKA20.mdb";
// Written when the thorough check after start-up finds a problem in
// ZELKA20.mdb; while it is there, a start never rotates ZELKA20.mdb into
// _ZELKA20.mdb.
inline constexpr char kCheckFailedFile[] = "ZELKA20.mdb.check-failed";
inline constexpr char kSettingsFileName[] = "ZELKA20.PRA";
inline constexpr char kLockFileName[] = "ZELKA20.lock";
inline constexpr char kBeginTemplate[] = "CAP_BEGIN_RTF.DAT";
inline constexpr char kBottomTemplate[] = "CAP_BOTTOM_RTF.DAT";
inline constexpr char kCatalogueFile[] = "catalogue/items.tsv";
// The data file the assessment report reads, rewritten for each print.
inline constexpr char kXmlDataFile[] = "ZLK20.XML";

// "" when a command may write its output to `path`; otherwise the message
// that refuses it, naming the program file it would replace: the two database
// files (with their journals and temporary files), the lock, settings and
// check files, the templates, anything inside the program's folders (pages,
// blank forms, catalogue, web files) and the running program itself. Paths are
// compared after resolving ".", ".." and links, so another spelling of the
// same file is refused too.
std::string OutputFileProblem(const std::string& app_dir, const std::string& path);

}  // namespace zelka
