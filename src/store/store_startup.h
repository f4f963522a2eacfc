// The program's store at start-up: find, recover or create ZELKA20.mdb in the
// program directory, compact it, keep the previous state as _ZELKA20.mdb and
// open it. At every moment of the sequence a complete, good copy of the data
// exists under one of the two names, whatever fails or wherever the process
// is killed; the next start recovers from it.
#pragma once

#include <memory>
#include <string>

#include "store/catalogue.h"
#include "store/database.h"
#include "util/env.h"

namespace zelka {

inline constexpr char kDatabaseFile[] = "ZELKA20.mdb";
inline constexpr char kPreviousDatabaseFile[] = "_ZELKA20.mdb";
inline constexpr char kCatalogueFile[] = "catalogue/items.tsv";

// What the start-up did besides compacting, for the caller to tell the user.
struct StoreStartup {
  bool recovered = false;  // ZELKA20.mdb was missing and was restored from _ZELKA20.mdb
  bool created = false;    // neither file existed; a new, empty store was created
};

// Start-up sequence:
//  1. remove temporary files a crashed start left behind;
//  2. ZELKA20.mdb missing: copy _ZELKA20.mdb back when it exists, else create
//     a new, empty store from the catalogue;
//  3. compact ZELKA20.mdb into a temporary file beside it, check that copy and
//     sync it;
//  4. copy ZELKA20.mdb to _ZELKA20.mdb (through a temporary file, so the old
//     _ZELKA20.mdb is replaced only by a complete one);
//  5. rename the compacted copy over ZELKA20.mdb and open it.
// Any failure throws StoreError naming the file; the data is then untouched.
std::unique_ptr<Database> OpenProgramStore(const std::string& app_dir, Env& env, const Catalogue& catalogue,
                                           StoreStartup* report = nullptr);

// Lays out a fresh program directory: copies the delivered data files of
// source_app_dir (files already in app_dir are kept) and creates an empty
// store from the catalogue. Refuses (StoreError) when app_dir already holds
// ZELKA20.mdb.
void LayOutProgramDirectory(const std::string& source_app_dir, const std::string& app_dir, Env& env);

}  // namespace zelka
