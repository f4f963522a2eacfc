// The entry pages: one HTML form per page of the two "ジャンプ(&J)" menus,
// generated from the item catalogue so that every column the catalogue puts on
// a page is there exactly once, under its group heading, as the element the
// binding expects ("zlk_" + code, "-" written "_"), with the scale of coded
// answers printed once above the items of a group that share it, and a head
// that says whose record is open. Pages talk to the program
// only by setting window.status: "#<section>|<page>" moves (an empty page
// saves and closes), "!<element>|<format>|DATE or TIME|<age element>" asks for
// the date picker. Their look lives beside them in FORM/form.css, their
// behaviour in FORM/form.js.
#pragma once

#include <string>
#include <vector>

#include "store/catalogue.h"

namespace zelka {

// The page head's fields that say whose record is open. They belong to the
// page's form (so that a reloaded tab shows them again with the typed values)
// but are no items: the program fills them when it fills the page.
inline constexpr const char kHeadClientElement[] = "zelka-client";   // the intake's 1-1
inline constexpr const char kHeadNumberElement[] = "zelka-number";   // 整理番号
inline constexpr const char kHeadDateElement[] = "zelka-date";       // 基準日, era form

struct EntryPage {
  std::string file;  // "UKETUKE1.HTM", "AA.HTM", "A.HTM" …
  std::string html;  // the whole document, UTF-8
};

// Every page of the intake and assessment menus, in menu order. Throws
// std::runtime_error when the catalogue puts a column on a page no menu
// shows, or gives a column an input kind a page cannot show.
std::vector<EntryPage> BuildEntryPages(const Catalogue& catalogue);

// Writes the pages into a folder (which must exist); throws
// std::runtime_error naming the file that could not be written.
void WriteEntryPages(const std::vector<EntryPage>& pages, const std::string& folder);

}  // namespace zelka
